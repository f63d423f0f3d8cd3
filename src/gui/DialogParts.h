// Parts the dialogs share: a folder field with a browse button that opens
// the platform's folder dialog, the row of the confirming and cancelling
// buttons, and placing a dialog in the middle of the screen.
#pragma once

#include <QWidget>

class QDialog;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace veltrano::gui {

class TDirectoryEdit final : public QWidget {
  Q_OBJECT

 public:
  explicit TDirectoryEdit(QWidget* parent = nullptr);

  QString Text() const;
  void SetText(const QString& text);
  // The folder the browse dialog starts in while the field is empty.
  void SetInitialFolder(const QString& folder) { initial_folder_ = folder; }
  QLineEdit& Edit() const { return *edit_; }
  QToolButton& BrowseButton() const { return *browse_; }

 signals:
  void TextChanged(const QString& text);

 private:
  void Browse();

  QLineEdit* edit_;
  QToolButton* browse_;
  QString initial_folder_;
};

// The button row of `dialog`: `accept` (the default button) confirms it,
// `reject` cancels it.
QWidget* NewButtonRow(QDialog& dialog, QPushButton* accept, QPushButton* reject);

// Moves `window` to the middle of the available area of its screen.
void CenterOnScreen(QWidget& window);

}  // namespace veltrano::gui
