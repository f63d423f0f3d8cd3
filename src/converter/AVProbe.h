// TAVProbe: opens a media file, reads its stream information and exposes the
// parameters of its first video stream and its first audio stream.
//
// Use: set FileName, set Active to true, read HasVideo/HasAudio and the
// parameters; failures arrive as EAVError from SetActive. The parameters keep
// their values until the next successful activation overwrites them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/FFmpegPtr.h"
#include "converter/Persistent.h"

namespace veltrano {

// One stream of a media file, as listed for people and scripts.
struct TProbedStream {
  int index = 0;         // the stream's index in the file
  int track = 0;         // its number among the streams of its kind, from 1
  std::string kind;      // "video", "audio", "subtitle", "data" or "attachment"
  std::string codec;     // the codec's short name
  int codec_id = 0;      // the library's AVCodecID
  std::string language;  // from the stream's metadata; empty when none
  std::string title;
  int channels = 0;     // audio
  int sample_rate = 0;  // audio, Hz
  int width = 0;        // video
  int height = 0;
  double frame_rate = 0;  // video, frames per second; 0 when unknown
  int64_t bit_rate = 0;   // bit/s; 0 when unknown
  bool is_default = false;
};

// A media file's container and every stream in it.
struct TProbedMedia {
  std::string container;       // the demuxer's name ("mov,mp4,m4a,3gp,3g2,mj2")
  std::string container_long;  // its long name
  double duration = 0;         // seconds; 0 when unknown
  int64_t bit_rate = 0;        // bit/s; 0 when unknown
  std::vector<TProbedStream> streams;

  // The `track`th stream of `kind` (from 1); nullptr when there is none.
  const TProbedStream* Track(const std::string& kind, int track) const;
  int TrackCount(const std::string& kind) const;
};

// How far ListMediaStreams reads.
enum class TProbeDepth {
  // On until every stream's parameters are known: this decodes a few
  // pictures of each video stream (for a minute of 1080p H.264, a quarter of
  // the CPU that copying all of it into another container takes).
  Full,
  // What the container's header declares (kinds, codecs, sizes as far as
  // written there); on as Full only for a container without a header or
  // whose header declares no stream. Enough to tell media from other files.
  Header,
};

// Opens `name` (a file or a "stream:N" name, which it consumes) and lists
// its container and streams. Throws EAVError carrying the library's reason
// ("Invalid data found when processing input") when it cannot be read.
TProbedMedia ListMediaStreams(const std::string& name, TProbeDepth depth = TProbeDepth::Full);

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
