// An opened output file: the muxer, its streams with their encoder contexts,
// and the writing side of the packet path (each stream's bitstream filters,
// the repair of decode times that do not increase, the interleaving muxer).
// Output setup (OutputSetup.cpp) creates it, the safe-output code
// (SafeOutputs.cpp) gives it its work file and its final name, and the
// output paths hand it their packets (OutputFile.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "converter/CodecLock.h"
#include "converter/FFmpegPtr.h"
#include "converter/FileIdentity.h"

namespace veltrano {

class TRunContext;

// Bitstream filters applied in order to every packet of one output stream.
using TBitstreamFilterChain = std::vector<BsfContextPtr>;

// What the output file keeps of one of its streams on the writing side.
struct TMuxedStream {
  TBitstreamFilterChain filters;
  int64_t last_dts = AV_NOPTS_VALUE;  // decode time of the last packet muxed (stream time base)
  double position = 0;                // seconds written to the muxer so far
  int64_t packets = 0;                // packets handed to the muxer
};

struct TOutputFile {
  std::string name;       // the target as the caller named it
  std::string work_name;  // what the muxer writes until the run ends ("<name>.<tag>.part")
  int index = 0;          // place among the job's outputs
  bool sequence = false;  // numbered pictures, written into the folder work_file
  bool header_written = false;
  // What the run created for the output: the work file (or folder of
  // pictures), its device and inode, and the folders made for it.
  std::string work_file;
  bool work_created = false;
  TFileIdentity work_identity;
  std::vector<std::string> created_folders;
  OutputFormatPtr ctx;
  // Holds on the libraries of encoders that need one (CodecLock.h); declared
  // before the encoders so that they are released after them.
  std::vector<TEncoderLease> encoder_leases;
  std::vector<CodecContextPtr> encoders;
  std::vector<const AVCodec*> codecs;  // the encoder chosen per stream (none when copied)
  std::vector<bool> stream_copy;
  std::vector<float> quality;            // fixed-quality scale per stream (lambda units)
  std::vector<TMuxedStream> muxed;       // per stream: its filters and what was muxed
  Dictionary muxer_options;              // private muxer options handed over with the header
  std::vector<int64_t> packets_written;  // per stream, once the trailer is written
  const TRunContext* context = nullptr;  // the log of the run that writes it

  // Readies the bitstream filters of `stream`, whose packets come in
  // `packet_time_base`, and sets the stream's time base to what they give.
  void InitBitstreamFilters(int stream, AVRational packet_time_base);
  // Writes the header; `private_options` are the options no generic class
  // knows, of which the muxer takes its own (muxrate, ...).
  void WriteHeader(const std::vector<std::pair<std::string, std::string>>& private_options);
  // Passes `pkt` (timestamps in `time_base`) through the stream's filters to
  // the interleaving muxer, which takes its reference; `pkt` is blank after.
  void WritePacket(int stream, AVPacket* pkt, AVRational time_base);
  // Writes the trailer of a file whose header was written, and flushes it.
  void WriteTrailer();

 private:
  void FilterAndMux(int stream, size_t filter, AVPacket* pkt, AVRational time_base);
  void Mux(int stream, AVPacket* pkt, AVRational time_base);
  void KeepDecodeTimesIncreasing(int stream, AVPacket* pkt);
};

// A new audio or video stream of an output, as setup creates it.
struct TEncodedStream {
  AVStream* stream;
  AVCodecContext* context;
  const AVCodec* encoder;  // none for a copied stream
  AVCodecID codec_id;      // AV_CODEC_ID_NONE for a copied stream
};

}  // namespace veltrano
