#include "gui/FileNameEdit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>

#include <utility>

namespace veltrano::gui {

namespace {

const QSize kBrowseDialogSize(820, 520);

}  // namespace

// Qt's own dialog starts small, with columns that cut sizes, types and
// dates: a larger dialog whose columns take what their texts need.
void FitBrowseDialog(QFileDialog& dialog) {
  dialog.resize(dialog.size().expandedTo(kBrowseDialogSize));
  if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"))) {
    constexpr int kPlaces = 170;  // the list of places on the left
    splitter->setSizes({kPlaces, dialog.width() - kPlaces});
  }
  auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (details == nullptr) return;
  QHeaderView& header = *details->header();
  for (int column = 1; column < header.count(); ++column) {
    header.setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  header.setSectionResizeMode(0, QHeaderView::Stretch);
  header.setStretchLastSection(false);
}

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

namespace {

// A click outside the completion list closes the list, and Qt's completer
// swallows it (on X11 Qt does not pass it on either): the button clicked (the
// wizard's "开始转换") would need a second click. While the list is open this
// filter watches the whole application, so it sees the click before the
// completer does; it closes the list and hands the press, and then the release
// that follows it, to the widget under the pointer.
class TClickThrough final : public QObject {
 public:
  explicit TClickThrough(QWidget* popup) : QObject(popup), popup_(popup) {
    popup->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Show:
        if (watched == popup_) QCoreApplication::instance()->installEventFilter(this);
        return false;
      case QEvent::Hide:
        if (watched == popup_ && pressed_.isNull()) Unwatch();
        return false;
      case QEvent::MouseButtonPress:
        return watched == popup_ && PressedOutside(*static_cast<QMouseEvent*>(event));
      case QEvent::MouseButtonRelease:
        if (pressed_.isNull()) return false;
        // The release of the press handed on goes where the press went.
        Unwatch();
        if (QWidget* target = std::exchange(pressed_, nullptr)) {
          Replay(target, *static_cast<QMouseEvent*>(event));
        }
        return true;
      default:
        return false;
    }
  }

 private:
  bool PressedOutside(const QMouseEvent& press) {
    const QPoint global = press.globalPosition().toPoint();
    if (popup_->rect().contains(popup_->mapFromGlobal(global))) return false;
    QWidget* target = QApplication::widgetAt(global);
    pressed_ = target != popup_ ? target : nullptr;
    popup_->hide();
    if (pressed_) Replay(pressed_, press);
    return true;
  }

  void Unwatch() { QCoreApplication::instance()->removeEventFilter(this); }

  static void Replay(QWidget* target, const QMouseEvent& event) {
    const QPoint global = event.globalPosition().toPoint();
    QMouseEvent replay(event.type(), target->mapFromGlobal(global), global, event.button(),
                       event.buttons(), event.modifiers());
    QCoreApplication::sendEvent(target, &replay);
  }

  QWidget* popup_;
  QPointer<QWidget> pressed_;
};

}  // namespace

void TFileNameEdit::EnableCompletion() {
  auto* model = new QFileSystemModel(this);
  model->setRootPath(QString());
  auto* completer = new QCompleter(model, this);
  edit_->setCompleter(completer);
  new TClickThrough(completer->popup());
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
  FitBrowseDialog(dialog);
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
