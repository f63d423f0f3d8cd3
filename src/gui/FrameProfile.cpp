#include "gui/FrameProfile.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "converter/AVProfile.h"
#include "converter/NumberText.h"

namespace veltrano::gui {
namespace {

QComboBox* List(const char* name, const QStringList& entries, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QLatin1String(name));
  list->addItems(entries);
  return list;
}

QStringList FromStd(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
}

// Selects entry `ordinal` of `list`; none when it lies outside the list.
void SelectOrdinal(QComboBox* list, int ordinal) {
  list->setCurrentIndex(ordinal >= 0 && ordinal < list->count() ? ordinal : -1);
}

void SelectText(QComboBox* list, const QString& text) {
  list->setCurrentIndex(list->findText(text));
}

bool Selected(const QComboBox* list) {
  return list->currentIndex() >= 0;
}

}  // namespace

const QStringList& FrameSizeLabels() {
  // clang-format off
  static const QStringList labels{
      "Original",        "ntsc(720x480)",    "pal(720x576)",      "352x240",
      "240x240)",        "368x208",          "spal(768x576)",     "720x406",
      "480x320",         "sqcif(128x96)",    "qcif(176x144)",     "cif(352x288)",
      "4cif(704x576)",   "16cif(1408x1152)", "qqvga(160x120)",    "qvga(320x240)",
      "vga(640x480)",    "svga(800x600)",    "xga(1024x768)",     "uxga(1600x1200)",
      "qxga(2048x1536)", "sxga(1280x1024)",  "qsxga(2560x2048)",  "hsxga(5120x4096)",
      "wvga(852x480)",   "wxga(1366x768)",   "wsxga(1600x1024)",  "wuxga(1920x1200)",
      "woxga(2560x1600)", "wqsxga(3200x2048)", "wquxga(3840x2400)", "whsxga(6400x4096)",
      "whuxga(7680x4800)", "cga(320x200)",   "ega(640x350)",      "hd480(852x480)",
      "hd720(1280x720)", "hd1080(1920x1080)", "1440x1080"};
  // clang-format on
  return labels;
}

TFrameProfile::TFrameProfile(QWidget* parent) : QWidget(parent) {
  edtDescript = new QLineEdit(this);
  edtDescript->setObjectName(QStringLiteral("edtDescript"));
  edtExtension = new QLineEdit(this);
  edtExtension->setObjectName(QStringLiteral("edtExtension"));
  cbbFormat = List("cbbFormat",
                   {"NONE", "RM", "MP4", "ASF", "AVI", "3GP", "3GP2", "FLV", "MOV", "PSP", "IPOD",
                    "SVCD", "VCD", "VOB", "DVD", "WEBM", "AC3"},
                   this);

  auto* audio = new QGroupBox(tr("音频设置"), this);
  cbbSampleRate =
      List("cbbSampleRate", {"8000", "16000", "22050", "32000", "41000", "44100", "48000"}, audio);
  cbbAudioEncoder = List("cbbAudioEncoder", FromStd(AudioEncoderNames()), audio);
  cbbChannels = List("cbbChannels", {"mono", "stereo"}, audio);
  cbbAudioBitrate =
      List("cbbAudioBitrate",
           {"12.2", "32", "64", "80", "96", "112", "128", "160", "192", "224", "448"}, audio);
  auto* audio_rows = new QFormLayout(audio);
  audio_rows->addRow(tr("取样率"), cbbSampleRate);
  audio_rows->addRow(tr("音频编码"), cbbAudioEncoder);
  audio_rows->addRow(tr("音频声道"), cbbChannels);
  audio_rows->addRow(tr("声频码率(kbps)"), cbbAudioBitrate);

  grpVideo = new QGroupBox(tr("视频设置"), this);
  cbbFrameSize = List("cbbFrameSize", FrameSizeLabels(), grpVideo);
  cbbVideoEncoder = List("cbbVideoEncoder", FromStd(VideoEncoderNames()), grpVideo);
  cbbFrameRate = List("cbbFrameRate", FromStd(FrameRateLabels()), grpVideo);
  cbbVideoBitrate = List(
      "cbbVideoBitrate",
      {"128",  "192",  "256",  "384",  "512",  "640",  "768",  "900",  "1000",  "1200",  "1500",
       "1800", "2000", "2500", "3000", "4000", "5000", "6000", "8000", "12000", "15000", "35000"},
      grpVideo);
  auto* video_rows = new QFormLayout(grpVideo);
  video_rows->addRow(tr("尺寸"), cbbFrameSize);
  video_rows->addRow(tr("视频编码"), cbbVideoEncoder);
  video_rows->addRow(tr("帧率"), cbbFrameRate);
  video_rows->addRow(tr("视频码率(kbps)"), cbbVideoBitrate);

  auto* general = new QFormLayout;
  general->addRow(tr("详细描述"), edtDescript);
  general->addRow(tr("文件后缀"), edtExtension);
  general->addRow(tr("文件格式"), cbbFormat);
  auto* groups = new QHBoxLayout;
  groups->addWidget(audio);
  groups->addWidget(grpVideo);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(general);
  layout->addLayout(groups);
  layout->addStretch();

  for (QComboBox* list : findChildren<QComboBox*>()) {
    connect(list, &QComboBox::currentIndexChanged, this, &TFrameProfile::ControlChanged);
  }
  for (QLineEdit* edit : {edtDescript, edtExtension}) {
    connect(edit, &QLineEdit::textChanged, this, &TFrameProfile::ControlChanged);
  }
  connect(edtDescript, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!suppress_changes_ && profile_ != nullptr) emit DescriptionChanged(text);
  });
  SetProfile(nullptr);
}

void TFrameProfile::SetProfile(TAVCustomAudioProfile* profile) {
  profile_ = profile;
  suppress_changes_ = true;
  const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(profile);
  if (video != nullptr) {
    SelectOrdinal(cbbFrameSize, static_cast<int>(video->FrameSize()));
    SelectOrdinal(cbbVideoEncoder, static_cast<int>(video->VideoEncoder()));
    SelectOrdinal(cbbFrameRate, static_cast<int>(video->FrameRate()));
    SelectText(cbbVideoBitrate, QString::number(video->VideoBitrate()));
  } else {
    for (QComboBox* list : {cbbFrameSize, cbbVideoEncoder, cbbFrameRate, cbbVideoBitrate}) {
      list->setCurrentIndex(-1);
    }
  }
  grpVideo->setEnabled(video != nullptr);
  if (profile != nullptr) {
    ShowAudio(*profile);
  } else {
    for (QComboBox* list : findChildren<QComboBox*>()) list->setCurrentIndex(-1);
    edtDescript->clear();
    edtExtension->clear();
  }
  for (QWidget* control :
       std::initializer_list<QWidget*>{edtDescript, edtExtension, cbbFormat, cbbSampleRate,
                                       cbbAudioEncoder, cbbChannels, cbbAudioBitrate}) {
    control->setEnabled(profile != nullptr);
  }
  suppress_changes_ = false;
}

void TFrameProfile::ShowAudio(const TAVCustomAudioProfile& profile) {
  SelectOrdinal(cbbAudioEncoder, static_cast<int>(profile.AudioEncoder()));
  SelectOrdinal(cbbChannels, static_cast<int>(profile.AudioChannels()));
  SelectText(cbbAudioBitrate, QString::fromStdString(FloatToText(profile.AudioBitrate())));
  SelectText(cbbSampleRate, QString::number(profile.SampleRate()));
  edtDescript->setText(QString::fromStdString(profile.Description()));
  edtExtension->setText(QString::fromStdString(profile.Extension()));
  SelectOrdinal(cbbFormat, static_cast<int>(profile.Format()));
}

void TFrameProfile::ControlChanged() {
  if (suppress_changes_ || profile_ == nullptr) return;
  TAVCustomAudioProfile& p = *profile_;
  if (Selected(cbbSampleRate)) p.SetSampleRate(cbbSampleRate->currentText().toInt());
  if (Selected(cbbAudioEncoder)) {
    p.SetAudioEncoder(static_cast<TCustomAudioEncoder>(cbbAudioEncoder->currentIndex()));
  }
  if (Selected(cbbChannels)) {
    p.SetAudioChannels(static_cast<TCustomAudioChannels>(cbbChannels->currentIndex()));
  }
  if (Selected(cbbAudioBitrate)) {
    p.SetAudioBitrate(TextToFloat(cbbAudioBitrate->currentText().toStdString()).value_or(0));
  }
  if (Selected(cbbFormat)) p.SetFormat(static_cast<TCustomAVFormat>(cbbFormat->currentIndex()));
  p.SetExtension(edtExtension->text().trimmed().toStdString());
  p.SetDescription(edtDescript->text().trimmed().toStdString());
  auto* video = dynamic_cast<TAVCustomVideoProfile*>(profile_);
  if (video == nullptr) return;
  if (Selected(cbbFrameSize)) {
    const TFrameDimensions size =
        FrameSizeDimensions(static_cast<TAVFrameSize>(cbbFrameSize->currentIndex()));
    video->SetFrameWidth(size.width);
    video->SetFrameHeight(size.height);
  }
  if (Selected(cbbVideoEncoder)) {
    video->SetVideoEncoder(static_cast<TCustomVideoEncoder>(cbbVideoEncoder->currentIndex()));
  }
  if (Selected(cbbFrameRate)) {
    video->SetFrameRate(static_cast<TCustomFrameRate>(cbbFrameRate->currentIndex()));
  }
  if (Selected(cbbVideoBitrate)) video->SetVideoBitrate(cbbVideoBitrate->currentText().toInt());
}

}  // namespace veltrano::gui
