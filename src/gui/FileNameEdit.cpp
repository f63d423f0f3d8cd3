#include "gui/FileNameEdit.h"

#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace veltrano::gui {

QString QtNameFilters(const QString& bar_separated) {
  const QStringList parts = bar_separated.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    const qsizetype open = description.lastIndexOf(QLatin1Char('('));
    if (open > 0) description = description.left(open).trimmed();
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    }
    filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
  }
  return filters.join(QStringLiteral(";;"));
}

TFileNameEdit::TFileNameEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), button_(new QToolButton(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(edit_, 1);
  layout->addWidget(button_);
  button_->setText(QStringLiteral("…"));
  button_->setToolTip(tr("浏览"));
  setFocusProxy(edit_);
  connect(edit_, &QLineEdit::textChanged, this, &TFileNameEdit::FileNameChanged);
  connect(button_, &QToolButton::clicked, this, &TFileNameEdit::Browse);
}

void TFileNameEdit::SetReadOnly(bool read_only) {
  edit_->setReadOnly(read_only);
}

void TFileNameEdit::EnableCompletion() {
  auto* model = new QFileSystemModel(this);
  model->setRootPath(QString());
  auto* completer = new QCompleter(model, this);
  edit_->setCompleter(completer);
}

QString TFileNameEdit::FileName() const {
  return edit_->text();
}

void TFileNameEdit::SetFileName(const QString& name) {
  edit_->setText(name);
}

void TFileNameEdit::Browse() {
  const QString current = FileName().trimmed();
  QFileDialog dialog(window(), QString(),
                     current.isEmpty() ? QString() : QFileInfo(current).absolutePath());
  if (!filter_.isEmpty()) dialog.setNameFilter(QtNameFilters(filter_));
  switch (kind_) {
    case TKind::OpenFile:
      dialog.setFileMode(QFileDialog::ExistingFile);
      break;
    case TKind::OpenFiles:
      dialog.setFileMode(QFileDialog::ExistingFiles);
      break;
    case TKind::SaveFile:
      dialog.setFileMode(QFileDialog::AnyFile);
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      break;
  }
  if (!current.isEmpty()) dialog.selectFile(current);
  if (dialog.exec() != QDialog::Accepted) return;
  const QStringList names = dialog.selectedFiles();
  if (names.isEmpty()) return;
  if (takes_choice_) SetFileName(names.first());
  emit FilesChosen(names);
}

}  // namespace veltrano::gui
