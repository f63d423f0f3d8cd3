// The category dialog (name and folder of a category of converted files) and
// the delete confirmation of the task commands.
#pragma once

#include <QDialog>

#include <string>

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace veltrano::gui {

class TDirectoryEdit;

class TFormCategory final : public QDialog {
  Q_OBJECT

 public:
  explicit TFormCategory(QWidget* parent = nullptr);

  QLineEdit* edtName;
  TDirectoryEdit* edtPath;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  // "Ok": enabled while name and folder, trimmed, are both given.
  QAction* Ok;

 private:
  void UpdateOk();
};

// Shows the category dialog modally: empty with the caption "New Category"
// when `is_new`, else "Category Properties" with the given values. On OK the
// trimmed values are returned in `name` and `folder`; on cancel they stay.
bool EditCategory(QWidget* parent, std::string& name, std::string& folder, bool is_new);

class TFormDelete final : public QDialog {
  Q_OBJECT

 public:
  explicit TFormDelete(QWidget* parent = nullptr);

  QCheckBox* chkDeleteSource;
  QCheckBox* chkDeleteTarget;
  QPushButton* btnYes;
  QPushButton* btnNo;
};

// Asks whether to delete the selected tasks; on "Yes" returns true with the
// two check boxes (delete the source files, delete the converted files).
bool ConfirmDelete(QWidget* parent, bool& DeleteSource, bool& DeleteTarget);

}  // namespace veltrano::gui
