#include "gui/TimeBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

namespace veltrano::gui {

TTimeBar::TTimeBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setRange(0, 0);
  setPageStep(1000);
  setSingleStep(100);
}

void TTimeBar::SetSelStart(int value) {
  sel_start_ = value;
  update();
}

void TTimeBar::SetSelEnd(int value) {
  sel_end_ = value;
  update();
}

void TTimeBar::paintEvent(QPaintEvent* event) {
  QSlider::paintEvent(event);
  if (sel_end_ <= sel_start_ || maximum() <= minimum()) return;
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect handle =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const int span = std::max(1, groove.width() - handle.width());
  auto x_of = [&](int value) {
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(),
                                           std::clamp(value, minimum(), maximum()), span);
  };
  QPainter painter(this);
  const QRect band(QPoint(x_of(sel_start_), groove.bottom() + 2),
                   QPoint(x_of(sel_end_), groove.bottom() + 4));
  painter.fillRect(band, palette().color(QPalette::Highlight));
}

}  // namespace veltrano::gui
