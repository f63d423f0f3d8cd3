#include "gui/DesktopAlert.h"

#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "converter/MessageBoxes.h"
#include "gui/ClickLabel.h"
#include "gui/DModule.h"
#include "platform/Shell.h"

namespace veltrano::gui {
namespace {

constexpr int kHeaderHeight = 26;
constexpr int kStackGap = 6;
constexpr int kFadeInMs = 300;
constexpr int kFadeOutMs = 600;

std::vector<TAVDesktopAlert*>& Registry() {
  static std::vector<TAVDesktopAlert*> alerts;
  return alerts;
}

// The lowest stack place that no open alert holds.
int FreeSlot() {
  int slot = 0;
  const auto& alerts = Registry();
  while (std::any_of(alerts.begin(), alerts.end(),
                     [slot](const TAVDesktopAlert* alert) { return alert->Slot() == slot; })) {
    ++slot;
  }
  return slot;
}

// A path broken where a folder name ends, so that a long one wraps.
QString Wrappable(const QString& path) {
  QString text = path;
  return text.replace(QLatin1Char('/'), QStringLiteral("/\u200b"));
}

}  // namespace

TAVDesktopAlert::TAVDesktopAlert(const QString& file_name)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      file_name_(file_name),
      slot_(FreeSlot()),
      display_timer_(new QTimer(this)),
      fade_(new QPropertyAnimation(this, "windowOpacity", this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(kWidth, kHeight);
  BuildContents();
  display_timer_->setSingleShot(true);
  display_timer_->setInterval(kDisplayTimeMs);
  connect(display_timer_, &QTimer::timeout, this, &TAVDesktopAlert::DisplayTimeOver);
  connect(fade_, &QPropertyAnimation::finished, this, [this] {
    if (fading_out_) close();
  });
  Registry().push_back(this);
}

TAVDesktopAlert::~TAVDesktopAlert() {
  std::erase(Registry(), this);
}

void TAVDesktopAlert::BuildContents() {
  lblHeader = new QLabel(HeaderText(), this);
  QFont bold = lblHeader->font();
  bold.setBold(true);
  lblHeader->setFont(bold);
  lblHeader->setGeometry(8, 0, kWidth - 36, kHeaderHeight);
  btnCloseCorner = new QToolButton(this);
  btnCloseCorner->setText(QStringLiteral("×"));
  btnCloseCorner->setAutoRaise(true);
  btnCloseCorner->setToolTip(tr("关闭"));
  btnCloseCorner->setGeometry(kWidth - 26, 2, 22, 22);
  connect(btnCloseCorner, &QToolButton::clicked, this, &QWidget::close);

  auto* picture = new QLabel(this);
  picture->setPixmap(TdmGlobal::AlertImage().pixmap(32, 32));
  picture->setGeometry(10, kHeaderHeight + 10, 32, 32);
  lblText = new TClickLabel(Wrappable(MessageText()), this);
  lblText->setWordWrap(true);
  lblText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblText->setToolTip(file_name_);
  lblText->setGeometry(52, kHeaderHeight + 8, kWidth - 60, 72);
  connect(lblText, &TClickLabel::Clicked, this, &TAVDesktopAlert::ExploreTarget);

  btnOpenFolder = new QPushButton(tr("打开文件夹"), this);
  btnClose = new QPushButton(tr("关闭"), this);
  for (QPushButton* button : {btnOpenFolder, btnClose}) {
    button->setFixedSize(std::max(60, button->sizeHint().width()), 23);
  }
  // From the right edge in: a style's wide buttons stay inside the popup.
  const int top = kHeight - 23 - 10;
  btnClose->move(kWidth - 10 - btnClose->width(), top);
  btnOpenFolder->move(btnClose->x() - 6 - btnOpenFolder->width(), top);
  connect(btnOpenFolder, &QPushButton::clicked, this, &TAVDesktopAlert::OpenFolderClicked);
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
}

TAVDesktopAlert* TAVDesktopAlert::ShowCompleted(const std::string& target_file) {
  auto* alert = new TAVDesktopAlert(QString::fromStdString(target_file));
  alert->Popup();
  return alert;
}

std::vector<TAVDesktopAlert*> TAVDesktopAlert::OpenAlerts() {
  return Registry();
}

void TAVDesktopAlert::CloseAll() {
  // Closing frees the alert and takes it out of the registry.
  for (TAVDesktopAlert* alert : std::vector<TAVDesktopAlert*>(Registry())) {
    alert->setAttribute(Qt::WA_DeleteOnClose, false);
    alert->close();
    delete alert;
  }
}

QString TAVDesktopAlert::HeaderText() const {
  return tr("任务完成！点击打开文件夹.");
}

QString TAVDesktopAlert::MessageText() const {
  return file_name_ + QLatin1Char(' ');
}

QPoint TAVDesktopAlert::StackPosition() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const int per_column = std::max(1, (area.height() + kStackGap) / (kHeight + kStackGap));
  const int column = slot_ / per_column;
  const int row = slot_ % per_column;
  return {area.x() + area.width() - kWidth - column * (kWidth + kStackGap),
          area.y() + area.height() - kHeight - row * (kHeight + kStackGap)};
}

void TAVDesktopAlert::Popup() {
  move(StackPosition());
  setWindowOpacity(0.0);
  show();
  fade_->stop();
  fade_->setDuration(kFadeInMs);
  fade_->setStartValue(0.0);
  fade_->setEndValue(1.0);
  fade_->start();
  display_timer_->start();
}

void TAVDesktopAlert::FadeOut() {
  if (fading_out_) return;
  fading_out_ = true;
  display_timer_->stop();
  fade_->stop();
  fade_->setDuration(kFadeOutMs);
  fade_->setStartValue(windowOpacity());
  fade_->setEndValue(0.0);
  fade_->start();
}

bool TAVDesktopAlert::ExploreTarget() {
  if (!QFileInfo(file_name_).isFile()) {
    ShowErrorBox(tr("%1 does not exists.").arg(file_name_).toStdString());
    return false;
  }
  ExploreFile(file_name_.toStdString(), true);
  return true;
}

void TAVDesktopAlert::OpenFolderClicked() {
  // Once the folder is on screen the alert has done its work and fades
  // away, unless the pointer rests on it; a missing file keeps it open.
  if (!ExploreTarget()) return;
  if (MouseOver()) {
    fade_on_leave_ = true;
  } else {
    FadeOut();
  }
}

void TAVDesktopAlert::DisplayTimeOver() {
  if (MouseOver()) {
    fade_on_leave_ = true;
  } else {
    FadeOut();
  }
}

bool TAVDesktopAlert::MouseOver() const {
  return frameGeometry().contains(QCursor::pos());
}

void TAVDesktopAlert::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (fade_on_leave_) FadeOut();
}

void TAVDesktopAlert::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QWidget::mousePressEvent(event);
}

void TAVDesktopAlert::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) != 0) {
    move(event->globalPosition().toPoint() - drag_offset_);
  }
  QWidget::mouseMoveEvent(event);
}

void TAVDesktopAlert::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& colours = palette();
  painter.fillRect(rect(), colours.color(QPalette::Window));
  QLinearGradient header(0, 0, 0, kHeaderHeight);
  header.setColorAt(0, QColor(0x3a, 0x8e, 0xe6, 70));
  header.setColorAt(1, QColor(0x1d, 0x5f, 0xae, 40));
  painter.fillRect(QRect(0, 0, width(), kHeaderHeight), header);
  painter.setPen(colours.color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace veltrano::gui
