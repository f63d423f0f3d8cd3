#include "gui/FrameProfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "converter/AVProfile.h"
#include "converter/DeviceProfiles.h"
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

// The entry of `list` whose data is `value`; none when no entry has it.
void SelectData(QComboBox* list, const QVariant& value) {
  list->setCurrentIndex(list->findData(value));
}

// A list whose first entry, `none`, stands for `none_value` and whose other
// entries carry their own text as their value.
QComboBox* ValueList(const char* name, const QString& none, const QVariant& none_value,
                     const QStringList& values, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QLatin1String(name));
  list->addItem(none, none_value);
  for (const QString& value : values) list->addItem(value, value);
  return list;
}

QString SizeText(int width, int height) {
  return QStringLiteral("%1x%2").arg(width).arg(height);
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
      List("cbbSampleRate",
           {"8000", "16000", "22050", "32000", "41000", "44100", "48000", "Original"}, audio);
  cbbAudioEncoder = List("cbbAudioEncoder", FromStd(AudioEncoderNames()), audio);
  cbbChannels = List("cbbChannels", {"mono", "stereo", "original"}, audio);
  cbbAudioBitrate =
      List("cbbAudioBitrate",
           {"12.2", "32", "64", "80", "96", "112", "128", "160", "192", "224", "448"}, audio);
  auto* audio_rows = new QFormLayout(audio);
  audio_rows->addRow(tr("取样率"), cbbSampleRate);
  audio_rows->addRow(tr("音频编码"), cbbAudioEncoder);
  audio_rows->addRow(tr("音频声道"), cbbChannels);
  audio_rows->addRow(tr("声频码率(kbps)"), cbbAudioBitrate);
  cbbAudioQuality = ValueList("cbbAudioQuality", tr("按码率"), -1.0,
                              {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, audio);
  audio_rows->addRow(tr("音频质量 (VBR)"), cbbAudioQuality);

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
  cbbVideoQuality =
      ValueList("cbbVideoQuality", tr("按码率"), 0.0,
                {"16", "18", "20", "22", "23", "24", "26", "28", "30", "32", "35", "40"}, grpVideo);
  cbbMaxSize = ValueList("cbbMaxSize", tr("不限"), QString(),
                         {"3840x2160", "2560x1440", "1920x1080", "1280x720", "854x480", "640x360"},
                         grpVideo);
  cbbMaxFrameRate =
      ValueList("cbbMaxFrameRate", tr("不限"), 0, {"24", "25", "30", "50", "60"}, grpVideo);
  video_rows->addRow(tr("质量 (CRF)"), cbbVideoQuality);
  video_rows->addRow(tr("最大尺寸"), cbbMaxSize);
  video_rows->addRow(tr("最高帧率"), cbbMaxFrameRate);

  auto* general = new QFormLayout;
  general->addRow(tr("详细描述"), edtDescript);
  general->addRow(tr("文件后缀"), edtExtension);
  general->addRow(tr("文件格式"), cbbFormat);
  cbbDevice = new QComboBox(this);
  cbbDevice->setObjectName(QStringLiteral("cbbDevice"));
  cbbDevice->addItem(tr("无"), QString());
  for (const TDeviceCapabilities& device : DeviceTable()) {
    cbbDevice->addItem(QString::fromStdString(device.id), QString::fromStdString(device.id));
  }
  cbbDevice->setToolTip(tr("直接复制已符合该设备的流, 并在转换后检查设备能否播放"));
  chkKeepAllTracks = new QCheckBox(tr("保留所有音轨和字幕"), this);
  chkKeepAllTracks->setObjectName(QStringLiteral("chkKeepAllTracks"));
  general->addRow(tr("目标设备"), cbbDevice);
  general->addRow(QString(), chkKeepAllTracks);
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
  connect(chkKeepAllTracks, &QCheckBox::toggled, this, &TFrameProfile::ControlChanged);
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
    SelectData(cbbVideoQuality,
               video->VideoQuality() > 0
                   ? QVariant(QString::fromStdString(FloatToText(video->VideoQuality())))
                   : QVariant(0.0));
    SelectData(cbbMaxSize, video->MaxFrameWidth() > 0 && video->MaxFrameHeight() > 0
                               ? SizeText(video->MaxFrameWidth(), video->MaxFrameHeight())
                               : QString());
    SelectData(cbbMaxFrameRate, video->MaxFrameRate() > 0
                                    ? QVariant(QString::number(video->MaxFrameRate()))
                                    : QVariant(0));
  } else {
    for (QComboBox* list : {cbbFrameSize, cbbVideoEncoder, cbbFrameRate, cbbVideoBitrate,
                            cbbVideoQuality, cbbMaxSize, cbbMaxFrameRate}) {
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
    chkKeepAllTracks->setChecked(false);
  }
  for (QWidget* control : std::initializer_list<QWidget*>{
           edtDescript, edtExtension, cbbFormat, cbbSampleRate, cbbAudioEncoder, cbbChannels,
           cbbAudioBitrate, cbbDevice, chkKeepAllTracks, cbbAudioQuality}) {
    control->setEnabled(profile != nullptr);
  }
  suppress_changes_ = false;
}

void TFrameProfile::ShowAudio(const TAVCustomAudioProfile& profile) {
  SelectOrdinal(cbbAudioEncoder, static_cast<int>(profile.AudioEncoder()));
  SelectOrdinal(cbbChannels, static_cast<int>(profile.AudioChannels()));
  SelectText(cbbAudioBitrate, QString::fromStdString(FloatToText(profile.AudioBitrate())));
  SelectText(cbbSampleRate, profile.SampleRate() == 0 ? QStringLiteral("Original")
                                                      : QString::number(profile.SampleRate()));
  edtDescript->setText(QString::fromStdString(profile.Description()));
  edtExtension->setText(QString::fromStdString(profile.Extension()));
  SelectOrdinal(cbbFormat, static_cast<int>(profile.Format()));
  ShowModern(profile);
}

void TFrameProfile::ShowModern(const TAVCustomAudioProfile& profile) {
  SelectData(cbbDevice, QString::fromStdString(profile.Device()));
  chkKeepAllTracks->setChecked(profile.KeepAllTracks());
  SelectData(cbbAudioQuality,
             profile.AudioQuality() >= 0
                 ? QVariant(QString::fromStdString(FloatToText(profile.AudioQuality())))
                 : QVariant(-1.0));
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
  StoreModern(p);
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
  if (Selected(cbbVideoQuality)) video->SetVideoQuality(cbbVideoQuality->currentData().toDouble());
  if (Selected(cbbMaxSize)) {
    const QStringList sides = cbbMaxSize->currentData().toString().split(QLatin1Char('x'));
    video->SetMaxFrameWidth(sides.size() == 2 ? sides[0].toInt() : 0);
    video->SetMaxFrameHeight(sides.size() == 2 ? sides[1].toInt() : 0);
  }
  if (Selected(cbbMaxFrameRate)) video->SetMaxFrameRate(cbbMaxFrameRate->currentData().toInt());
}

void TFrameProfile::StoreModern(TAVCustomAudioProfile& profile) const {
  if (Selected(cbbDevice)) profile.SetDevice(cbbDevice->currentData().toString().toStdString());
  profile.SetKeepAllTracks(chkKeepAllTracks->isChecked());
  if (Selected(cbbAudioQuality)) profile.SetAudioQuality(cbbAudioQuality->currentData().toDouble());
}

}  // namespace veltrano::gui
