// A label that acts on a click of the left mouse button (links of the about
// window, the text of the completion alert).
#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace veltrano::gui {

class TClickLabel final : public QLabel {
  Q_OBJECT

 public:
  explicit TClickLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
  }

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
      emit Clicked();
    }
    QLabel::mouseReleaseEvent(event);
  }
};

}  // namespace veltrano::gui
