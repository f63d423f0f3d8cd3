#include "gui/DialogParts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QGuiApplication>
#include <QScreen>
#include <QToolButton>

namespace veltrano::gui {

TDirectoryEdit::TDirectoryEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), browse_(new QToolButton(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(edit_);
  layout->addWidget(browse_);
  browse_->setText(QStringLiteral("…"));
  browse_->setToolTip(tr("浏览"));
  setFocusProxy(edit_);
  connect(browse_, &QToolButton::clicked, this, &TDirectoryEdit::Browse);
  connect(edit_, &QLineEdit::textChanged, this, &TDirectoryEdit::TextChanged);
}

QString TDirectoryEdit::Text() const {
  return edit_->text();
}

void TDirectoryEdit::SetText(const QString& text) {
  edit_->setText(text);
}

void TDirectoryEdit::Browse() {
  const QString start = edit_->text().trimmed().isEmpty() ? initial_folder_ : edit_->text();
  const QString folder = QFileDialog::getExistingDirectory(this, QString(), start);
  if (!folder.isEmpty()) edit_->setText(folder);
}

QWidget* NewButtonRow(QDialog& dialog, QPushButton* accept, QPushButton* reject) {
  auto* buttons = new QDialogButtonBox(&dialog);
  buttons->addButton(accept, QDialogButtonBox::AcceptRole);
  buttons->addButton(reject, QDialogButtonBox::RejectRole);
  accept->setDefault(true);
  QObject::connect(reject, &QPushButton::clicked, &dialog, &QDialog::reject);
  return buttons;
}

void CenterOnScreen(QWidget& window) {
  const QScreen* screen =
      window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace veltrano::gui
