#include "gui/AVPreviewWidget.h"

#include <QImage>
#include <QPainter>

namespace veltrano::gui {

TAVPreviewWidget::TAVPreviewWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  preview_.SetOnChanged([this] { update(); });
}

void TAVPreviewWidget::SetInputFile(const std::string& name) {
  preview_.SetInputFile(name);
  update();
}

void TAVPreviewWidget::SetActive(bool active) {
  preview_.SetActive(active);
  update();
}

void TAVPreviewWidget::SetTimestamp(double seconds) {
  preview_.SetTimestamp(seconds);
}

void TAVPreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const TPreviewBitmap& bitmap = preview_.Bitmap();
  if (!preview_.Active() || bitmap.Empty()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  // The grabber's rows are RGB triplets padded to 4 bytes: exactly what
  // QImage takes with an explicit stride, so no width skews the picture.
  const QImage picture(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                       QImage::Format_RGB888);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), picture);
}

}  // namespace veltrano::gui
