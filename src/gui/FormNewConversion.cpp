#include "gui/FormNewConversion.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "common/CFilters.h"
#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "common/TargetNames.h"
#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/AVProfile.h"
#include "converter/MessageBoxes.h"
#include "converter/SafeOutputs.h"
#include "gui/AVPreviewWidget.h"
#include "gui/BackgroundWork.h"
#include "gui/DialogParts.h"
#include "gui/DvdComboBox.h"
#include "gui/FileNameEdit.h"
#include "gui/FormEditProfile.h"
#include "gui/FrameVideoInfo.h"
#include "gui/Icons.h"
#include "gui/Language.h"
#include "gui/TimeBar.h"

namespace veltrano::gui {

// Page 1: complete (next and finish enabled) while the wizard says so.
class TSourcePage : public QWizardPage {
 public:
  explicit TSourcePage(std::function<bool()> complete) : complete_(std::move(complete)) {}
  bool isComplete() const override { return complete_(); }
  // Tells the wizard when the answer has changed.
  void Refresh() {
    const bool now = isComplete();
    if (now == last_) return;
    last_ = now;
    emit completeChanged();
  }

 private:
  std::function<bool()> complete_;
  bool last_ = false;
};

namespace {

// The refresh interval of the enabled states.
constexpr int kUpdateIntervalMs = 300;

QComboBox* DropDown(const char* name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QLatin1String(name));
  return list;
}

}  // namespace

TFormNewConversion::TFormNewConversion(TAVProfileList& profiles,
                                       std::vector<std::string> reserved_targets, QWidget* parent)
    : QWizard(parent), profiles_(profiles), reserved_targets_(std::move(reserved_targets)) {
  LoadMediaLibraries();
  setWindowTitle(tr("转换向导： 先选择\"输入文件\"  再设置\"输出配置\"   最后点\"开始转换\""));
  setWizardStyle(QWizard::ClassicStyle);
  setOptions(QWizard::HaveFinishButtonOnEarlyPages | QWizard::NoBackButtonOnStartPage);
  setButtonText(QWizard::BackButton, tr("< 返回"));
  setButtonText(QWizard::NextButton, tr("更多选项 >"));
  setButtonText(QWizard::FinishButton, tr("开始转换(&S)"));
  setButtonText(QWizard::CancelButton, tr("放弃"));
  work_ = new TBackgroundWork(this);
  setPage(kSourcePage, CreateSourcePage());
  setPage(kFilterPage, CreateFilterPage());

  tabSource->setCurrentIndex(0);
  output_folder_ = AVConfiguration().OutputFolder();
  options_.SetRecordingTime(MaxInt64);
  ProfileChosen();
  edtSource->setFocus();

  tmrUpdate = new QTimer(this);
  tmrUpdate->setInterval(kUpdateIntervalMs);
  connect(tmrUpdate, &QTimer::timeout, this, &TFormNewConversion::UpdateStates);
  tmrUpdate->start();
  UpdateStates();
}

TFormNewConversion::~TFormNewConversion() = default;

// Creation --------------------------------------------------------------------------

TSourcePage* TFormNewConversion::CreateSourcePage() {
  page_source_ = new TSourcePage([this] {
    return !work_->Busy() && SourceIsValid() && !edtSavePath->FileName().trimmed().isEmpty() &&
           SelectedProfile() != nullptr;
  });
  page_source_->setTitle(tr("选择要转的文件"));
  page_source_->setFinalPage(true);

  tabSource = new QTabWidget(page_source_);
  tabSource->setObjectName(QStringLiteral("tabSource"));
  tabSource->addTab(CreateFileTab(), tr("视频文件"));
  tabDvd = CreateDvdTab();
  tabSource->addTab(tabDvd, tr("Dvd"));
  connect(tabSource, &QTabWidget::currentChanged, this, &TFormNewConversion::SourceChanged);

  profile_choice_ = new TProfileChoice(profiles_, page_source_);
  connect(profile_choice_, &TProfileChoice::Chosen, this, &TFormNewConversion::ProfileChosen);

  edtSavePath = new TFileNameEdit(page_source_);
  edtSavePath->setObjectName(QStringLiteral("edtSavePath"));
  edtSavePath->SetKind(TFileNameEdit::TKind::SaveFile);
  edtSavePath->EnableCompletion();

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(tr("输出配置:"), page_source_), 0, 0);
  grid->addWidget(profile_choice_, 0, 1);
  grid->addWidget(new QLabel(tr("保存路径:"), page_source_), 1, 0);
  grid->addWidget(edtSavePath, 1, 1);
  lblEstimate = new QLabel(page_source_);
  lblEstimate->setObjectName(QStringLiteral("lblEstimate"));
  grid->addWidget(lblEstimate, 2, 1);
  connect(edtSavePath, &TFileNameEdit::FileNameChanged, this, [this] {
    ProposeListTargets();
    RefreshSourceList();
  });

  frmVideoInfo = new TFrameVideoInfo(page_source_);
  frmVideoInfo->setObjectName(QStringLiteral("frmVideoInfo"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(frmVideoInfo, 0, Qt::AlignTop);
  span_choice_ = new TSpanChoice(page_source_, true);
  AVPreview = span_choice_->Preview();
  connect(span_choice_, &TSpanChoice::Changed, this, &TFormNewConversion::SpanChosen);
  bottom->addWidget(span_choice_, 1);

  // Shown while files are probed or a DVD is scanned.
  lblBusy = new QLabel(page_source_);
  lblBusy->setObjectName(QStringLiteral("lblBusy"));
  barBusy = new QProgressBar(page_source_);
  barBusy->setObjectName(QStringLiteral("barBusy"));
  barBusy->setRange(0, 0);
  barBusy->setTextVisible(false);
  barBusy->setMaximumHeight(lblBusy->sizeHint().height());
  lblBusy->hide();
  barBusy->hide();
  connect(work_, &TBackgroundWork::BusyChanged, this, &TFormNewConversion::BusyChanged);
  auto* busy_row = new QHBoxLayout;
  busy_row->addWidget(lblBusy);
  busy_row->addWidget(barBusy, 1);

  auto* layout = new QVBoxLayout(page_source_);
  layout->addWidget(tabSource);
  layout->addLayout(busy_row);
  layout->addLayout(grid);
  layout->addLayout(bottom);
  return page_source_;
}

QWidget* TFormNewConversion::CreateFileTab() {
  auto* tab = new QWidget;
  edtSource = new TFileNameEdit(tab);
  edtSource->setObjectName(QStringLiteral("edtSource"));
  edtSource->SetKind(TFileNameEdit::TKind::OpenFiles);
  edtSource->SetReadOnly(true);
  edtSource->SetTakesChoice(false);
  edtSource->SetFilter(
      QStringLiteral("Video Files(*.flv;*.wmv;*.mp4;*.avi;*.mkv;*.mpg;*.mpeg;*.mov)|"
                     "*.flv;*.wmv;*.mp4;*.avi;*.mkv;*.mpg;*.mpeg;*.mov|"
                     "Picture Files(*.bmp;*.jpg;*.gif;*.tiff;*.png)|*.bmp;*.jpg;*.gif;*.tiff;*.png|"
                     "Audio Files (*.wav;*.mp3)|*.wav;*.mp3|All Files(*.*)|*.*"));
  connect(edtSource, &TFileNameEdit::FilesChosen, this,
          [this](const QStringList& names) { ChooseSources(names); });
  connect(edtSource, &TFileNameEdit::FileNameChanged, this, &TFormNewConversion::SourceChanged);
  lblFileCount = new QLabel(tab);
  lblFileCount->setObjectName(QStringLiteral("lblFileCount"));
  lblFileCount->hide();
  btnAddFolder = new QPushButton(tr("添加文件夹…"), tab);
  btnAddFolder->setObjectName(QStringLiteral("btnAddFolder"));
  connect(btnAddFolder, &QPushButton::clicked, this, &TFormNewConversion::ChooseFolder);
  auto* grid = new QGridLayout(tab);
  grid->addWidget(new QLabel(tr("输入文件:"), tab), 0, 0);
  grid->addWidget(edtSource, 0, 1);
  grid->addWidget(btnAddFolder, 0, 2);
  grid->addWidget(lblFileCount, 0, 3);
  grid->addWidget(CreateSourceList(tab), 1, 0, 1, 4);
  grid->addWidget(CreateTrackChoice(tab), 2, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 1);  // the list of sources, when there are several
  return tab;
}

QWidget* TFormNewConversion::CreateDvdTab() {
  auto* tab = new QWidget;
  FCbbDvd = new TDvdCombo(tab);
  connect(FCbbDvd, &TDvdCombo::Selected, this, &TFormNewConversion::DvdSelected);
  auto* btnOpenDvd = new QPushButton(tr("打开DVD文件夹或映像…"), tab);
  btnOpenDvd->setObjectName(QStringLiteral("btnOpenDvd"));
  connect(btnOpenDvd, &QPushButton::clicked, this, &TFormNewConversion::OpenDvdSource);
  cbbTitle = DropDown("cbbTitle", tab);
  cbbAngle = DropDown("cbbAngle", tab);
  cbbChapter = DropDown("cbbChapter", tab);
  cbbThrough = DropDown("cbbThrough", tab);
  for (QComboBox* list : {cbbAngle, cbbChapter, cbbThrough}) list->setEnabled(false);
  connect(cbbTitle, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) TitleChosen();
  });
  auto* grid = new QGridLayout(tab);
  grid->addWidget(new QLabel(tr("光驱:"), tab), 0, 0);
  grid->addWidget(FCbbDvd, 0, 1, 1, 3);
  grid->addWidget(btnOpenDvd, 0, 4, 1, 2);
  grid->addWidget(new QLabel(tr("标题:"), tab), 1, 0);
  grid->addWidget(cbbTitle, 1, 1);
  grid->addWidget(new QLabel(tr("拍摄角度:"), tab), 1, 2);
  grid->addWidget(cbbAngle, 1, 3);
  grid->addWidget(new QLabel(tr("开始节:"), tab), 2, 0);
  grid->addWidget(cbbChapter, 2, 1);
  grid->addWidget(new QLabel(tr("终了节:"), tab), 2, 2);
  grid->addWidget(cbbThrough, 2, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return tab;
}

QWizardPage* TFormNewConversion::CreateFilterPage() {
  auto* page = new QWizardPage;
  page->setTitle(tr("更多设置..."));
  // A leftover switch of the filter page: checked, hidden, without effect.
  auto* chkFilterPreview = new QCheckBox(QStringLiteral("Filter Preview"), page);
  chkFilterPreview->setChecked(true);
  chkFilterPreview->hide();
  filter_choice_ = new TFilterChoice(page);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(filter_choice_);
  return page;
}

// Profiles ----------------------------------------------------------------------------

TAVProfile* TFormNewConversion::SelectedProfile() const {
  return profile_choice_->Selected();
}

TAVProfile* TFormNewConversion::CurrentProfile() const {
  TAVProfile* profile = SelectedProfile();
  VEL_ASSERT(profile != nullptr);
  return profile;
}

void TFormNewConversion::ProfileChosen() {
  const TAVProfile* profile = SelectedProfile();
  if (profile == nullptr) return;
  frmVideoInfo->ShowProfile(*profile);
  FollowProfile();
  ProposeListTargets();
  FillTrackLists();
  RefreshSourceList();
}

// The target field follows the extension of the first file's profile.
void TFormNewConversion::FollowProfile() {
  const QString target = edtSavePath->FileName();
  if (target.trimmed().isEmpty()) return;
  if (target == proposed_target_ && SourceIsValid()) {
    ProposeTarget();
    return;
  }
  edtSavePath->SetFileName(WithExtension(target, ProfileExtension(0)));
}

// Finishing ---------------------------------------------------------------------------

// Each target is refused when it is a source or another unfinished task's
// target (or an earlier one of this batch); an existing file is replaced
// only when the user says so (`overwrite`, one per target). A refusal
// returns to the target field.
bool TFormNewConversion::TargetsAccepted(std::vector<bool>& overwrite) {
  std::vector<std::string> sources;
  if (DvdTabShown()) {
    sources.push_back(CurrentTitle().dvd);
  } else {
    for (const QString& source : sources_) sources.push_back(source.toStdString());
  }
  const size_t count = DvdTabShown() ? 1 : std::max<size_t>(1, entries_.size());
  std::vector<std::string> reserved = reserved_targets_;
  overwrite.assign(count, false);
  for (size_t index = 0; index < count; ++index) {
    const std::string target = TargetOf(index);
    bool replace = false;
    if (!TargetAccepted(target, sources, reserved, replace)) {
      if (currentId() != kSourcePage) back();
      edtSavePath->setFocus();
      return false;
    }
    overwrite[index] = replace;
    reserved.push_back(target);
  }
  return true;
}

bool TFormNewConversion::TargetAccepted(const std::string& target,
                                        const std::vector<std::string>& sources,
                                        const std::vector<std::string>& reserved, bool& overwrite) {
  const QString name = QString::fromStdString(target);
  switch (CheckNewTarget(target, sources, reserved).problem) {
    case TTargetCheck::IsSource:
      ShowErrorBox(tr("输出文件与源文件相同: %1").arg(name).toStdString());
      return false;
    case TTargetCheck::Reserved:
      ShowErrorBox(tr("另一个未完成的任务已在写这个目标文件: %1").arg(name).toStdString());
      return false;
    case TTargetCheck::Exists:
      // With several targets the question names the file it is about.
      overwrite = AskWarning((sources.size() > 1
                                  ? tr("目标文件已存在，是否替换？") + QLatin1Char('\n') + name
                                  : tr("目标文件已存在，是否替换？"))
                                 .toStdString());
      return overwrite;
    case TTargetCheck::None:
      return true;
  }
  return false;
}

bool TFormNewConversion::Busy() const {
  return work_->Busy();
}

void TFormNewConversion::ShowBusy(const QString& what) {
  lblBusy->setText(what);
}

void TFormNewConversion::BusyChanged() {
  const bool busy = work_->Busy();
  lblBusy->setVisible(busy);
  barBusy->setVisible(busy);
  if (busy) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
  page_source_->Refresh();
}

void TFormNewConversion::accept() {
  if (scanning_ || Busy() || SelectedProfile() == nullptr) return;
  std::vector<bool> overwrite;
  if (!TargetsAccepted(overwrite)) return;
  if (!DvdTabShown() && !EntriesAccepted()) return;
  try {
    // Finishing on page 1 does not apply the filters for all files, even
    // when page 2 holds some (a file's own filters apply).
    settings_ = BuildConversionSettings(currentId() == kFilterPage);
    // The user allowed these tasks to replace the files under their targets.
    for (size_t index = 0; index < settings_.size() && index < overwrite.size(); ++index) {
      settings_[index]->SetOverwrite(overwrite[index]);
    }
  } catch (const std::exception& error) {
    settings_.clear();
    ShowErrorBox(error.what());
    return;
  }
  if (!DvdTabShown() && !ApplyTracks(settings_)) {
    settings_.clear();
    return;
  }
  QWizard::accept();
}

void TFormNewConversion::reject() {
  if (scanning_) return;
  QWizard::reject();
}

void TFormNewConversion::closeEvent(QCloseEvent* event) {
  if (scanning_) {
    event->ignore();
    return;
  }
  QWizard::closeEvent(event);
}

void TFormNewConversion::showEvent(QShowEvent* event) {
  QWizard::showEvent(event);
  GrowToContents();
  CenterOnScreen(*this);
}

std::vector<std::unique_ptr<TConversionSettings>> TFormNewConversion::TakeConversionSettings() {
  return std::move(settings_);
}

std::unique_ptr<TConversionSettings> TFormNewConversion::NewSettings(
    const std::string& source, const std::string& target, const TAVProfile& profile,
    TAVConvertOptions& options) const {
  PrepareProfileOptions(options, profile, AVConfiguration());
  auto settings = std::make_unique<TConversionSettings>();
  settings->SetSourceFile(source);
  settings->SetTargetFile(target);
  settings->SetProfile(profile.Description());
  settings->SetCategoryId(1);
  settings->SetConvertOptions(options);
  return settings;
}

std::vector<std::unique_ptr<TConversionSettings>> TFormNewConversion::BuildConversionSettings(
    bool common_filters) {
  AVPreview->Close();
  std::vector<std::unique_ptr<TConversionSettings>> result;
  if (DvdTabShown()) {
    TAVConvertOptions options;
    options.Assign(options_);
    options.FilterOptions().SetVideoFilters(common_filters ? FilterText(filter_choice_->Filters())
                                                           : std::string());
    auto settings = NewSettings(SourceName(), TargetOf(0), *CurrentProfile(), options);
    settings->SetSourceType(TAVSourceType::stDvd);
    settings->SetDvdDriver(CurrentTitle().dvd);
    settings->SetDvdTitle(CurrentTitle().index);
    settings->SetDvdChapter(cbbChapter->currentText().toInt());
    settings->SetDvdThrough(cbbThrough->currentText().toInt());
    settings->SetDvdAngle(cbbAngle->currentText().toInt());
    settings->SetDvdVolume(title_label_);
    result.push_back(std::move(settings));
    return result;
  }
  for (size_t index = 0; index < entries_.size(); ++index) {
    const TSourceEntry& entry = entries_[index];
    TAVConvertOptions options;
    EntryOptions(options, entry, common_filters);
    result.push_back(
        NewSettings(entry.file.toStdString(), TargetOf(index), *EntryProfile(entry), options));
  }
  return result;
}

void TFormNewConversion::UpdateStates() {
  page_source_->Refresh();
  span_choice_->UpdateStates();
  profile_choice_->UpdateStates();
  filter_choice_->UpdateStates();
  const std::vector<size_t> rows = SelectedRows();
  actOwnSettings->setEnabled(!rows.empty() && !Busy());
  actCommonSettings->setEnabled(std::any_of(
      rows.begin(), rows.end(), [this](size_t row) { return entries_[row].own.Any(); }));
}

}  // namespace veltrano::gui
