// The new-conversion wizard: the only way to create tasks.
//
// Page 1 ("选择要转的文件") takes the source (files, or a title of a DVD in a
// drive, folder or image), the profile, the target and optionally a time
// span; page 2 ("更多设置...") a list of video filters. Finishing prepares the
// wizard's conversion options (the span, the filter text when finished on
// page 2, the thread count and then the profile's settings) and builds one
// TConversionSettings per source, which the caller hands to the unfiled node.
//
// Several files may be chosen or handed in at once: the first is shown as the
// source with "共 N 个文件" beside it, and each file becomes a task of its own
// with the same profile, span and filters and a target proposed from its own
// name. Proposed targets never take an existing file, a reserved target (an
// unfiled task's) or another target of the same batch.
//
// Probing chosen files and scanning a DVD run on a thread of the wizard's
// own (TBackgroundWork), the preview on its own thread: the wizard stays
// usable and shows a busy indicator meanwhile.
#pragma once

#include <QStringList>
#include <QWizard>

#include <memory>
#include <string>
#include <vector>

#include "common/ConversionSettings.h"
#include "converter/DvdNavigation.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;

namespace veltrano {
class TAVFilter;
class TAVProfile;
class TAVProfileList;
}  // namespace veltrano

namespace veltrano::gui {

class TAVPreviewWidget;
class TBackgroundWork;
class TDvdCombo;
class TFileNameEdit;
class TFrameVideoInfo;
class TSourcePage;
class TTimeBar;

class TFormNewConversion : public QWizard {
  Q_OBJECT

 public:
  enum TPageId { kSourcePage = 0, kFilterPage = 1 };

  // `reserved_targets`: the targets of the unfiled tasks.
  TFormNewConversion(TAVProfileList& profiles, std::vector<std::string> reserved_targets,
                     QWidget* parent = nullptr);
  ~TFormNewConversion() override;

  // Sources handed in by the caller: taken without probing.
  void SetSources(const QStringList& sources);
  // Sources chosen through the browse dialog: each is probed (off the
  // user-interface thread; Busy meanwhile), and a file without video and
  // audio (or that cannot be read) refuses the whole choice with "无效的文件".
  void ChooseSources(const QStringList& names);
  // Files are being probed or a DVD scanned; the wizard cannot be finished.
  bool Busy() const;
  const QStringList& Sources() const { return sources_; }

  // The profile selected in cbbProfile; a fatal check failure when none is.
  TAVProfile* CurrentProfile() const;
  const TAVConvertOptions& ConvertOptions() const { return options_; }
  // The title record of the selected entry of the title list.
  const TDvdTitle& CurrentTitle() const;

  // The settings built when the wizard was finished, one per source (a DVD
  // title: one); empty before. The caller owns them.
  std::vector<std::unique_ptr<TConversionSettings>> TakeConversionSettings();

  // Finishing: refused (the wizard stays open) when the options or a DVD
  // title stream cannot be prepared; the reason is shown in the error box.
  // The typed target is checked first: one that is a source or another
  // unfinished task's target is refused with an error box, and an existing
  // file is replaced only when the user answers "目标文件已存在，是否替换？"
  // with Yes (the first task then has Overwrite). A refusal returns to the
  // target field.
  void accept() override;
  // Refused while a DVD title's details are being loaded.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Creation (FormNewConversion.cpp).
  TSourcePage* CreateSourcePage();
  QWidget* CreateFileTab();
  QWidget* CreateDvdTab();
  QWidget* CreateTimeSettings();
  QWizardPage* CreateFilterPage();

  // Profiles (FormNewConversion.cpp).
  TAVProfile* SelectedProfile() const;
  void CategoryChosen();
  void ProfileChosen();
  void EditCurrentProfile();
  void SelectProfile(TAVProfile* profile);

  // Source, target, preview and time span (NewConversionSource.cpp).
  void SourceChanged();
  bool SourceIsValid() const;
  bool DvdTabShown() const;
  // A file source's name, or a new title stream of the selected DVD title.
  std::string SourceName();
  void ReloadPreview();
  void PreviewOpened();
  void ShowBusy(const QString& what);
  void BusyChanged();
  void ResetTimeSpan();
  void ProposeTarget();
  // What the target was last proposed for: the file, or the DVD and title.
  std::string SourceKey() const;
  // `file_name` in the output folder, made free of existing files and `taken`.
  std::string OutputTarget(const std::string& file_name,
                           const std::vector<std::string>& taken) const;
  // The source's name with the profile's extension, in the output folder.
  std::string ProposedFileTarget(const std::string& source,
                                 const std::vector<std::string>& taken) const;
  std::string ProfileExtension() const;
  void TimeBarMoved(int position_ms);
  void SetStartPoint();
  void SetEndPoint();

  // DVD (NewConversionSource.cpp).
  void DvdSelected();
  void OpenDvdSource();
  void ScanDvd(const std::string& path);
  void DvdScanned(std::vector<TDvdTitle> titles, bool opened);
  void TitleChosen();

  // Filters (NewConversionFilters.cpp).
  void AddFilter(std::unique_ptr<TAVFilter> filter);
  void EditFilter();
  void DeleteFilter();
  std::string FilterText() const;

  // Finishing (FormNewConversion.cpp).
  bool TargetAccepted(bool& overwrite);
  std::vector<std::unique_ptr<TConversionSettings>> BuildConversionSettings();
  std::unique_ptr<TConversionSettings> NewSettings(const std::string& source,
                                                   const std::string& target) const;
  void UpdateStates();

  TAVProfileList& profiles_;
  const std::vector<std::string> reserved_targets_;
  std::string output_folder_;
  TAVConvertOptions options_;
  QStringList sources_;
  QString proposed_target_;  // the target last proposed, to re-propose on profile changes
  std::string proposed_for_;  // the SourceKey of that proposal
  std::string scanned_dvd_;  // the path last scanned; empty before the first scan
  std::string title_label_;  // the volume label of the disc the title list comes from
  std::vector<TDvdTitle> title_list_;
  bool scanning_ = false;
  std::vector<std::unique_ptr<TAVFilter>> filters_;  // in the order of lstFilters
  std::vector<std::unique_ptr<TConversionSettings>> settings_;

  TSourcePage* page_source_ = nullptr;
  QTabWidget* tabSource = nullptr;
  QWidget* tabDvd = nullptr;
  TFileNameEdit* edtSource = nullptr;
  QLabel* lblFileCount = nullptr;
  TDvdCombo* FCbbDvd = nullptr;
  QComboBox* cbbTitle = nullptr;
  QComboBox* cbbAngle = nullptr;
  QComboBox* cbbChapter = nullptr;
  QComboBox* cbbThrough = nullptr;
  QComboBox* cbbCategory = nullptr;
  QComboBox* cbbProfile = nullptr;
  QAction* actEditProfile = nullptr;
  TFileNameEdit* edtSavePath = nullptr;
  TFrameVideoInfo* frmVideoInfo = nullptr;
  TAVPreviewWidget* AVPreview = nullptr;
  TTimeBar* barTime = nullptr;
  QLabel* lblDuration = nullptr;
  QLabel* lblStart = nullptr;
  QLabel* lblEnd = nullptr;
  QPushButton* btnStart = nullptr;
  QPushButton* btnEnd = nullptr;
  QListWidget* lstFilters = nullptr;
  QAction* actEditFilter = nullptr;
  QAction* actDeleteFilter = nullptr;
  QTimer* tmrUpdate = nullptr;
  QLabel* lblBusy = nullptr;
  QProgressBar* barBusy = nullptr;
  TBackgroundWork* work_ = nullptr;
};

}  // namespace veltrano::gui
