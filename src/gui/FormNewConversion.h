// The new-conversion wizard: the only way to create tasks.
//
// Page 1 ("选择要转的文件") takes the source (files, or a title of a DVD in a
// drive, folder or image), the profile, the target and optionally a time
// span; page 2 ("更多设置...") a list of video filters. Finishing prepares the
// wizard's conversion options (the span, the filter text when finished on
// page 2, the thread count and then the profile's settings) and builds one
// TConversionSettings per source, which the caller hands to the unfiled node.
//
// Several files may be chosen or handed in at once, and a folder ("添加文件夹…",
// or handed in or dropped) brings the media files under it, in natural order;
// the first is shown as the source with "共 N 个文件" beside it, the list of
// sources shows each file with its target (editable), duration and estimated
// output size, and a line names the files a folder had that were skipped and
// why. Each file becomes a task of its own with the wizard's profile, span,
// filters and track choice and a target proposed from its own name (for a
// folder's files in the same sub-folder under the output folder). Rows of
// the list may be given a profile, a span or filters of their own
// ("为所选文件设置…", FormNewConversionFile.h) and given back to the settings
// for all ("恢复为统一设置"); the list's column "设置" names what a file has
// of its own, and its target, duration and estimate follow it. Proposed
// targets never take an existing file, a reserved target (an unfiled task's)
// or another target of the same batch.
//
// The audio and subtitle lists offer the first source's tracks (language,
// codec, channels, title), every audio track where the target's container
// keeps several, and none; the choice is stored as the command line's
// --audio-track, --subtitle-track and --all-audio store it. The estimated
// output size (common/SizeEstimate.h) goes with each task, for the log's
// comparison after the conversion.
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
#include "common/MediaFolder.h"
#include "common/SizeEstimate.h"
#include "common/TrackChoice.h"
#include "converter/AVProbe.h"
#include "converter/DvdNavigation.h"
#include "gui/FormNewConversionParts.h"

class QAction;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

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

class TFormNewConversion : public QWizard {
  Q_OBJECT

 public:
  enum TPageId { kSourcePage = 0, kFilterPage = 1 };

  // `reserved_targets`: the targets of the unfiled tasks.
  TFormNewConversion(TAVProfileList& profiles, std::vector<std::string> reserved_targets,
                     QWidget* parent = nullptr);
  ~TFormNewConversion() override;

  // Sources handed in by the caller: taken without refusing any (they are
  // probed afterwards for the list's durations, estimates and tracks); a
  // folder among them stands for the media files under it.
  void SetSources(const QStringList& sources);
  // Adds the media files under `folder` to the sources.
  void AddFolder(const QString& folder);
  // Sources chosen through the browse dialog: each is probed (off the
  // user-interface thread; Busy meanwhile), and a file without video and
  // audio (or that cannot be read) refuses the whole choice with "无效的文件".
  void ChooseSources(const QStringList& names);
  // Files are being probed or a DVD scanned; the wizard cannot be finished.
  bool Busy() const;
  const QStringList& Sources() const { return sources_; }
  // The target of each source, in order (the first is the target field's).
  QStringList Targets() const;
  // What the track lists choose.
  TTrackChoice TrackChoice() const;

  // The profile selected for all files; a fatal check failure when none is.
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
  // target field. A time span that does not fit a file's length is refused,
  // naming the file, as is a file whose own profile has been deleted.
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
  QWizardPage* CreateFilterPage();

  // Profiles (FormNewConversion.cpp).
  TAVProfile* SelectedProfile() const;
  void ProfileChosen();
  void FollowProfile();

  // Source, target, preview and time span (NewConversionSource.cpp).
  void SourceChanged();
  bool SourceIsValid() const;

  // The list of sources, folders, tracks and estimates (NewConversionList.cpp).
  struct TSourceEntry {
    QString file;
    QString root;    // the folder it was found in; empty for a file chosen itself
    QString target;  // for all but the first (which is edtSavePath's)
    bool target_edited = false;
    std::shared_ptr<const TProbedMedia> media;  // null until probed (or unreadable)
    TOwnSettings own;                           // what differs from the wizard's settings for all
  };
  QWidget* CreateSourceList(QWidget* parent);
  QWidget* CreateTrackChoice(QWidget* parent);
  void ChooseFolder();
  // Expands folders in `names` into their media files.
  std::vector<TSourceEntry> ExpandSources(const QStringList& names,
                                          std::vector<TSkippedFile>& skipped) const;
  void SetSourceEntries(std::vector<TSourceEntry> entries, std::vector<TSkippedFile> skipped);
  void ProbeSources();
  void SourcesProbed(const std::vector<std::pair<QString, TProbedMedia>>& media,
                     const QStringList& failed);
  void ProposeListTargets();
  void RefreshSourceList();
  void ShowSkipped();
  void GrowToContents();
  void TargetEdited(QTreeWidgetItem* item, int column);
  void FillTrackLists();
  // `options_` prepared for the profile with the track choice, for `target`.
  bool PreparedOptions(TAVConvertOptions& options, const TSourceEntry& entry,
                       const std::string& target) const;

  // A file's own settings (NewConversionList.cpp).
  std::vector<size_t> SelectedRows() const;
  void ShowSourceMenu(const QPoint& position);
  void ChooseOwnSettings();
  void RestoreCommonSettings();
  void SetOwnSettings(const std::vector<size_t>& rows, const TOwnSettings& own);
  QString OwnSettingsText(const TOwnSettings& own) const;
  // The profile of a file: its own, or the one for all; null when its own
  // has been deleted (or none is selected).
  TAVProfile* EntryProfile(const TSourceEntry& entry) const;
  // `options_` with the file's own span and filters (or the common filters
  // when `common_filters`) into `options`, not yet prepared for a profile.
  void EntryOptions(TAVConvertOptions& options, const TSourceEntry& entry,
                    bool common_filters) const;
  // False (with the reason shown) when a file's span does not fit its length
  // or its own profile is gone.
  bool EntriesAccepted();
  TSizeEstimate EstimateFor(const TSourceEntry& entry, const std::string& target) const;
  std::string TargetOf(size_t index) const;
  // Applies the track choice to every task; false (with the reason shown)
  // when a source cannot satisfy it.
  bool ApplyTracks(std::vector<std::unique_ptr<TConversionSettings>>& settings);
  bool DvdTabShown() const;
  // A file source's name, or a new title stream of the selected DVD title.
  std::string SourceName();
  void ReloadPreview();
  void PreviewOpened();
  void ShowBusy(const QString& what);
  void BusyChanged();
  void ResetTimeSpan();
  void SpanChosen();
  void ProposeTarget();
  // What the target was last proposed for: the file, or the DVD and title.
  std::string SourceKey() const;
  // `file_name` in the output folder, made free of existing files and `taken`.
  std::string OutputTarget(const std::string& file_name,
                           const std::vector<std::string>& taken) const;
  // The source's name with `extension`, in the output folder.
  std::string ProposedFileTarget(const std::string& source, const std::string& extension,
                                 const std::vector<std::string>& taken) const;
  // The extension of the profile of source `index` (the DVD title's: the
  // common profile's).
  std::string ProfileExtension(size_t index = 0) const;

  // DVD (NewConversionSource.cpp).
  void DvdSelected();
  void OpenDvdSource();
  void ScanDvd(const std::string& path);
  void DvdScanned(std::vector<TDvdTitle> titles, bool opened);
  void TitleChosen();

  // Finishing (FormNewConversion.cpp).
  bool TargetsAccepted(std::vector<bool>& overwrite);
  bool TargetAccepted(const std::string& target, const std::vector<std::string>& sources,
                      const std::vector<std::string>& reserved, bool& overwrite);
  std::vector<std::unique_ptr<TConversionSettings>> BuildConversionSettings(bool common_filters);
  // A task of `profile` with `options` (prepared for it here).
  std::unique_ptr<TConversionSettings> NewSettings(const std::string& source,
                                                   const std::string& target,
                                                   const TAVProfile& profile,
                                                   TAVConvertOptions& options) const;
  void UpdateStates();

  TAVProfileList& profiles_;
  const std::vector<std::string> reserved_targets_;
  std::string output_folder_;
  TAVConvertOptions options_;
  QStringList sources_;
  std::vector<TSourceEntry> entries_;  // one per source, in the order of sources_
  std::vector<TSkippedFile> skipped_;
  QString proposed_target_;  // the target last proposed, to re-propose on profile changes
  std::string proposed_for_;  // the SourceKey of that proposal
  std::string scanned_dvd_;  // the path last scanned; empty before the first scan
  std::string title_label_;  // the volume label of the disc the title list comes from
  std::vector<TDvdTitle> title_list_;
  bool scanning_ = false;
  std::vector<std::unique_ptr<TConversionSettings>> settings_;

  TSourcePage* page_source_ = nullptr;
  QTabWidget* tabSource = nullptr;
  QWidget* tabDvd = nullptr;
  TFileNameEdit* edtSource = nullptr;
  QLabel* lblFileCount = nullptr;
  QPushButton* btnAddFolder = nullptr;
  QTreeWidget* lstSources = nullptr;
  QAction* actOwnSettings = nullptr;
  QAction* actCommonSettings = nullptr;
  QWidget* boxOwnSettings = nullptr;
  QLabel* lblSkipped = nullptr;
  QLabel* lblEstimate = nullptr;
  QComboBox* cbbAudioTrack = nullptr;
  QComboBox* cbbSubtitleTrack = nullptr;
  TDvdCombo* FCbbDvd = nullptr;
  QComboBox* cbbTitle = nullptr;
  QComboBox* cbbAngle = nullptr;
  QComboBox* cbbChapter = nullptr;
  QComboBox* cbbThrough = nullptr;
  TProfileChoice* profile_choice_ = nullptr;
  TFileNameEdit* edtSavePath = nullptr;
  TFrameVideoInfo* frmVideoInfo = nullptr;
  TSpanChoice* span_choice_ = nullptr;
  TAVPreviewWidget* AVPreview = nullptr;  // the span choice's
  TFilterChoice* filter_choice_ = nullptr;
  QTimer* tmrUpdate = nullptr;
  QLabel* lblBusy = nullptr;
  QProgressBar* barBusy = nullptr;
  TBackgroundWork* work_ = nullptr;
};

}  // namespace veltrano::gui
