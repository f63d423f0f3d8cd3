#include "gui/FrameVideoInfo.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

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
    value->setMinimumWidth(80);
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
    // A profile without a size or rate keeps the source's.
    lblFrameSize->setText(video->FrameWidth() == 0 || video->FrameHeight() == 0
                              ? tr("与源相同")
                              : QString::fromStdString(fmt::format("{}x{}", video->FrameWidth(),
                                                                   video->FrameHeight())));
    lblFrameRate->setText(video->VideoFrameRate() <= 0 ? tr("与源相同")
                                                       : QString::fromStdString(fmt::format(
                                                             "{:.2f}", video->VideoFrameRate())));
    lblVideoBitrate->setText(QString::number(video->VideoBitrate()));
  }
}

}  // namespace veltrano::gui
