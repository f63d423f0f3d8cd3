// The profile editor ("编辑配置文件"): browse the parametric profiles by
// category, change them, create and delete them, and save them all to the
// user profile store. It works on the live profile objects of the program's
// profile list, so changes are visible at once and there is no cancel; only
// the store on disk waits for "保存并退出".
#pragma once

#include <QDialog>

#include <cstdint>

class QAction;
class QListWidget;
class QListWidgetItem;

namespace veltrano {
class TAVProfile;
class TAVCustomAudioProfile;
class TAVProfileList;
}  // namespace veltrano

namespace veltrano::gui {

class TFrameProfile;

class TFormEditProfile : public QDialog {
  Q_OBJECT

 public:
  explicit TFormEditProfile(TAVProfileList& profiles, QWidget* parent = nullptr);

  // The profile shown in the frame; nullptr when none.
  TAVCustomAudioProfile* CurrentProfile() const;
  // Selects `profile`'s category, lists its profiles and shows `profile`.
  void SetCurrentProfile(TAVCustomAudioProfile* profile);

  QListWidget* lstCategory;
  QListWidget* lstProfile;
  TFrameProfile* FrameProfile;
  QAction* actNewAudio;
  QAction* actNewVideo;
  QAction* actDelete;
  QAction* actSave;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Lists the parametric profiles of the selected category; when a profile
  // is current, the first entry becomes current.
  void FillProfiles();
  TAVCustomAudioProfile* ProfileOf(const QListWidgetItem* item) const;
  void ProfileClicked();
  void Show(TAVCustomAudioProfile* profile);
  void AddNew(std::unique_ptr<TAVCustomAudioProfile> profile, const char* description);
  void DeleteSelected();
  void SaveAndExit();
  void UpdateActions();

  TAVProfileList& profiles_;
  uint64_t current_ = 0;  // the handle of the profile shown
};

// Opens the editor modally on `profile` and returns the profile that is
// current when it closes (another, a new one, or nullptr).
TAVCustomAudioProfile* EditProfile(TAVProfileList& profiles, TAVCustomAudioProfile* profile,
                                   QWidget* parent);

}  // namespace veltrano::gui
