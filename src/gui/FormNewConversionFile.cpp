#include "gui/FormNewConversionFile.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "converter/AVProfile.h"
#include "converter/MessageBoxes.h"
#include "gui/AVPreviewWidget.h"
#include "gui/DialogParts.h"

namespace veltrano::gui {
namespace {

QGroupBox* PartBox(const QString& caption, const char* name, bool own, QWidget* part,
                   QWidget* parent) {
  auto* box = new QGroupBox(caption, parent);
  box->setObjectName(QLatin1String(name));
  box->setCheckable(true);
  box->setChecked(own);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(part);
  return box;
}

}  // namespace

TFormFileSettings::TFormFileSettings(TAVProfileList& profiles, std::vector<TFile> files,
                                     const TOwnSettings& own, TAVProfile* common_profile,
                                     const TTimeSpan& common_span,
                                     const TFilterList& common_filters, QWidget* parent)
    : QDialog(parent), files_(std::move(files)) {
  setWindowTitle(tr("为所选文件设置"));
  lblFiles = new QLabel(this);
  lblFiles->setObjectName(QStringLiteral("lblFiles"));
  lblFiles->setWordWrap(true);
  QStringList names;
  for (const TFile& file : files_) names << QFileInfo(file.path).fileName();
  lblFiles->setText(
      files_.size() > 1
          ? tr("%1 个文件: %2").arg(files_.size()).arg(names.join(QStringLiteral(", ")))
          : names.value(0));
  lblFiles->setToolTip(names.join(QLatin1Char('\n')));

  profile_ = new TProfileChoice(profiles, this);
  TAVProfile* own_profile = own.profile ? profiles.FindHandle(*own.profile) : nullptr;
  profile_->Select(own_profile != nullptr ? own_profile : common_profile);
  span_ = new TSpanChoice(this, false);
  span_->SetSpan(own.span.value_or(common_span));
  if (!files_.empty()) span_->Preview()->Open(files_.front().path.toStdString());
  filters_ = new TFilterChoice(this);
  filters_->SetFilters(CopyFilters(own.filters != nullptr ? *own.filters : common_filters));
  filters_->setMinimumHeight(120);

  grpProfile = PartBox(tr("自己的输出配置"), "grpProfile", own.profile.has_value(), profile_, this);
  grpSpan = PartBox(tr("自己的时间段"), "grpSpan", own.span.has_value(), span_, this);
  grpFilters = PartBox(tr("自己的滤镜"), "grpFilters", own.filters != nullptr, filters_, this);
  auto* hint = new QLabel(tr("未勾选的部分使用向导中的统一设置。"), this);
  hint->setWordWrap(true);

  ok_ = new QPushButton(tr("确定"), this);
  ok_->setObjectName(QStringLiteral("btnOk"));
  connect(ok_, &QPushButton::clicked, this, &TFormFileSettings::accept);
  auto* cancel = new QPushButton(tr("放弃"), this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblFiles);
  layout->addWidget(grpProfile);
  layout->addWidget(grpSpan);
  layout->addWidget(grpFilters, 1);
  layout->addWidget(hint);
  layout->addWidget(NewButtonRow(*this, ok_, cancel));
}

TFormFileSettings::~TFormFileSettings() = default;

TOwnSettings TFormFileSettings::Settings() const {
  TOwnSettings settings;
  if (grpProfile->isChecked() && profile_->Selected() != nullptr) {
    settings.profile = profile_->Selected()->Handle();
  }
  if (grpSpan->isChecked()) settings.span = span_->Span();
  if (grpFilters->isChecked()) {
    settings.filters = std::make_shared<const TFilterList>(CopyFilters(filters_->Filters()));
  }
  return settings;
}

// A ticked profile box needs a profile; a span of its own must fit each file.
void TFormFileSettings::accept() {
  if (grpProfile->isChecked() && profile_->Selected() == nullptr) {
    ShowErrorBox(tr("请选择输出配置").toStdString());
    return;
  }
  if (grpSpan->isChecked()) {
    const TTimeSpan span = span_->Span();
    for (const TFile& file : files_) {
      if (SpanFits(span, file.seconds)) continue;
      ShowErrorBox(SpanRefusal(span, file.path).toStdString());
      return;
    }
  }
  QDialog::accept();
}

}  // namespace veltrano::gui
