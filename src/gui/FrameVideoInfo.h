// The wizard's profile information frame: what the chosen profile makes of
// the picture ("视频信息") and the sound ("音频信息").
#pragma once

#include <QWidget>

class QLabel;

namespace veltrano {
class TAVProfile;
}

namespace veltrano::gui {

class TFrameVideoInfo : public QWidget {
  Q_OBJECT

 public:
  explicit TFrameVideoInfo(QWidget* parent = nullptr);

  // Clears the video values, then shows the audio values of a parametric
  // profile and the video values of a video profile ("质量 23" for constant
  // quality, "最大 1920x1080" for a bounded size). The audio values of a
  // profile without sound settings stay as they were; a remux profile shows
  // its streams as copied.
  void ShowProfile(const TAVProfile& profile);

  QLabel* lblFrameSize;
  QLabel* lblVideoEncoder;
  QLabel* lblFrameRate;
  QLabel* lblVideoBitrate;
  QLabel* lblSampleRate;
  QLabel* lblAudioEncoder;
  QLabel* lblChannels;
  QLabel* lblAudioBitrate;
};

}  // namespace veltrano::gui
