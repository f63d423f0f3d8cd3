// The preview control: one still picture of a media source, stretched over
// the control (the aspect ratio is not kept); black while inactive. The
// pictures come from the toolkit-free frame grabber (converter/AVPreview.h),
// which decodes one frame per change of the time and reports its failures
// through the error box.
#pragma once

#include <QWidget>

#include <string>

#include "converter/AVPreview.h"

namespace veltrano::gui {

class TAVPreviewWidget : public QWidget {
  Q_OBJECT

 public:
  explicit TAVPreviewWidget(QWidget* parent = nullptr);

  // The source: a file or a "stream:N" name. An active preview closes.
  void SetInputFile(const std::string& name);
  bool Active() const { return preview_.Active(); }
  // True opens the source and shows the picture at the current time; a
  // source that cannot be opened leaves the control black.
  void SetActive(bool active);
  // Shows the picture `seconds` after the source's start.
  void SetTimestamp(double seconds);
  double Timestamp() const { return preview_.Timestamp(); }
  double Duration() const { return preview_.Duration(); }

  QSize sizeHint() const override { return {176, 144}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TAVPreview preview_;
};

}  // namespace veltrano::gui
