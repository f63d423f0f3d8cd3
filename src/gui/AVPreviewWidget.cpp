#include "gui/AVPreviewWidget.h"

#include <QMetaObject>
#include <QPainter>

#include <exception>

#include "converter/AVPreview.h"
#include "converter/Dispatcher.h"
#include "converter/MessageBoxes.h"

namespace veltrano::gui {
namespace {

// The grabber's rows are RGB triplets padded to 4 bytes: exactly what QImage
// takes with an explicit stride, so no width skews the picture. A copy: the
// grabber reuses its bitmap.
QImage PictureOf(const TAVPreview& preview) {
  const TPreviewBitmap& bitmap = preview.Bitmap();
  if (!preview.Active() || bitmap.Empty()) return QImage();
  return QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                QImage::Format_RGB888)
      .copy();
}

}  // namespace

TAVPreviewWidget::TAVPreviewWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  thread_ = std::thread([this] { Loop(); });
}

TAVPreviewWidget::~TAVPreviewWidget() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  // The grabber may be showing a message box through the user-interface
  // thread (a time beyond the source's end): keep that thread answering.
  IDispatcher& dispatcher = DefaultDispatcher();
  while (true) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) break;
    }
    if (dispatcher.IsUiThread()) {
      dispatcher.ProcessPending(std::chrono::milliseconds(10));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  thread_.join();
}

void TAVPreviewWidget::Open(const std::string& name) {
  Open([name] { return name; });
}

void TAVPreviewWidget::Open(TSourceMaker make) {
  Restart(std::move(make));
}

void TAVPreviewWidget::Close() {
  Restart(std::nullopt);
}

// Black at once; what was asked for before shows no more. The grabber
// closes its source and, with `make`, opens the next.
void TAVPreviewWidget::Restart(std::optional<TSourceMaker> make) {
  active_ = false;
  busy_ = make.has_value();
  picture_ = QImage();
  {
    std::lock_guard lock(mutex_);
    requested_generation_ = ++generation_;
    close_ = true;
    open_ = std::move(make);
    seek_.reset();
  }
  wake_.notify_all();
  update();
}

void TAVPreviewWidget::SetTimestamp(double seconds) {
  if (!active_) return;
  busy_ = true;
  {
    std::lock_guard lock(mutex_);
    seek_ = seconds;
  }
  wake_.notify_all();
}

// The preview's thread: the grabber lives and works here only.
void TAVPreviewWidget::Loop() {
  TAVPreview preview;
  while (true) {
    uint64_t generation = 0;
    bool close = false;
    std::optional<TSourceMaker> open;
    std::optional<double> seek;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || close_ || open_ || seek_; });
      if (stop_) break;
      generation = requested_generation_;
      std::swap(close, close_);
      open.swap(open_);
      seek.swap(seek_);
    }
    if (close) preview.SetActive(false);
    TResult result;
    if (open) {
      result = OpenSource(preview, *open);
    } else if (seek && preview.Active()) {
      preview.SetTimestamp(*seek);
      result.active = true;
      result.duration = preview.Duration();
      result.picture = PictureOf(preview);
    } else {
      continue;  // a close, or a time for a source that is not open
    }
    result.generation = generation;
    QMetaObject::invokeMethod(
        this, [this, result] { Deliver(result); }, Qt::QueuedConnection);
  }
  preview.SetActive(false);
  std::lock_guard lock(mutex_);
  stopped_ = true;
}

TAVPreviewWidget::TResult TAVPreviewWidget::OpenSource(TAVPreview& preview,
                                                       const TSourceMaker& make) {
  TResult result;
  result.opened = true;
  try {
    preview.SetInputFile(make());
  } catch (const std::exception& e) {
    result.error = e.what();
    return result;
  }
  preview.SetActive(true);
  result.active = preview.Active();
  result.duration = preview.Duration();
  result.picture = PictureOf(preview);
  return result;
}

void TAVPreviewWidget::Deliver(const TResult& result) {
  if (result.generation != generation_) return;  // asked for before a later Open or Close
  bool more = false;
  {
    std::lock_guard lock(mutex_);
    more = seek_.has_value() || open_.has_value();
  }
  busy_ = more;
  active_ = result.active;
  duration_ = result.duration;
  if (!result.picture.isNull() || !result.active) picture_ = result.picture;
  update();
  if (!result.opened) return;
  if (!result.error.empty()) ShowErrorBox(result.error);
  emit Opened();
}

void TAVPreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!active_ || picture_.isNull()) {
    painter.fillRect(rect(), Qt::black);
    if (busy_) {
      // Something is being read: say so where the picture will be.
      painter.setPen(Qt::lightGray);
      painter.drawText(rect(), Qt::AlignCenter, tr("正在读取…"));
    }
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), picture_);
}

}  // namespace veltrano::gui
