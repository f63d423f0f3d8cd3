// The wizard's list of sources (files and folders), their targets,
// durations, estimated sizes and settings of their own, and the choice of
// tracks.
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <set>

#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "common/TargetNames.h"
#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/AVProfile.h"
#include "converter/MessageBoxes.h"
#include "converter/SafeOutputs.h"
#include "gui/BackgroundWork.h"
#include "gui/FileNameEdit.h"
#include "gui/FormNewConversion.h"
#include "gui/FormNewConversionFile.h"

namespace veltrano::gui {
namespace {

enum TColumn { kSourceColumn, kTargetColumn, kDurationColumn, kSizeColumn, kSettingsColumn };
// The entry of a track list: "" (as the profile has it), "none", a number or "all".
constexpr int kChoiceRole = Qt::UserRole;
constexpr int kShownSkipped = 3;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QString DurationText(double seconds) {
  if (seconds <= 0) return QStringLiteral("?");
  const auto whole = static_cast<int64_t>(std::nearbyint(seconds));
  return QStringLiteral("%1:%2:%3")
      .arg(whole / 3600)
      .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// "2: 日语 ac3 6声道 “评论”".
QString TrackCaption(const TProbedStream& stream) {
  QString caption = QString::number(stream.track) + QStringLiteral(":");
  if (!stream.language.empty()) caption += QLatin1Char(' ') + Text(stream.language);
  caption += QLatin1Char(' ') + Text(stream.codec);
  if (stream.channels > 0) {
    caption += QLatin1Char(' ') + TFormNewConversion::tr("%1声道").arg(stream.channels);
  }
  if (!stream.title.empty()) caption += QStringLiteral(" “%1”").arg(Text(stream.title));
  return caption;
}

}  // namespace

// Creation ----------------------------------------------------------------------------

QWidget* TFormNewConversion::CreateSourceList(QWidget* parent) {
  auto* box = new QWidget(parent);
  lstSources = new QTreeWidget(box);
  lstSources->setObjectName(QStringLiteral("lstSources"));
  lstSources->setRootIsDecorated(false);
  lstSources->setHeaderLabels(
      {tr("源文件"), tr("目标文件"), tr("时长"), tr("预计大小"), tr("设置")});
  lstSources->header()->setStretchLastSection(false);
  lstSources->header()->setSectionResizeMode(kSourceColumn, QHeaderView::Stretch);
  lstSources->header()->setSectionResizeMode(kTargetColumn, QHeaderView::Stretch);
  lstSources->header()->setSectionResizeMode(kDurationColumn, QHeaderView::ResizeToContents);
  lstSources->header()->setSectionResizeMode(kSizeColumn, QHeaderView::ResizeToContents);
  lstSources->header()->setSectionResizeMode(kSettingsColumn, QHeaderView::ResizeToContents);
  lstSources->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstSources->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lstSources, &QWidget::customContextMenuRequested, this,
          &TFormNewConversion::ShowSourceMenu);
  connect(lstSources, &QTreeWidget::itemSelectionChanged, this, &TFormNewConversion::UpdateStates);
  lstSources->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  lstSources->setMinimumHeight(160);
  // The ends of the paths tell files apart.
  lstSources->setTextElideMode(Qt::ElideLeft);
  connect(lstSources, &QTreeWidget::itemChanged, this, &TFormNewConversion::TargetEdited);
  actOwnSettings = new QAction(tr("为所选文件设置…"), this);
  actOwnSettings->setObjectName(QStringLiteral("actOwnSettings"));
  actOwnSettings->setToolTip(tr("为所选的文件选择自己的输出配置、时间段或滤镜"));
  actCommonSettings = new QAction(tr("恢复为统一设置"), this);
  actCommonSettings->setObjectName(QStringLiteral("actCommonSettings"));
  connect(actOwnSettings, &QAction::triggered, this, &TFormNewConversion::ChooseOwnSettings);
  connect(actCommonSettings, &QAction::triggered, this, &TFormNewConversion::RestoreCommonSettings);
  boxOwnSettings = new QWidget(box);
  auto* buttons = new QHBoxLayout(boxOwnSettings);
  buttons->setContentsMargins(0, 0, 0, 0);
  for (QAction* action : {actOwnSettings, actCommonSettings}) {
    auto* button = new QToolButton(boxOwnSettings);
    button->setDefaultAction(action);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  lblSkipped = new QLabel(box);
  lblSkipped->setObjectName(QStringLiteral("lblSkipped"));
  lblSkipped->setWordWrap(true);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(lstSources, 1);
  layout->addWidget(boxOwnSettings);
  layout->addWidget(lblSkipped);
  lstSources->hide();
  boxOwnSettings->hide();
  lblSkipped->hide();
  return box;
}

QWidget* TFormNewConversion::CreateTrackChoice(QWidget* parent) {
  auto* box = new QWidget(parent);
  cbbAudioTrack = new QComboBox(box);
  cbbAudioTrack->setObjectName(QStringLiteral("cbbAudioTrack"));
  cbbSubtitleTrack = new QComboBox(box);
  cbbSubtitleTrack->setObjectName(QStringLiteral("cbbSubtitleTrack"));
  for (QComboBox* list : {cbbAudioTrack, cbbSubtitleTrack}) {
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(list, &QComboBox::currentIndexChanged, this, [this] { RefreshSourceList(); });
  }
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(new QLabel(tr("音轨:"), box));
  row->addWidget(cbbAudioTrack);
  row->addSpacing(12);
  row->addWidget(new QLabel(tr("字幕:"), box));
  row->addWidget(cbbSubtitleTrack);
  row->addStretch(1);
  FillTrackLists();
  return box;
}

// Sources -----------------------------------------------------------------------------

void TFormNewConversion::ChooseFolder() {
  QFileDialog dialog(this, tr("添加文件夹"));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  AddFolder(dialog.selectedFiles().front());
}

void TFormNewConversion::AddFolder(const QString& folder) {
  std::vector<TSkippedFile> skipped = skipped_;
  std::vector<TSourceEntry> entries = entries_;
  std::set<QString> known(sources_.begin(), sources_.end());
  for (TSourceEntry& entry : ExpandSources({folder}, skipped)) {
    if (known.insert(entry.file).second) entries.push_back(std::move(entry));
  }
  SetSourceEntries(std::move(entries), std::move(skipped));
}

std::vector<TFormNewConversion::TSourceEntry> TFormNewConversion::ExpandSources(
    const QStringList& names, std::vector<TSkippedFile>& skipped) const {
  std::vector<TSourceEntry> entries;
  for (const QString& name : names) {
    if (!QFileInfo(name).isDir()) {
      entries.push_back({name, {}, {}, false, nullptr, {}});
      continue;
    }
    TFolderScan scan = ScanMediaFolder(name.toStdString());
    for (const std::string& file : scan.files) {
      entries.push_back({Text(file), Text(scan.root), {}, false, nullptr, {}});
    }
    skipped.insert(skipped.end(), scan.skipped.begin(), scan.skipped.end());
  }
  return entries;
}

void TFormNewConversion::SetSourceEntries(std::vector<TSourceEntry> entries,
                                          std::vector<TSkippedFile> skipped) {
  entries_ = std::move(entries);
  skipped_ = std::move(skipped);
  QStringList files;
  for (const TSourceEntry& entry : entries_) files << entry.file;
  sources_ = files;
  lblFileCount->setText(tr("共 %1 个文件").arg(files.size()));
  lblFileCount->setVisible(files.size() > 1);
  const QString first = files.value(0);
  if (edtSource->FileName() != first) {
    edtSource->SetFileName(first);  // raises the change
  } else {
    SourceChanged();
  }
  ProposeListTargets();
  ShowSkipped();
  FillTrackLists();
  RefreshSourceList();
  ProbeSources();
}

// Reads the streams of every source not read yet, off this thread. A file of
// a folder that turns out to be no media leaves the list as skipped.
void TFormNewConversion::ProbeSources() {
  QStringList wanted;
  for (const TSourceEntry& entry : entries_) {
    if (entry.media == nullptr) wanted << entry.file;
  }
  if (wanted.isEmpty()) return;
  ShowBusy(tr("正在检查文件…"));
  work_->Run([this, wanted]() -> TBackgroundWork::TFinish {
    std::vector<std::pair<QString, TProbedMedia>> media;
    QStringList failed;
    for (const QString& file : wanted) {
      try {
        media.emplace_back(file, ListMediaStreams(file.toStdString()));
      } catch (const EAVError&) {
        failed << file;
      }
    }
    return [this, media = std::move(media), failed] { SourcesProbed(media, failed); };
  });
}

void TFormNewConversion::SourcesProbed(const std::vector<std::pair<QString, TProbedMedia>>& media,
                                       const QStringList& failed) {
  for (const auto& [file, streams] : media) {
    for (TSourceEntry& entry : entries_) {
      if (entry.file == file) entry.media = std::make_shared<const TProbedMedia>(streams);
    }
  }
  // A folder's file the probe cannot read is no media after all; a file
  // handed in by itself stays (its conversion will say what is wrong).
  std::vector<TSourceEntry> kept;
  bool dropped = false;
  for (TSourceEntry& entry : entries_) {
    if (!entry.root.isEmpty() && failed.contains(entry.file)) {
      skipped_.push_back({entry.file.toStdString(), TSkippedFile::NotMedia, {}});
      dropped = true;
      continue;
    }
    kept.push_back(std::move(entry));
  }
  entries_ = std::move(kept);
  if (dropped) {
    std::vector<TSourceEntry> entries = std::move(entries_);
    SetSourceEntries(std::move(entries), std::move(skipped_));
    return;
  }
  FillTrackLists();
  RefreshSourceList();
}

// Targets -----------------------------------------------------------------------------

QStringList TFormNewConversion::Targets() const {
  QStringList targets;
  for (size_t index = 0; index < entries_.size(); ++index) targets << Text(TargetOf(index));
  return targets;
}

std::string TFormNewConversion::TargetOf(size_t index) const {
  if (index == 0) return ResolvedPath(edtSavePath->FileName().toStdString());
  return ResolvedPath(entries_[index].target.toStdString());
}

// Targets of the second source on that the user did not type; each free of
// the targets before it.
void TFormNewConversion::ProposeListTargets() {
  if (entries_.empty()) return;
  std::vector<std::string> taken = reserved_targets_;
  taken.push_back(ResolvedPath(edtSavePath->FileName().toStdString()));
  for (size_t index = 1; index < entries_.size(); ++index) {
    TSourceEntry& entry = entries_[index];
    if (!entry.target_edited) {
      entry.target =
          Text(ProposedFileTarget(entry.file.toStdString(), ProfileExtension(index), taken));
    }
    taken.push_back(entry.target.toStdString());
  }
}

void TFormNewConversion::TargetEdited(QTreeWidgetItem* item, int column) {
  if (column != kTargetColumn) return;
  const int index = lstSources->indexOfTopLevelItem(item);
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  const QString text = item->text(kTargetColumn).trimmed();
  if (index == 0) {
    if (text != edtSavePath->FileName()) edtSavePath->SetFileName(text);
  } else {
    entries_[index].target = text;
    entries_[index].target_edited = true;
  }
  RefreshSourceList();
}

// Estimates ---------------------------------------------------------------------------

bool TFormNewConversion::PreparedOptions(TAVConvertOptions& options, const TSourceEntry& entry,
                                         const std::string& target) const {
  const TAVProfile* profile = EntryProfile(entry);
  if (profile == nullptr || entry.media == nullptr) return false;
  EntryOptions(options, entry, false);
  try {
    PrepareProfileOptions(options, *profile, AVConfiguration());
    ApplyTrackChoice(options, TrackChoice(), *entry.media, target);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

TSizeEstimate TFormNewConversion::EstimateFor(const TSourceEntry& entry,
                                              const std::string& target) const {
  TAVConvertOptions options;
  if (!PreparedOptions(options, entry, target)) return {};
  return EstimateOutputSize(options, *entry.media, target);
}

void TFormNewConversion::RefreshSourceList() {
  if (lstSources == nullptr || lblEstimate == nullptr) return;
  const QSignalBlocker blocker(lstSources);
  const std::vector<size_t> selected = SelectedRows();
  lstSources->clear();
  TSizeEstimate total{0, 0, true};
  for (size_t index = 0; index < entries_.size(); ++index) {
    const TSourceEntry& entry = entries_[index];
    const std::string target = TargetOf(index);
    const TSizeEstimate estimate = EstimateFor(entry, target);
    total += estimate;
    total.known = total.known && estimate.known;
    auto* item = new QTreeWidgetItem(lstSources);
    const std::string relative =
        RelativeToFolder(entry.file.toStdString(), entry.root.toStdString());
    item->setText(kSourceColumn,
                  relative.empty() ? QFileInfo(entry.file).fileName() : Text(relative));
    item->setToolTip(kSourceColumn, entry.file);
    item->setText(kTargetColumn, Text(target));
    item->setToolTip(kTargetColumn, Text(target));
    TAVConvertOptions options;
    EntryOptions(options, entry, false);
    item->setText(kDurationColumn, entry.media != nullptr ? DurationText(ConvertedSeconds(
                                                                options, entry.media->duration))
                                                          : QStringLiteral("?"));
    item->setText(kSizeColumn, Text(EstimateText(estimate)));
    item->setTextAlignment(kDurationColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setText(kSettingsColumn, OwnSettingsText(entry.own));
    if (entry.own.Any()) {
      QFont font = item->font(kSettingsColumn);
      font.setBold(true);
      item->setFont(kSettingsColumn, font);
    }
  }
  for (size_t row : selected) {
    if (row < entries_.size()) lstSources->topLevelItem(static_cast<int>(row))->setSelected(true);
  }
  const bool several = entries_.size() > 1;
  if (several == lstSources->isHidden()) {
    lstSources->setVisible(several);
    boxOwnSettings->setVisible(several);
    GrowToContents();
  }
  if (DvdTabShown() || entries_.empty()) {
    lblEstimate->clear();
    return;
  }
  lblEstimate->setText(entries_.size() > 1
                           ? tr("预计输出大小: 共 %1").arg(Text(EstimateText(total)))
                           : tr("预计输出大小: %1").arg(Text(EstimateText(total))));
}

// Own settings -----------------------------------------------------------------------

std::vector<size_t> TFormNewConversion::SelectedRows() const {
  std::vector<size_t> rows;
  for (int row = 0; row < lstSources->topLevelItemCount(); ++row) {
    if (lstSources->topLevelItem(row)->isSelected() && row < static_cast<int>(entries_.size())) {
      rows.push_back(static_cast<size_t>(row));
    }
  }
  return rows;
}

void TFormNewConversion::ShowSourceMenu(const QPoint& position) {
  UpdateStates();
  QMenu menu(lstSources);
  menu.addAction(actOwnSettings);
  menu.addAction(actCommonSettings);
  menu.exec(lstSources->viewport()->mapToGlobal(position));
}

void TFormNewConversion::ChooseOwnSettings() {
  const std::vector<size_t> rows = SelectedRows();
  if (rows.empty() || SelectedProfile() == nullptr) return;
  std::vector<TFormFileSettings::TFile> files;
  for (size_t row : rows) {
    const TSourceEntry& entry = entries_[row];
    files.push_back({entry.file, entry.media != nullptr ? entry.media->duration : 0.0});
  }
  TFormFileSettings dialog(profiles_, std::move(files), entries_[rows.front()].own,
                           SelectedProfile(), span_choice_->Span(), filter_choice_->Filters(),
                           this);
  if (dialog.exec() != QDialog::Accepted) return;
  SetOwnSettings(rows, dialog.Settings());
}

void TFormNewConversion::RestoreCommonSettings() {
  SetOwnSettings(SelectedRows(), {});
}

// The targets follow the files' profiles: proposed ones anew, typed ones
// with the extension changed.
void TFormNewConversion::SetOwnSettings(const std::vector<size_t>& rows, const TOwnSettings& own) {
  for (size_t row : rows) {
    TSourceEntry& entry = entries_[row];
    entry.own = own;
    if (row > 0 && entry.target_edited) {
      entry.target = WithExtension(entry.target, ProfileExtension(row));
    }
  }
  if (std::find(rows.begin(), rows.end(), 0) != rows.end()) FollowProfile();
  ProposeListTargets();
  RefreshSourceList();
  UpdateStates();
}

QString TFormNewConversion::OwnSettingsText(const TOwnSettings& own) const {
  if (!own.Any()) return tr("统一设置");
  QStringList parts;
  if (own.profile) {
    const TAVProfile* profile = profiles_.FindHandle(*own.profile);
    parts << (profile != nullptr ? Text(profile->Description()) : tr("输出配置已删除"));
  }
  if (own.span) parts << SpanText(*own.span);
  if (own.filters != nullptr) {
    parts << (own.filters->empty() ? tr("无滤镜") : tr("%1 个滤镜").arg(own.filters->size()));
  }
  return parts.join(QStringLiteral("; "));
}

TAVProfile* TFormNewConversion::EntryProfile(const TSourceEntry& entry) const {
  if (entry.own.profile) return profiles_.FindHandle(*entry.own.profile);
  return SelectedProfile();
}

void TFormNewConversion::EntryOptions(TAVConvertOptions& options, const TSourceEntry& entry,
                                      bool common_filters) const {
  options.Assign(options_);
  if (entry.own.span) {
    options.SetStartTime(entry.own.span->start);
    options.SetRecordingTime(entry.own.span->recording);
  }
  if (entry.own.filters != nullptr) {
    options.FilterOptions().SetVideoFilters(FilterText(*entry.own.filters));
  } else {
    options.FilterOptions().SetVideoFilters(common_filters ? FilterText(filter_choice_->Filters())
                                                           : std::string());
  }
}

bool TFormNewConversion::EntriesAccepted() {
  for (size_t row = 0; row < entries_.size(); ++row) {
    const TSourceEntry& entry = entries_[row];
    if (EntryProfile(entry) == nullptr) {
      ShowErrorBox(tr("文件的输出配置已被删除: %1").arg(entry.file).toStdString());
      return false;
    }
    const TTimeSpan span =
        entry.own.span.value_or(TTimeSpan{options_.StartTime(), options_.RecordingTime()});
    if (entry.media != nullptr && !SpanFits(span, entry.media->duration)) {
      if (currentId() != kSourcePage) back();
      ShowErrorBox(SpanRefusal(span, entry.file).toStdString());
      return false;
    }
  }
  return true;
}

// The list and the skipped files need room of their own: the wizard grows
// (it never shrinks under the user's hands).
void TFormNewConversion::GrowToContents() {
  if (QWizardPage* source = page(kSourcePage)) source->updateGeometry();
  if (layout() != nullptr) layout()->activate();
  resize(size().expandedTo(sizeHint()));
}

void TFormNewConversion::ShowSkipped() {
  if (skipped_.empty()) {
    lblSkipped->hide();
    return;
  }
  if (lblSkipped->isHidden()) {
    lblSkipped->show();
    GrowToContents();
  }
  QStringList shown;
  QStringList all;
  for (const TSkippedFile& file : skipped_) {
    const QString reason = file.reason == TSkippedFile::NotMedia
                               ? tr("不是媒体文件")
                               : tr("无法读取: %1").arg(Text(file.detail));
    const QString line =
        QStringLiteral("%1 (%2)").arg(QFileInfo(Text(file.path)).fileName(), reason);
    all << Text(file.path) + QStringLiteral(" (") + reason + QLatin1Char(')');
    if (shown.size() < kShownSkipped) shown << line;
  }
  QString text =
      tr("跳过 %1 个文件: %2").arg(skipped_.size()).arg(shown.join(QStringLiteral(", ")));
  if (static_cast<int>(skipped_.size()) > kShownSkipped) text += QStringLiteral(", …");
  lblSkipped->setText(text);
  lblSkipped->setToolTip(all.join(QLatin1Char('\n')));
  lblSkipped->show();
}

// Tracks ------------------------------------------------------------------------------

TTrackChoice TFormNewConversion::TrackChoice() const {
  TTrackChoice choice;
  const QString audio = cbbAudioTrack->currentData(kChoiceRole).toString();
  if (audio == QLatin1String("all")) {
    choice.all_audio = true;
  } else {
    choice.audio = audio.toStdString();
  }
  choice.subtitle = cbbSubtitleTrack->currentData(kChoiceRole).toString().toStdString();
  return choice;
}

// The lists offer the first source's tracks; a choice that is still offered
// stays chosen.
void TFormNewConversion::FillTrackLists() {
  if (cbbAudioTrack == nullptr) return;
  const TProbedMedia* media = entries_.empty() ? nullptr : entries_.front().media.get();
  const QString audio = cbbAudioTrack->currentData(kChoiceRole).toString();
  const QString subtitle = cbbSubtitleTrack->currentData(kChoiceRole).toString();
  const QSignalBlocker audio_blocker(cbbAudioTrack);
  const QSignalBlocker subtitle_blocker(cbbSubtitleTrack);
  for (QComboBox* list : {cbbAudioTrack, cbbSubtitleTrack}) {
    list->clear();
    list->addItem(tr("按配置"), QString());
  }
  if (media != nullptr) {
    for (const TProbedStream& stream : media->streams) {
      QComboBox* list = stream.kind == "audio"      ? cbbAudioTrack
                        : stream.kind == "subtitle" ? cbbSubtitleTrack
                                                    : nullptr;
      if (list != nullptr) list->addItem(TrackCaption(stream), QString::number(stream.track));
    }
    TAVConvertOptions options;
    const TAVProfile* profile = SelectedProfile();
    bool several = false;
    if (profile != nullptr && media->TrackCount("audio") > 1 && !entries_.empty()) {
      options.Assign(options_);
      try {
        PrepareProfileOptions(options, *profile, AVConfiguration());
        several = TargetKeepsSeveralAudioTracks(options, TargetOf(0));
      } catch (const std::exception&) {
      }
    }
    if (several) cbbAudioTrack->addItem(tr("全部音轨"), QStringLiteral("all"));
  }
  cbbAudioTrack->addItem(tr("无"), QStringLiteral("none"));
  cbbSubtitleTrack->addItem(tr("无"), QStringLiteral("none"));
  cbbAudioTrack->setCurrentIndex(std::max(0, cbbAudioTrack->findData(audio, kChoiceRole)));
  cbbSubtitleTrack->setCurrentIndex(std::max(0, cbbSubtitleTrack->findData(subtitle, kChoiceRole)));
}

bool TFormNewConversion::ApplyTracks(std::vector<std::unique_ptr<TConversionSettings>>& settings) {
  const TTrackChoice choice = TrackChoice();
  for (size_t index = 0; index < settings.size() && index < entries_.size(); ++index) {
    TConversionSettings& task = *settings[index];
    try {
      std::shared_ptr<const TProbedMedia> media = entries_[index].media;
      if (media == nullptr && choice.NamesATrack()) {
        media = std::make_shared<const TProbedMedia>(ListMediaStreams(task.SourceFile()));
      }
      if (choice.ChoosesAnything()) {
        ApplyTrackChoice(task.ConvertOptions(), choice, media ? *media : TProbedMedia{},
                         task.TargetFile());
      }
      if (media == nullptr) continue;
      const TSizeEstimate estimate =
          EstimateOutputSize(task.ConvertOptions(), *media, task.TargetFile());
      if (!estimate.known) continue;
      task.SetEstimatedSizeLow(estimate.low);
      task.SetEstimatedSizeHigh(estimate.high);
    } catch (const std::exception& error) {
      ShowErrorBox(tr("无法按所选的音轨和字幕转换 %1: %2")
                       .arg(Text(task.SourceFile()), Text(error.what()))
                       .toStdString());
      return false;
    }
  }
  return true;
}

}  // namespace veltrano::gui
