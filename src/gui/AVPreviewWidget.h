// The preview control: one still picture of a media source, stretched over
// the control (the aspect ratio is not kept); black while inactive. The
// pictures come from the toolkit-free frame grabber (converter/AVPreview.h),
// which decodes one frame per change of the time.
//
// Opening a source and decoding a picture can take long (a DVD title, a
// large file on a slow disk): the grabber runs on a thread of the control's
// own, and the window stays usable. Requests are handled in order; of
// several times asked for while a picture is being decoded only the last is
// shown. What a request finds arrives on the user-interface thread: Opened
// after Open, a new picture after SetTimestamp. A request made after Close or
// a new Open no longer shows what an earlier one finds.
#pragma once

#include <QImage>
#include <QWidget>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace veltrano {
class TAVPreview;
}

namespace veltrano::gui {

class TAVPreviewWidget : public QWidget {
  Q_OBJECT

 public:
  // Makes the name of the source to open; runs on the preview's thread (a
  // DVD title stream is opened there) and may raise EAVError.
  using TSourceMaker = std::function<std::string()>;

  explicit TAVPreviewWidget(QWidget* parent = nullptr);
  // Waits for the picture being decoded.
  ~TAVPreviewWidget() override;

  // Closes what is open and opens `name` (or the source `make` names),
  // showing its picture at the start. Opened follows; a source that cannot
  // be opened leaves the control black and inactive (a failure of `make`
  // is shown in the error box).
  void Open(const std::string& name);
  void Open(TSourceMaker make);
  // Black and inactive at once.
  void Close();
  // An opened source is shown (after Opened, until Close or the next Open).
  bool Active() const { return active_; }
  // A request is in hand.
  bool Busy() const { return busy_; }
  // Shows the picture `seconds` after the source's start.
  void SetTimestamp(double seconds);
  double Duration() const { return duration_; }

  QSize sizeHint() const override { return {176, 144}; }

 signals:
  // The source of the last Open was opened (Active) or could not be.
  void Opened();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct TResult {
    uint64_t generation = 0;
    bool opened = false;  // the answer to an Open
    bool active = false;
    double duration = 0;
    QImage picture;
    std::string error;
  };

  void Restart(std::optional<TSourceMaker> make);
  void Loop();
  TResult OpenSource(TAVPreview& preview, const TSourceMaker& make);
  void Deliver(const TResult& result);

  // User-interface thread.
  uint64_t generation_ = 0;
  bool active_ = false;
  bool busy_ = false;
  double duration_ = 0;
  QImage picture_;

  // Requests, guarded by mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;
  uint64_t requested_generation_ = 0;
  std::optional<TSourceMaker> open_;
  std::optional<double> seek_;
  bool close_ = false;
  bool stop_ = false;
  bool stopped_ = false;
  std::thread thread_;
};

}  // namespace veltrano::gui
