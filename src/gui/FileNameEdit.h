// A file name field with a browse button, as the wizard and the filter
// dialogs use it. The browse button opens a file dialog of the field's kind;
// its filter is given as description and pattern pairs separated by vertical
// bars ("PNG files (*.png)|*.png").
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QFileDialog;
class QLineEdit;
class QToolButton;

namespace veltrano::gui {

// "desc|pattern|desc|pattern" as Qt's name filters ("desc (p1 p2)" joined by
// ";;"). Patterns separated by ";" become blank-separated, "*.*" becomes "*".
QString QtNameFilters(const QString& bar_separated);

// Makes Qt's file dialog large enough, with columns as wide as their texts.
void FitBrowseDialog(QFileDialog& dialog);

class TFileNameEdit : public QWidget {
  Q_OBJECT

 public:
  enum class TKind { OpenFile, OpenFiles, SaveFile };

  explicit TFileNameEdit(QWidget* parent = nullptr);

  void SetKind(TKind kind) { kind_ = kind; }
  void SetFilter(const QString& bar_separated) { filter_ = bar_separated; }
  // Read-only fields take names only from the browse dialog or the program.
  void SetReadOnly(bool read_only);
  // Completes typed names from the file system.
  void EnableCompletion();
  // When false, a confirmed browse dialog only reports the names
  // (FilesChosen) and the owner decides whether to take them.
  void SetTakesChoice(bool takes) { takes_choice_ = takes; }

  QString FileName() const;
  void SetFileName(const QString& name);
  QLineEdit* Edit() const { return edit_; }
  QToolButton* BrowseButton() const { return button_; }

 signals:
  void FileNameChanged(const QString& name);
  // The names a browse dialog was confirmed with, in the order given.
  void FilesChosen(const QStringList& names);

 private:
  void Browse();

  QLineEdit* edit_;
  QToolButton* button_;
  TKind kind_ = TKind::OpenFile;
  QString filter_;
  bool takes_choice_ = true;
};

}  // namespace veltrano::gui
