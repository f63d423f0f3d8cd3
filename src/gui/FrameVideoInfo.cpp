#include "gui/FrameVideoInfo.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include <fmt/format.h>

#include "converter/AVProfile.h"
#include "converter/NumberText.h"

namespace veltrano::gui {
namespace {

QLabel* ValueLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  label->setMinimumWidth(80);
  return label;
}

}  // namespace

TFrameVideoInfo::TFrameVideoInfo(QWidget* parent) : QWidget(parent) {
  auto* video = new QGroupBox(tr("视频信息"), this);
  auto* video_rows = new QFormLayout(video);
  lblFrameSize = ValueLabel("lblFrameSize", video);
  lblVideoEncoder = ValueLabel("lblVideoEncoder", video);
  lblFrameRate = ValueLabel("lblFrameRate", video);
  lblVideoBitrate = ValueLabel("lblVideoBitrate", video);
  video_rows->addRow(tr("屏幕尺寸"), lblFrameSize);
  video_rows->addRow(tr("视频编码"), lblVideoEncoder);
  video_rows->addRow(tr("帧率"), lblFrameRate);
  video_rows->addRow(tr("码率(kbps)"), lblVideoBitrate);

  auto* audio = new QGroupBox(tr("音频信息"), this);
  auto* audio_rows = new QFormLayout(audio);
  lblSampleRate = ValueLabel("lblSampleRate", audio);
  lblAudioEncoder = ValueLabel("lblAudioEncoder", audio);
  lblChannels = ValueLabel("lblChannels", audio);
  lblAudioBitrate = ValueLabel("lblAudioBitrate", audio);
  audio_rows->addRow(tr("采样率"), lblSampleRate);
  audio_rows->addRow(tr("音频编码"), lblAudioEncoder);
  audio_rows->addRow(tr("音频声道"), lblChannels);
  audio_rows->addRow(tr("码率(kbps)"), lblAudioBitrate);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(video);
  layout->addWidget(audio);
}

void TFrameVideoInfo::ShowProfile(const TAVProfile& profile) {
  for (QLabel* label : {lblFrameSize, lblVideoEncoder, lblFrameRate, lblVideoBitrate}) {
    label->clear();
  }
  if (const auto* audio = dynamic_cast<const TAVCustomAudioProfile*>(&profile)) {
    lblAudioEncoder->setText(QString::fromStdString(audio->AudioEncoderName()));
    lblChannels->setText(audio->AudioChannels() == TCustomAudioChannels::mono1
                             ? QStringLiteral("mono")
                             : QStringLiteral("stereo"));
    lblSampleRate->setText(QString::number(audio->SampleRate()));
    lblAudioBitrate->setText(QString::fromStdString(FloatToText(audio->AudioBitrate())));
  }
  if (const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(&profile)) {
    lblVideoEncoder->setText(QString::fromStdString(video->VideoEncoderName()));
    lblFrameSize->setText(
        QString::fromStdString(fmt::format("{}x{}", video->FrameWidth(), video->FrameHeight())));
    lblFrameRate->setText(QString::fromStdString(fmt::format("{:.2f}", video->VideoFrameRate())));
    lblVideoBitrate->setText(QString::number(video->VideoBitrate()));
  }
}

}  // namespace veltrano::gui
