#include "gui/FormNewConversionParts.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

#include "converter/AVLib.h"
#include "converter/AVProfile.h"
#include "converter/MessageBoxes.h"
#include "gui/AVPreviewWidget.h"
#include "gui/FilterDialogs.h"
#include "gui/FormEditProfile.h"
#include "gui/FormNewConversion.h"
#include "gui/Icons.h"
#include "gui/Language.h"
#include "gui/TimeBar.h"

namespace veltrano::gui {
namespace {

constexpr int kProfileRole = Qt::UserRole;
// The category as stored in the profiles (the shown caption may be translated).
constexpr int kCategoryRole = Qt::UserRole;
// The preview's length may be a millisecond off the probe's.
constexpr double kSpanSlackSeconds = 0.001;

QComboBox* DropDown(const char* name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QLatin1String(name));
  return list;
}

QLabel* TimeLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("00:00:00"), parent);
  label->setObjectName(QLatin1String(name));
  return label;
}

// Whole seconds, rounded half to even, as "%d:%d:%d".
QString TimeText(double seconds) {
  return QString::fromStdString(SecondsToClockText(static_cast<int64_t>(std::nearbyint(seconds))));
}

// "1:05:09".
QString ClockText(int64_t microseconds) {
  const int64_t whole = microseconds / 1000000;
  return QStringLiteral("%1:%2:%3")
      .arg(whole / 3600)
      .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

TFilterList CopyFilters(const TFilterList& filters) {
  TFilterList copies;
  for (const auto& filter : filters) copies.push_back(filter->Clone());
  return copies;
}

std::string FilterText(const TFilterList& filters) {
  TStrings entries;
  for (const auto& filter : filters) entries.push_back(filter->GetFilterString());
  return JoinFilterEntries(entries);
}

TTimeSpan WholeSource() {
  return {0, MaxInt64};
}

bool SpanFits(const TTimeSpan& span, double seconds) {
  if (seconds <= 0) return true;
  const double start = static_cast<double>(span.start) / 1e6;
  if (start >= seconds) return false;
  if (span.recording == MaxInt64) return true;
  return start + static_cast<double>(span.recording) / 1e6 <= seconds + kSpanSlackSeconds;
}

QString SpanText(const TTimeSpan& span) {
  const QString end = span.recording == MaxInt64 ? TFormNewConversion::tr("结尾")
                                                 : ClockText(span.start + span.recording);
  return ClockText(span.start) + QStringLiteral(" – ") + end;
}

QString SpanRefusal(const TTimeSpan& span, const QString& file) {
  return TFormNewConversion::tr("时间段 %1 超出了文件的长度: %2").arg(SpanText(span), file);
}

QString WithExtension(const QString& target, const std::string& extension) {
  QString changed = target;
  const qsizetype name_start = changed.lastIndexOf(QLatin1Char('/')) + 1;
  const qsizetype dot = changed.lastIndexOf(QLatin1Char('.'));
  if (dot >= name_start) changed.truncate(dot);
  return changed + QString::fromStdString(extension);
}

// Profiles ----------------------------------------------------------------------------

TProfileChoice::TProfileChoice(TAVProfileList& profiles, QWidget* parent)
    : QWidget(parent), profiles_(profiles) {
  cbbCategory = DropDown("cbbCategory", this);
  cbbProfile = DropDown("cbbProfile", this);
  cbbProfile->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cbbProfile->setMinimumContentsLength(24);
  actEditProfile =
      new QAction(Icon(TIcon::Properties), TFormNewConversion::tr("编辑配置文件"), this);
  actEditProfile->setObjectName(QStringLiteral("actEditProfile"));
  auto* btnEditProfile = new QToolButton(this);
  btnEditProfile->setDefaultAction(actEditProfile);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(cbbCategory);
  row->addWidget(cbbProfile, 1);
  row->addWidget(btnEditProfile);
  for (const std::string& caption : profiles_.Categories()) {
    cbbCategory->addItem(CategoryCaption(caption), QString::fromStdString(caption));
  }
  cbbCategory->setCurrentIndex(0);
  CategoryChosen();
  connect(cbbCategory, &QComboBox::currentIndexChanged, this, &TProfileChoice::CategoryChosen);
  connect(cbbProfile, &QComboBox::currentIndexChanged, this, [this] {
    UpdateStates();
    emit Chosen();
  });
  connect(actEditProfile, &QAction::triggered, this, &TProfileChoice::EditCurrent);
}

TAVProfile* TProfileChoice::Selected() const {
  if (cbbProfile->currentIndex() < 0) return nullptr;
  return profiles_.FindHandle(cbbProfile->currentData(kProfileRole).toULongLong());
}

void TProfileChoice::CategoryChosen() {
  {
    const QSignalBlocker blocker(cbbProfile);
    cbbProfile->clear();
    for (TAVProfile* profile : profiles_.ProfilesOfCategory(
             cbbCategory->currentData(kCategoryRole).toString().toStdString())) {
      cbbProfile->addItem(QString::fromStdString(profile->Description()),
                          QVariant::fromValue(static_cast<qulonglong>(profile->Handle())));
    }
    cbbProfile->setCurrentIndex(cbbProfile->count() > 0 ? 0 : -1);
  }
  UpdateStates();
  emit Chosen();
}

void TProfileChoice::EditCurrent() {
  auto* current = dynamic_cast<TAVCustomAudioProfile*>(Selected());
  if (current == nullptr) return;
  const uint64_t handle = current->Handle();
  TAVProfile* chosen = EditProfile(profiles_, current, window());
  // Without a profile handed back the list keeps its own, if it still exists.
  if (chosen == nullptr) chosen = profiles_.FindHandle(handle);
  Select(chosen);
}

void TProfileChoice::Select(TAVProfile* profile) {
  if (profile != nullptr) {
    const int category = cbbCategory->findData(QString::fromStdString(profile->Category()),
                                               kCategoryRole, Qt::MatchFixedString);
    const QSignalBlocker blocker(cbbCategory);
    if (category >= 0) cbbCategory->setCurrentIndex(category);
  }
  CategoryChosen();
  if (profile == nullptr) return;
  const int index = cbbProfile->findData(
      QVariant::fromValue(static_cast<qulonglong>(profile->Handle())), kProfileRole);
  if (index < 0) return;
  {
    const QSignalBlocker blocker(cbbProfile);
    cbbProfile->setCurrentIndex(index);
  }
  UpdateStates();
  emit Chosen();
}

void TProfileChoice::UpdateStates() {
  actEditProfile->setEnabled(dynamic_cast<TAVCustomAudioProfile*>(Selected()) != nullptr);
}

// Time span ---------------------------------------------------------------------------

TSpanChoice::TSpanChoice(QWidget* parent, bool captioned) : QWidget(parent) {
  AVPreview = new TAVPreviewWidget(this);
  AVPreview->setObjectName(QStringLiteral("AVPreview"));
  AVPreview->setFixedSize(176, 132);
  connect(AVPreview, &TAVPreviewWidget::Opened, this, &TSpanChoice::PreviewOpened);
  barTime = new TTimeBar(this);
  barTime->setObjectName(QStringLiteral("barTime"));
  connect(barTime, &QSlider::valueChanged, this, &TSpanChoice::TimeBarMoved);
  lblDuration = TimeLabel("lblDuration", this);
  lblStart = TimeLabel("lblStart", this);
  lblEnd = TimeLabel("lblEnd", this);
  btnStart = new QPushButton(TFormNewConversion::tr("设置开始点"), this);
  btnStart->setObjectName(QStringLiteral("btnStart"));
  btnEnd = new QPushButton(TFormNewConversion::tr("设置结束点"), this);
  btnEnd->setObjectName(QStringLiteral("btnEnd"));
  connect(btnStart, &QPushButton::clicked, this, &TSpanChoice::SetStartPoint);
  connect(btnEnd, &QPushButton::clicked, this, &TSpanChoice::SetEndPoint);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  if (captioned) {
    grid->addWidget(new QLabel(TFormNewConversion::tr("时间设置:"), this), 0, 0, Qt::AlignTop);
  }
  grid->addWidget(AVPreview, 0, 1, 1, 4);
  grid->addWidget(barTime, 1, 1, 1, 3);
  grid->addWidget(lblDuration, 1, 4);
  grid->addWidget(btnStart, 2, 1);
  grid->addWidget(lblStart, 2, 2);
  grid->addWidget(btnEnd, 2, 3);
  grid->addWidget(lblEnd, 2, 4);
  grid->setColumnStretch(5, 1);
  UpdateStates();
}

TTimeSpan TSpanChoice::Span() const {
  const int64_t start = static_cast<int64_t>(barTime->SelStart()) * 1000;
  if (barTime->SelEnd() <= 0) return {start, MaxInt64};
  return {start, (static_cast<int64_t>(barTime->SelEnd()) - barTime->SelStart()) * 1000};
}

void TSpanChoice::SetSpan(const TTimeSpan& span) {
  const int start_ms = static_cast<int>(span.start / 1000);
  const int end_ms =
      span.recording == MaxInt64 ? 0 : static_cast<int>((span.start + span.recording) / 1000);
  barTime->SetSelStart(start_ms);
  barTime->SetSelEnd(end_ms);
  lblStart->setText(start_ms > 0 ? TimeText(start_ms / 1000.0) : QStringLiteral("00:00:00"));
  lblEnd->setText(end_ms > 0 ? TimeText(end_ms / 1000.0) : QStringLiteral("00:00:00"));
}

void TSpanChoice::ClearSource() {
  barTime->setValue(0);
  lblDuration->setText(QStringLiteral("00:00:00"));
}

void TSpanChoice::UpdateStates() {
  const bool previewing = AVPreview->Active();
  for (QWidget* control : std::initializer_list<QWidget*>{barTime, btnStart, btnEnd}) {
    control->setEnabled(previewing);
  }
}

void TSpanChoice::PreviewOpened() {
  UpdateStates();
  if (!AVPreview->Active()) return;
  lblDuration->setText(TimeText(AVPreview->Duration()));
  barTime->setMaximum(static_cast<int>(AVPreview->Duration() * 1000.0));
}

void TSpanChoice::TimeBarMoved(int position_ms) {
  if (AVPreview->Active()) AVPreview->SetTimestamp(position_ms / 1000.0);
}

// A span must end after it starts: a point that would turn it round is
// refused, with the reason, and the span stays as it was.
void TSpanChoice::SetStartPoint() {
  const int position = barTime->value();
  if (barTime->SelEnd() > 0 && position >= barTime->SelEnd()) {
    ShowErrorBox(TFormNewConversion::tr("开始点必须早于结束点").toStdString());
    return;
  }
  barTime->SetSelStart(position);
  lblStart->setText(TimeText(position / 1000.0));
  emit Changed();
}

void TSpanChoice::SetEndPoint() {
  const int position = barTime->value();
  if (position <= barTime->SelStart()) {
    ShowErrorBox(TFormNewConversion::tr("结束点必须晚于开始点").toStdString());
    return;
  }
  barTime->SetSelEnd(position);
  lblEnd->setText(TimeText(position / 1000.0));
  emit Changed();
}

// Filters -----------------------------------------------------------------------------

TFilterChoice::TFilterChoice(QWidget* parent) : QWidget(parent) {
  auto* toolbar = new QToolBar(this);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  auto* menu = new QMenu(this);
  auto add_kind = [this, menu](const QString& caption, auto make) {
    connect(menu->addAction(caption), &QAction::triggered, this,
            [this, make] { AddFilter(make()); });
  };
  add_kind(TFormNewConversion::tr("新建标准水印"),
           [] { return std::unique_ptr<TAVFilter>(new TVideoStdFilter); });
  add_kind(TFormNewConversion::tr("新建Logo水印"),
           [] { return std::unique_ptr<TAVFilter>(new TLogoFilter); });
  add_kind(TFormNewConversion::tr("新建文字水印"),
           [] { return std::unique_ptr<TAVFilter>(new TOverlayTextFilter); });
  add_kind(TFormNewConversion::tr("新建字幕"),
           [] { return std::unique_ptr<TAVFilter>(new TSubtitleFilter); });
  auto* btnNewFilter = new QToolButton(toolbar);
  btnNewFilter->setObjectName(QStringLiteral("btnNewFilter"));
  btnNewFilter->setText(TFormNewConversion::tr("新建"));
  btnNewFilter->setIcon(Icon(TIcon::NewItem));
  btnNewFilter->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  btnNewFilter->setPopupMode(QToolButton::InstantPopup);
  btnNewFilter->setMenu(menu);
  toolbar->addWidget(btnNewFilter);
  actEditFilter =
      toolbar->addAction(Icon(TIcon::Properties), TFormNewConversion::tr("编辑水印配置"));
  actEditFilter->setObjectName(QStringLiteral("actEditFilter"));
  actDeleteFilter = toolbar->addAction(Icon(TIcon::Delete), TFormNewConversion::tr("删除"));
  actDeleteFilter->setObjectName(QStringLiteral("actDeleteFilter"));
  connect(actEditFilter, &QAction::triggered, this, &TFilterChoice::EditFilter);
  connect(actDeleteFilter, &QAction::triggered, this, &TFilterChoice::DeleteFilter);

  lstFilters = new QListWidget(this);
  lstFilters->setObjectName(QStringLiteral("lstFilters"));
  connect(lstFilters, &QListWidget::itemDoubleClicked, this, &TFilterChoice::EditFilter);
  connect(lstFilters, &QListWidget::itemSelectionChanged, this, &TFilterChoice::UpdateStates);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(toolbar);
  layout->addWidget(lstFilters);
  UpdateStates();
}

void TFilterChoice::SetFilters(TFilterList filters) {
  lstFilters->clear();
  filters_ = std::move(filters);
  for (const auto& filter : filters_) {
    lstFilters->addItem(QString::fromStdString(filter->GetDisplayName()));
  }
  UpdateStates();
}

void TFilterChoice::AddFilter(std::unique_ptr<TAVFilter> filter) {
  if (!ExecuteNew(*filter, window())) return;  // the filter is discarded
  lstFilters->addItem(QString::fromStdString(filter->GetDisplayName()));
  filters_.push_back(std::move(filter));
}

void TFilterChoice::EditFilter() {
  const QListWidgetItem* item = lstFilters->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  ExecuteEdit(*filters_[lstFilters->row(item)], window());
}

void TFilterChoice::DeleteFilter() {
  QListWidgetItem* item = lstFilters->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  const int row = lstFilters->row(item);
  delete item;
  filters_.erase(filters_.begin() + row);
  UpdateStates();
}

void TFilterChoice::UpdateStates() {
  const bool selected =
      lstFilters->currentItem() != nullptr && lstFilters->currentItem()->isSelected();
  actEditFilter->setEnabled(selected);
  actDeleteFilter->setEnabled(selected);
}

}  // namespace veltrano::gui
