#include "gui/CategoryDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/DialogParts.h"
#include "platform/AppFolders.h"

namespace veltrano::gui {

// TFormCategory ---------------------------------------------------------------

TFormCategory::TFormCategory(QWidget* parent)
    : QDialog(parent),
      edtName(new QLineEdit(this)),
      edtPath(new TDirectoryEdit(this)),
      btnOk(new QPushButton(tr("确定"), this)),
      btnCancel(new QPushButton(tr("放弃"), this)),
      Ok(new QAction(tr("确定"), this)) {
  Ok->setObjectName(QStringLiteral("Ok"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  edtPath->SetInitialFolder(QString::fromStdString(GetHomeFolder()) +
                            QStringLiteral("/conversion"));
  auto* form = new QFormLayout;
  form->addRow(tr("名称:"), edtName);
  form->addRow(tr("路径:"), edtPath);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(NewButtonRow(*this, btnOk, btnCancel));
  edtName->setMinimumWidth(300);
  // The button follows its action, as every command of the program does.
  connect(Ok, &QAction::changed, btnOk, [this] { btnOk->setEnabled(Ok->isEnabled()); });
  connect(btnOk, &QPushButton::clicked, Ok, &QAction::trigger);
  connect(Ok, &QAction::triggered, this, &QDialog::accept);
  connect(edtName, &QLineEdit::textChanged, this, &TFormCategory::UpdateOk);
  connect(edtPath, &TDirectoryEdit::TextChanged, this, &TFormCategory::UpdateOk);
  UpdateOk();
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormCategory::UpdateOk() {
  Ok->setEnabled(!edtName->text().trimmed().isEmpty() && !edtPath->Text().trimmed().isEmpty());
}

bool EditCategory(QWidget* parent, std::string& name, std::string& folder, bool is_new) {
  TFormCategory form(parent);
  if (is_new) {
    form.setWindowTitle(TFormCategory::tr("New Category"));
  } else {
    form.setWindowTitle(TFormCategory::tr("Category Properties"));
    form.edtName->setText(QString::fromStdString(name));
    form.edtPath->SetText(QString::fromStdString(folder));
  }
  form.adjustSize();
  CenterOnScreen(form);
  if (form.exec() != QDialog::Accepted) return false;
  name = form.edtName->text().trimmed().toStdString();
  folder = form.edtPath->Text().trimmed().toStdString();
  return true;
}

// TFormDelete -----------------------------------------------------------------

TFormDelete::TFormDelete(QWidget* parent)
    : QDialog(parent),
      chkDeleteSource(new QCheckBox(tr("删除原文件"), this)),
      chkDeleteTarget(new QCheckBox(tr("删除已转换完的文件"), this)),
      btnYes(new QPushButton(tr("Yes"), this)),
      btnNo(new QPushButton(tr("No"), this)) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowTitle(tr("确认删除吗？"));
  chkDeleteSource->setChecked(false);
  chkDeleteTarget->setChecked(true);
  connect(btnYes, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("确认删除吗?"), this));
  layout->addWidget(chkDeleteSource);
  layout->addWidget(chkDeleteTarget);
  layout->addWidget(NewButtonRow(*this, btnYes, btnNo));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool ConfirmDelete(QWidget* parent, bool& DeleteSource, bool& DeleteTarget) {
  TFormDelete form(parent);
  form.adjustSize();
  CenterOnScreen(form);
  if (form.exec() != QDialog::Accepted) return false;
  DeleteSource = form.chkDeleteSource->isChecked();
  DeleteTarget = form.chkDeleteTarget->isChecked();
  return true;
}

}  // namespace veltrano::gui
