// The wizard's time bar: a horizontal track bar in milliseconds that also
// marks the selected span (from SelStart to SelEnd) under its groove.
#pragma once

#include <QSlider>

namespace veltrano::gui {

class TTimeBar : public QSlider {
  Q_OBJECT

 public:
  explicit TTimeBar(QWidget* parent = nullptr);

  int SelStart() const { return sel_start_; }
  int SelEnd() const { return sel_end_; }
  void SetSelStart(int value);
  void SetSelEnd(int value);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int sel_start_ = 0;
  int sel_end_ = 0;
};

}  // namespace veltrano::gui
