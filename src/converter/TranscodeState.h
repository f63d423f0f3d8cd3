// The records of one transcode: per input file, per input stream and per
// output stream. Created by transcode setup, shared by the main loop and the
// audio, video and subtitle paths, freed when the transcode ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "converter/AVOptions.h"
#include "converter/FFmpegPtr.h"
#include "converter/RunState.h"

namespace veltrano {

struct TInputFileState {
  bool eof_reached = false;  // the demuxer reported the end or an error
  int ist_index = 0;         // position of the file's first stream in the input stream table
  int nb_streams = 0;        // stream count of the file at setup
};

struct TInputStreamState {
  int file_index = 0;
  int index = 0;                   // stream number inside the file
  AVStream* st = nullptr;
  AVCodecContext* dec = nullptr;   // the stream's decoder context
  bool discard = true;             // until an output stream takes this stream
  bool decoding_needed = false;
  int64_t start = 0;               // wall clock at setup (µs), with RateEmu
  int64_t next_pts = AV_NOPTS_VALUE;  // µs: expected time of the next decoded data
  int64_t pts = 0;                 // µs: time of the data being processed
  bool is_start = true;            // no audio sync correction made yet
  float quality = 0;               // quality of the last decoded picture
  FramePtr frame;                  // decoded frame being processed
};

struct TFileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

struct TOutputStreamState {
  int file_index = 0;
  int index = 0;                   // stream number inside the output file
  int source_index = 0;            // feeding stream in the input stream table
  AVStream* st = nullptr;
  AVCodecContext* enc = nullptr;   // encoder, or the description of a copy
  const AVCodec* codec = nullptr;  // the encoder chosen by output setup
  bool encoding_needed = false;
  int frame_number = 0;            // frames or packets written
  TInputStreamState* sync_ist = nullptr;
  int64_t sync_opts = 0;           // output position in encoder time base units
  float quality = 0;               // fixed-quality scale (lambda units)
  AVRational packet_time_base{0, 1};  // time base of the packets this stream produces
  double position = 0;             // seconds written to the muxer so far
  int64_t muxed_packets = 0;       // packets handed to the muxer
  int64_t last_dts = AV_NOPTS_VALUE;  // decode time of the last packet muxed (stream time base)
  TBitstreamFilterChain* bitstream_filters = nullptr;

  // Video: cropping and scaling happen in the stream's filter graph.
  bool video_crop = false;
  bool video_resample = false;
  int resample_width = 0;
  int resample_height = 0;
  int resample_pix_fmt = -1;
  FilterGraphPtr graph;
  int graph_width = 0;             // decoded picture the graph was built for
  int graph_height = 0;
  int graph_pix_fmt = -1;
  AVFilterContext* buffer_source = nullptr;
  AVFilterContext* buffer_sink = nullptr;
  FramePtr filtered;               // picture taken from the sink

  // Audio: conversion to the encoder's rate, layout and format, and the
  // samples waiting for a full encoder frame.
  bool audio_resample = false;     // sticky once set
  SwrContextPtr resample;
  int resample_in_format = -1;     // decoder format the converter was built for
  int resample_in_rate = 0;
  int resample_in_channels = 0;
  AudioFifoPtr fifo;

  // Two-pass statistics.
  std::unique_ptr<FILE, TFileCloser> logfile;
  std::string stats_path;
};

// The most frames (or packets) an output stream of `type` may write.
int OutputFrameLimit(const TAVConvertOptions& options, AVMediaType type);

// Scales decoded samples by volume/256 (256: unchanged): integers rounded
// towards minus infinity and limited to their range, floats limited to ±1.
void ApplyVolume(AVFrame* frame, int volume);

// Everything a transcode keeps between setup and its end.
struct TTranscodeState {
  std::vector<TInputFileState> files;
  std::vector<std::unique_ptr<TInputStreamState>> input_streams;
  std::vector<std::unique_ptr<TOutputStreamState>> output_streams;
  std::vector<bool> no_packet;     // per input: the demuxer asked to be called again later
  PacketPtr packet;                // the packet just read
  PacketPtr out_packet;            // packets produced by encoders
  FramePtr audio_frame;            // encoder input frames
  std::vector<uint8_t> subtitle_out;
  int64_t last_progress_handover = 0;  // wall clock (µs) of the last OnProgress
};

}  // namespace veltrano
