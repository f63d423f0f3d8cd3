#include "gui/FrameVideoInfo.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>
#include <vector>

#include <fmt/format.h>

#include "converter/AVProfile.h"
#include "converter/NumberText.h"

namespace veltrano::gui {
namespace {

// A row of a group: the caption and the object name of its value label.
struct TValueRow {
  QString caption;
  const char* name;
};

// A group of captioned value labels; the labels are returned in row order.
QGroupBox* ValueGroup(const QString& title, const std::vector<TValueRow>& rows,
                      std::vector<QLabel*>& values, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  auto* form = new QFormLayout(group);
  for (const TValueRow& row : rows) {
    auto* value = new QLabel(group);
    value->setObjectName(QLatin1String(row.name));
    // Wide enough for the longest value shown, a bounded size ("最大 3840x2160").
    value->setMinimumWidth(
        std::max(80, value->fontMetrics().horizontalAdvance(
                         TFrameVideoInfo::tr("最大 %1x%2").arg(3840).arg(2160))));
    form->addRow(row.caption, value);
    values.push_back(value);
  }
  return group;
}

}  // namespace

TFrameVideoInfo::TFrameVideoInfo(QWidget* parent) : QWidget(parent) {
  std::vector<QLabel*> video_values;
  QGroupBox* video = ValueGroup(tr("视频信息"),
                                {{tr("屏幕尺寸"), "lblFrameSize"},
                                 {tr("视频编码"), "lblVideoEncoder"},
                                 {tr("帧率"), "lblFrameRate"},
                                 {tr("码率(kbps)"), "lblVideoBitrate"}},
                                video_values, this);
  lblFrameSize = video_values[0];
  lblVideoEncoder = video_values[1];
  lblFrameRate = video_values[2];
  lblVideoBitrate = video_values[3];
  std::vector<QLabel*> audio_values;
  QGroupBox* audio = ValueGroup(tr("音频信息"),
                                {{tr("采样率"), "lblSampleRate"},
                                 {tr("音频编码"), "lblAudioEncoder"},
                                 {tr("音频声道"), "lblChannels"},
                                 {tr("码率(kbps)"), "lblAudioBitrate"}},
                                audio_values, this);
  lblSampleRate = audio_values[0];
  lblAudioEncoder = audio_values[1];
  lblChannels = audio_values[2];
  lblAudioBitrate = audio_values[3];

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(video);
  layout->addWidget(audio);
}

void TFrameVideoInfo::ShowProfile(const TAVProfile& profile) {
  for (QLabel* label : {lblFrameSize, lblVideoEncoder, lblFrameRate, lblVideoBitrate}) {
    label->clear();
  }
  const QString same = tr("与源相同");
  if (dynamic_cast<const TAVRemuxProfile*>(&profile) != nullptr) {
    // Every stream is copied: nothing changes but the container.
    for (QLabel* label : {lblVideoEncoder, lblAudioEncoder}) label->setText(tr("直接复制"));
    for (QLabel* label : {lblFrameSize, lblFrameRate, lblVideoBitrate, lblSampleRate, lblChannels,
                          lblAudioBitrate}) {
      label->setText(same);
    }
    return;
  }
  if (const auto* audio = dynamic_cast<const TAVCustomAudioProfile*>(&profile)) {
    lblAudioEncoder->setText(QString::fromStdString(audio->AudioEncoderName()));
    switch (audio->AudioChannels()) {
      case TCustomAudioChannels::mono1:
        lblChannels->setText(QStringLiteral("mono"));
        break;
      case TCustomAudioChannels::chOriginal:
        lblChannels->setText(same);
        break;
      default:
        lblChannels->setText(QStringLiteral("stereo"));
        break;
    }
    lblSampleRate->setText(audio->SampleRate() == 0 ? same : QString::number(audio->SampleRate()));
    lblAudioBitrate->setText(
        audio->AudioQuality() >= 0
            ? tr("质量 %1").arg(QString::fromStdString(FloatToText(audio->AudioQuality())))
            : QString::fromStdString(FloatToText(audio->AudioBitrate())));
  }
  if (const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(&profile)) {
    lblVideoEncoder->setText(QString::fromStdString(video->VideoEncoderName()));
    // A profile without a size or rate keeps the source's, within its bounds.
    if (video->FrameWidth() != 0 && video->FrameHeight() != 0) {
      lblFrameSize->setText(
          QString::fromStdString(fmt::format("{}x{}", video->FrameWidth(), video->FrameHeight())));
    } else if (video->MaxFrameWidth() > 0 && video->MaxFrameHeight() > 0) {
      lblFrameSize->setText(
          tr("最大 %1x%2").arg(video->MaxFrameWidth()).arg(video->MaxFrameHeight()));
    } else {
      lblFrameSize->setText(same);
    }
    if (video->VideoFrameRate() > 0) {
      lblFrameRate->setText(QString::fromStdString(fmt::format("{:.2f}", video->VideoFrameRate())));
    } else if (video->MaxFrameRate() > 0) {
      lblFrameRate->setText(tr("最高 %1").arg(video->MaxFrameRate()));
    } else {
      lblFrameRate->setText(same);
    }
    lblVideoBitrate->setText(video->VideoQuality() > 0 ? tr("质量 %1").arg(QString::fromStdString(
                                                             FloatToText(video->VideoQuality())))
                                                       : QString::number(video->VideoBitrate()));
  }
}

}  // namespace veltrano::gui
