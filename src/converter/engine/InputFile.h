// An opened input file: the demuxer, a decoder context per stream, and from
// transcode setup on the records of its streams and its reading state. Input
// opening (InputOpening.cpp) creates it; the main loop asks it for the next
// packet and has it decode (InputFile.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "converter/AVOptions.h"
#include "converter/FFmpegPtr.h"
#include "converter/StreamProtocol.h"

namespace veltrano {

class TRunContext;

// One stream of an input as the transcode reads it: its clock and the frame
// its decoder gives.
struct TInputStreamState {
  int file_index = 0;
  int index = 0;  // stream number inside the file
  AVStream* st = nullptr;
  AVCodecContext* dec = nullptr;  // the stream's decoder context
  bool discard = true;            // until an output stream takes this stream
  bool decoding_needed = false;
  int64_t start = 0;                  // wall clock at setup (µs), with RateEmu
  int64_t next_pts = AV_NOPTS_VALUE;  // µs: expected time of the next decoded data
  int64_t pts = 0;                    // µs: time of the data being processed
  bool is_start = true;               // no audio sync correction made yet
  float quality = 0;                  // quality of the last decoded picture
  FramePtr frame;                     // decoded frame being processed
};

// What decoding gives the paths: a picture or samples, or a subtitle with the
// presentation time of its packet (in the stream's time base). All empty: the
// stream's decoding has ended, and what a path still holds may go on.
struct TDecoded {
  AVFrame* frame = nullptr;
  AVSubtitle* subtitle = nullptr;
  int64_t packet_pts = AV_NOPTS_VALUE;
};

// The duration of one frame of a video stream (µs): the packet's when it has
// one (pkt may be nullptr), else from the stream's frame rate; 0 if unknown.
int64_t VideoFrameDuration(const TInputStreamState& ist, const AVPacket* pkt);

// Scales decoded samples by volume/256 (256: unchanged): integers rounded
// towards minus infinity and limited to their range, floats limited to ±1.
void ApplyVolume(AVFrame* frame, int volume);

struct TInputFile {
  std::string name;                      // as the job names it; empty for a generated input
  std::unique_ptr<TStreamIO> stream_io;  // byte stream of a "stream:N" input; outlives ctx
  InputFormatPtr ctx;
  std::vector<CodecContextPtr> decoders;  // per stream, opened only if some output decodes it
  // Packets seen per stream at the start of the input; the automatic stream
  // choice prefers the busiest of several streams of one kind.
  std::vector<int64_t> analysis_frames;
  // Bytes the input had when it was opened (-1: unknown); a file that has
  // fewer at its end was cut short while it was read.
  int64_t size_at_open = -1;
  // Made by the run (a silent track a container needs), not one of the job's
  // inputs: it has no name of its own and ends when the job's inputs end.
  bool generated = false;
  int64_t ts_offset = 0;         // µs added to every timestamp (less the jumps taken out)
  std::vector<double> ts_scale;  // per stream; 0: none

  // From transcode setup on: the records of the streams the file had then,
  // their place in the transcode's table, and how the reading goes.
  std::vector<std::unique_ptr<TInputStreamState>> streams;
  int first_stream = 0;
  bool eof_reached = false;  // the demuxer reported the end of the input
  bool no_packet = false;    // the demuxer asked to be called again later

  enum class TRead { Packet, NotYet, Ended };
  // Reads the next packet into `pkt`. NotYet: the demuxer has none yet (sets
  // no_packet); Ended: the real end of the input (sets eof_reached). Any
  // other failure, or an end before the bytes the file had when it was
  // opened, throws with the file's name and the reason.
  TRead ReadPacket(AVPacket* pkt);
  // The record of the stream of `pkt`; nullptr for a stream that appeared
  // after setup or that no output takes.
  TInputStreamState* StreamOf(const AVPacket* pkt) const;
  // Adds the file's offset and the stream's scale to the packet's times, and
  // takes jumps of a format with discontinuities out of them.
  void CorrectTimestamps(TInputStreamState& ist, AVPacket* pkt, const TAVConvertOptions& options);
  // Advances the stream's clock over a packet that is copied, not decoded.
  void AdvanceCopied(TInputStreamState& ist, const AVPacket* pkt) const;
  // Decodes `pkt` (nullptr: the end of the stream, which drains the decoder)
  // and hands each picture, block of samples or subtitle to `use`, with the
  // stream's clock at its time. -1 when decoding failed.
  int Decode(TInputStreamState& ist, const AVPacket* pkt, const TRunContext& context,
             const std::function<void(TDecoded&)>& use) const;

 private:
  int DecodeVideo(TInputStreamState& ist, const AVPacket* pkt, const TRunContext& context,
                  const std::function<void(TDecoded&)>& use) const;
  int DecodeAudio(TInputStreamState& ist, const AVPacket* pkt, const TRunContext& context,
                  const std::function<void(TDecoded&)>& use) const;
  int DecodeSubtitle(TInputStreamState& ist, const AVPacket* pkt,
                     const std::function<void(TDecoded&)>& use) const;
};

}  // namespace veltrano
