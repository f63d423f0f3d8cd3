// TAVProbe: opens a media file, reads its stream information and exposes the
// parameters of its first video stream and its first audio stream.
//
// Use: set FileName, set Active to true, read HasVideo/HasAudio and the
// parameters; failures arrive as EAVError from SetActive. The parameters keep
// their values until the next successful activation overwrites them.
#pragma once

#include <string>

#include "converter/FFmpegPtr.h"
#include "converter/Persistent.h"

namespace veltrano {

class TAVProbe : public TPersistent {
 public:
  TAVProbe() = default;
  ~TAVProbe() override;
  TAVProbe(const TAVProbe&) = delete;
  TAVProbe& operator=(const TAVProbe&) = delete;

  const char* ClassName() const override { return "TAVProbe"; }
  // Active and FileName, then the read-only parameters (no setter).
  const TPropList& Properties() const override;

  bool Active() const { return FActive; }
  // True opens FileName, false closes it. Activation does nothing while no
  // file of that name exists.
  void SetActive(bool value);
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& value) { FFileName = value; }

  const std::string& VideoEncoderName() const { return FVideoEncoderName; }
  const std::string& AudioEncoderName() const { return FAudioEncoderName; }
  int VideoWidth() const { return FVideoWidth; }
  int VideoHeight() const { return FVideoHeight; }
  double VideoFrameRate() const { return FVideoFrameRate; }
  int SampleRate() const { return FSampleRate; }
  int Channels() const { return FChannels; }
  int VideoBitrate() const { return FVideoBitrate; }
  int AudioBitrate() const { return FAudioBitrate; }
  bool HasVideo() const { return FHasVideo; }
  bool HasAudio() const { return FHasAudio; }

 private:
  void Open();
  void Close();
  void ReadStream(int index);

  std::string FFileName;
  bool FActive = false;
  InputFormatPtr fmt_ctx;
  // The decoders of the streams read; open until the input is closed.
  CodecContextPtr video_decoder_;
  CodecContextPtr audio_decoder_;
  bool FHasAudio = false;
  bool FHasVideo = false;
  std::string FAudioEncoderName;
  std::string FVideoEncoderName;
  int FVideoWidth = 0;
  int FVideoHeight = 0;
  int FSampleRate = 0;
  int FChannels = 0;
  int FAudioBitrate = 0;
  int FVideoBitrate = 0;
  double FVideoFrameRate = 0;
};

}  // namespace veltrano
