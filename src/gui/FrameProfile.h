// The profile editor's panel: shows one parametric profile and writes every
// change straight into it. Each list offers fixed values; a value of the
// profile that no entry offers shows no selection and is left untouched when
// other controls change.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;

namespace veltrano {
class TAVCustomAudioProfile;
}

namespace veltrano::gui {

class TFrameProfile : public QWidget {
  Q_OBJECT

 public:
  explicit TFrameProfile(QWidget* parent = nullptr);

  TAVCustomAudioProfile* Profile() const { return profile_; }
  // Shows `profile` (nullptr: nothing, the controls disabled).
  void SetProfile(TAVCustomAudioProfile* profile);

  QLineEdit* edtDescript;
  QLineEdit* edtExtension;
  QComboBox* cbbFormat;
  QComboBox* cbbSampleRate;
  QComboBox* cbbAudioEncoder;
  QComboBox* cbbChannels;
  QComboBox* cbbAudioBitrate;
  QComboBox* cbbFrameSize;
  QComboBox* cbbVideoEncoder;
  QComboBox* cbbFrameRate;
  QComboBox* cbbVideoBitrate;
  // Settings of today's profiles: the device, every track, quality instead
  // of the bit rate, the largest size and frame rate. The first entry of
  // each list means "none" (the device) or "not limited" / "by bit rate".
  QComboBox* cbbDevice;
  QCheckBox* chkKeepAllTracks;
  QComboBox* cbbAudioQuality;
  QComboBox* cbbVideoQuality;
  QComboBox* cbbMaxSize;
  QComboBox* cbbMaxFrameRate;

 signals:
  // The description field changed while a profile is shown (text as typed).
  void DescriptionChanged(const QString& text);

 private:
  void ShowAudio(const TAVCustomAudioProfile& profile);
  void ShowModern(const TAVCustomAudioProfile& profile);
  // Writes every control back into the shown profile.
  void ControlChanged();
  void StoreModern(TAVCustomAudioProfile& profile) const;

  TAVCustomAudioProfile* profile_ = nullptr;
  bool suppress_changes_ = false;
  QGroupBox* grpVideo;
};

// The size labels of the frame's size list, one per TAVFrameSize value.
const QStringList& FrameSizeLabels();

}  // namespace veltrano::gui
