// The wizard's source side: files and DVD titles, the preview, the proposed
// target and the time span.
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <memory>

#include <fmt/format.h>

#include "common/TargetNames.h"
#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/AVProbe.h"
#include "converter/AVProfile.h"
#include "converter/DvdStream.h"
#include "converter/MessageBoxes.h"
#include "converter/StreamProtocol.h"
#include "gui/AVPreviewWidget.h"
#include "gui/BackgroundWork.h"
#include "gui/DvdComboBox.h"
#include "gui/FileNameEdit.h"
#include "gui/FormNewConversion.h"

namespace veltrano::gui {
namespace {

// The streams of `file` when the media probe finds a video or an audio
// stream in it; null otherwise.
std::shared_ptr<const TProbedMedia> ProbedMedia(const QString& file) {
  try {
    auto media = std::make_shared<const TProbedMedia>(ListMediaStreams(file.toStdString()));
    if (media->TrackCount("video") > 0 || media->TrackCount("audio") > 0) return media;
  } catch (const EAVError&) {
  }
  return nullptr;
}

// The numbers 1 to `count` as the entries of `list`.
void FillNumbers(QComboBox* list, int count) {
  list->clear();
  for (int number = 1; number <= count; ++number) list->addItem(QString::number(number));
}

}  // namespace

// Files -------------------------------------------------------------------------------

void TFormNewConversion::SetSources(const QStringList& sources) {
  std::vector<TSkippedFile> skipped;
  std::vector<TSourceEntry> entries = ExpandSources(sources, skipped);
  SetSourceEntries(std::move(entries), std::move(skipped));
}

void TFormNewConversion::ChooseSources(const QStringList& names) {
  ShowBusy(tr("正在检查文件…"));
  // Probing reads each file: off this thread, so the wizard stays usable.
  work_->Run([this, names]() -> TBackgroundWork::TFinish {
    std::vector<TSourceEntry> entries;
    QString refused;
    for (const QString& name : names) {
      auto media = ProbedMedia(name);
      if (media == nullptr) {
        refused = name;
        break;
      }
      entries.push_back({name, {}, {}, false, std::move(media), {}});
    }
    return [this, names, refused, entries = std::move(entries)]() mutable {
      if (refused.isNull()) {
        SetSourceEntries(std::move(entries), {});
        return;
      }
      const QString text = tr("无效的文件");
      ShowErrorBox((names.size() > 1 ? text + QLatin1Char('\n') + refused : text).toStdString());
    };
  });
}

bool TFormNewConversion::DvdTabShown() const {
  return tabSource->currentWidget() == tabDvd;
}

bool TFormNewConversion::SourceIsValid() const {
  if (DvdTabShown()) return cbbTitle->currentIndex() >= 0;
  return !edtSource->FileName().isEmpty() && QFileInfo::exists(edtSource->FileName());
}

std::string TFormNewConversion::SourceName() {
  if (!DvdTabShown()) return edtSource->FileName().toStdString();
  const int number = RegisterStream(std::make_unique<TDvdStream>(
      CurrentTitle(), cbbAngle->currentText().toInt(), cbbChapter->currentText().toInt(),
      cbbThrough->currentText().toInt()));
  return StreamName(number);
}

void TFormNewConversion::SourceChanged() {
  ReloadPreview();
  ProposeTarget();
}

// Preview and time span ---------------------------------------------------------------

// The preview opens the source on its own thread (a DVD title stream is made
// there too); PreviewOpened takes the source's length.
void TFormNewConversion::ReloadPreview() {
  AVPreview->Close();
  if (!SourceIsValid()) return;
  span_choice_->ClearSource();
  ResetTimeSpan();
  if (!DvdTabShown()) {
    AVPreview->Open(edtSource->FileName().toStdString());
    return;
  }
  AVPreview->Open([title = CurrentTitle(), angle = cbbAngle->currentText().toInt(),
                   chapter = cbbChapter->currentText().toInt(),
                   through = cbbThrough->currentText().toInt()] {
    return StreamName(RegisterStream(std::make_unique<TDvdStream>(title, angle, chapter, through)));
  });
}

// A new source starts without a span: a span chosen on another source could
// lie beyond this one's end.
void TFormNewConversion::ResetTimeSpan() {
  span_choice_->SetSpan(WholeSource());
  SpanChosen();
}

void TFormNewConversion::SpanChosen() {
  const TTimeSpan span = span_choice_->Span();
  options_.SetStartTime(span.start);
  options_.SetRecordingTime(span.recording);
  RefreshSourceList();
}

// Targets -----------------------------------------------------------------------------

std::string TFormNewConversion::ProfileExtension(size_t index) const {
  const TAVProfile* profile =
      DvdTabShown() || index >= entries_.size() ? SelectedProfile() : EntryProfile(entries_[index]);
  return profile != nullptr ? profile->Extension() : std::string();
}

std::string TFormNewConversion::OutputTarget(const std::string& file_name,
                                             const std::vector<std::string>& taken) const {
  std::string folder = output_folder_;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return FreeTargetName(folder + file_name, taken);
}

// A folder's file keeps its sub-folder under the output folder.
std::string TFormNewConversion::ProposedFileTarget(const std::string& source,
                                                   const std::string& extension,
                                                   const std::vector<std::string>& taken) const {
  std::string root;
  for (const TSourceEntry& entry : entries_) {
    if (entry.file.toStdString() == source) root = entry.root.toStdString();
  }
  return FolderTarget(source, root, output_folder_, extension, taken);
}

void TFormNewConversion::ProposeTarget() {
  if (!SourceIsValid()) return;
  // A target the user typed for this very source stays (switching the
  // source tab away and back is no new source).
  const std::string source = SourceKey();
  if (source == proposed_for_ && edtSavePath->FileName() != proposed_target_) return;
  proposed_for_ = source;
  const std::string target =
      DvdTabShown() ? OutputTarget(fmt::format("{}_{}{}", title_label_, CurrentTitle().index,
                                               ProfileExtension()),
                                   reserved_targets_)
                    : ProposedFileTarget(edtSource->FileName().toStdString(), ProfileExtension(0),
                                         reserved_targets_);
  proposed_target_ = QString::fromStdString(target);
  edtSavePath->SetFileName(proposed_target_);
}

std::string TFormNewConversion::SourceKey() const {
  if (!DvdTabShown()) return "file:" + edtSource->FileName().toStdString();
  return fmt::format("dvd:{}:{}", scanned_dvd_, CurrentTitle().index);
}

// DVD ---------------------------------------------------------------------------------

const TDvdTitle& TFormNewConversion::CurrentTitle() const {
  const int index = cbbTitle->currentIndex();
  VEL_ASSERT(index >= 0 && index < static_cast<int>(title_list_.size()));
  return title_list_[index];
}

void TFormNewConversion::DvdSelected() {
  const std::string path = FCbbDvd->Drive();
  if (path.empty() || path == scanned_dvd_) return;
  ScanDvd(path);
}

void TFormNewConversion::OpenDvdSource() {
  const QString root = ChooseDvdSource(this);
  if (root.isEmpty()) return;
  const std::string path = root.toStdString();
  FCbbDvd->setCurrentIndex(FCbbDvd->AddSource(path, DvdSourceLabel(path)));
  DvdSelected();
}

// The scan reads the whole disc structure: off this thread, with the "Dvd"
// tab disabled and the busy indicator shown until it is done.
void TFormNewConversion::ScanDvd(const std::string& path) {
  scanned_dvd_ = path;
  AVPreview->Close();
  tabDvd->setEnabled(false);
  span_choice_->UpdateStates();
  ShowBusy(tr("正在读取DVD…"));
  work_->Run([this, path]() -> TBackgroundWork::TFinish {
    std::vector<TDvdTitle> titles;
    bool opened = true;
    try {
      titles = ScanDvdTitles(path);
    } catch (const EAVError&) {
      opened = false;
    }
    return [this, titles = std::move(titles), opened]() mutable {
      DvdScanned(std::move(titles), opened);
    };
  });
}

void TFormNewConversion::DvdScanned(std::vector<TDvdTitle> titles, bool opened) {
  if (opened) {
    {
      const QSignalBlocker blocker(cbbTitle);
      cbbTitle->clear();
      title_list_ = std::move(titles);
      title_label_ = FCbbDvd->VolumeLabel();
      for (const TDvdTitle& title : title_list_) {
        cbbTitle->addItem(QString::fromStdString(DvdTitleCaption(title)));
      }
      cbbTitle->setCurrentIndex(title_list_.empty() ? -1 : 0);
    }
    if (!title_list_.empty()) TitleChosen();
  } else {
    // Picking the same entry again retries (after a disc was inserted, say).
    scanned_dvd_.clear();
    ShowErrorBox(tr("打不开DVD").toStdString());
  }
  tabDvd->setEnabled(true);
}

void TFormNewConversion::TitleChosen() {
  scanning_ = true;
  const TDvdTitle& title = CurrentTitle();
  FillNumbers(cbbAngle, title.angle_count);
  if (cbbAngle->count() > 0) cbbAngle->setCurrentIndex(0);
  const int chapters = static_cast<int>(title.list_chapter.size());
  FillNumbers(cbbChapter, chapters);
  FillNumbers(cbbThrough, chapters);
  if (chapters > 0) {
    cbbChapter->setCurrentIndex(0);
    cbbThrough->setCurrentIndex(chapters - 1);
  }
  try {
    ReloadPreview();
    ProposeTarget();
  } catch (...) {
    scanning_ = false;
    throw;
  }
  scanning_ = false;
}

}  // namespace veltrano::gui
