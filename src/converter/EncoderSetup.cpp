// Opening the encoders of a transcode: their options, the rate limits they
// accept, and the two-pass statistics they write or read.
//
// Decoders and encoders of different conversions run in parallel; the few
// external encoder libraries whose opening rewrites state that running
// encoders read are opened under their CodecLock (CodecLock.h).
#include <fmt/printf.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
}

#include "converter/AVError.h"
#include "converter/LegacyOptions.h"
#include "converter/StreamPlan.h"
#include "engine/ConverterEngine.h"
#include "engine/OutputChoices.h"
#include "engine/OutputPath.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"
#include "engine/TwoPassFolder.h"

namespace veltrano {
void TConverterEngine::PrepareTwoPass(TOutputStreamState& ost) {
  const int n = OutputStreamNumber(ost);
  AVCodecContext* c = ost.enc;
  const bool first = (c->flags & AV_CODEC_FLAG_PASS1) != 0;
  const std::string& output = FOutputFiles[ost.file_index];
  const std::filesystem::path folder =
      first ? TwoPassFolderForPass1(output) : TwoPassFolderForPass2(output);
  ost.two_pass.stats_path = (folder / fmt::sprintf("ffmpeg2pass-%d.log", n)).string();
  if (first) {
    ost.two_pass.logfile.reset(std::fopen(ost.two_pass.stats_path.c_str(), "wb"));
    if (!ost.two_pass.logfile) {
      throw EAVError(WithReason("Cannot write log file '" + ost.two_pass.stats_path + "'", "",
                                SystemErrorText(errno)));
    }
  } else {
    // Pass 2 reads what pass 1 left; it never makes the folder itself.
    std::ifstream in(ost.two_pass.stats_path, std::ios::binary);
    if (!in) throw EAVError("Cannot read log file '" + ost.two_pass.stats_path + "' for pass 2");
    std::stringstream text;
    text << in.rdbuf();
    if (!ost.two_pass.stats_in.Set(c, text.str())) throw EAVError("Could not allocate log buffer");
  }
}

// After a completed pass 2 the statistics have served: the files it read go,
// and their folder with them when nothing else is in it.
void TConverterEngine::RemoveTwoPassFolders() const {
  std::vector<std::vector<std::string>> read(FOutputFiles.size());
  for (const auto& ost : run_->transcode->output_streams) {
    if (ost->encoding_needed && (ost->enc->flags & AV_CODEC_FLAG_PASS2) &&
        !ost->two_pass.stats_path.empty()) {
      read[ost->file_index].push_back(ost->two_pass.stats_path);
    }
  }
  for (size_t n = 0; n < read.size(); ++n) {
    if (!read[n].empty()) ReleaseTwoPassFolder(FOutputFiles[n], read[n]);
  }
}

int TConverterEngine::OutputStreamNumber(const TOutputStreamState& ost) const {
  const auto& streams = run_->transcode->output_streams;
  for (size_t i = 0; i < streams.size(); ++i) {
    if (streams[i] == &ost) return static_cast<int>(i);
  }
  return -1;
}

void TConverterEngine::OpenEncoders() {
  TTranscodeState& t = *run_->transcode;
  std::set<std::string> taken;
  for (auto& path : t.paths) {
    TOutputStreamState* const ost = &path->Stream();
    if (!ost->encoding_needed) continue;
    const AVCodec* codec =
        ost->codec != nullptr ? ost->codec : avcodec_find_encoder(ost->enc->codec_id);
    if (codec == nullptr) {
      throw EAVError(WithReason(
          fmt::format("Unsupported codec for output stream #{}:{} of", ost->file_index, ost->index),
          FOutputFiles[ost->file_index],
          fmt::format("no encoder for {}", avcodec_get_name(ost->enc->codec_id))));
    }
    ReconcileRateLimits(*ost->enc);
    Dictionary options = EncoderOptions(*ost, codec);
    const Dictionary offered = options;
    const int opened = OpenEncoder(*ost, codec, options);
    if (opened < 0) {
      throw EAVError(fmt::format(
          "Error while opening codec for output stream #{}:{} - maybe incorrect parameters such as "
          "bit_rate, rate, width or height ({})",
          ost->file_index, ost->index, AvErrorText(opened)));
    }
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(offered.raw(), "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
      if (options.Get(e->key) == nullptr) taken.insert(e->key);
    }
    if (avcodec_parameters_from_context(ost->st->codecpar, ost->enc) < 0)
      throw EAVError("Out of memory");
    // Side data the encoder produced (buffer sizes and the like) informs the muxer.
    for (int i = 0; i < ost->enc->nb_coded_side_data; ++i) {
      const AVPacketSideData& side = ost->enc->coded_side_data[i];
      uint8_t* data = av_stream_new_side_data(ost->st, side.type, side.size);
      if (data == nullptr) throw EAVError("Out of memory");
      std::memcpy(data, side.data, side.size);
    }
    ost->packet_time_base = ost->enc->time_base;
    ost->st->time_base = ost->enc->time_base;
    if (ost->enc->codec_type == AVMEDIA_TYPE_VIDEO) {
      ost->st->avg_frame_rate = ost->enc->framerate;
    }
    path->EncoderOpened();
  }
  auto MuxerTakes = [this](const std::string& name) {
    for (const TOutputFile& file : run_->output_files) {
      if (MuxerHasOption(file.ctx->oformat, name.c_str())) return true;
    }
    return false;
  };
  // Options of an encoder left out for a copy of what fits were not wrong.
  for (const auto& [name, value] : run_->private_codec_options) {
    if (taken.count(name) == 0 && !MuxerTakes(name) && !t.fit_copies) {
      DoLog(AV_LOG_WARNING,
            fmt::format("Option {}={} was not taken by any encoder and is ignored\n", name, value));
    }
  }
}

// Opens the encoder of `ost` under its library's lock, when the library
// needs one; a conversion waiting for a library that another one holds can
// be stopped meanwhile.
int TConverterEngine::OpenEncoder(TOutputStreamState& ost, const AVCodec* codec,
                                  Dictionary& options) {
  TCodecLock* lock = CodecLock(codec);
  TOutputFile& file = run_->output_files[ost.file_index];
  file.encoder_leases.resize(file.encoders.size());
  TEncoderLease& lease = file.encoder_leases[ost.index];
  if (lock != nullptr && lock->Use() == TLibraryUse::OneEncoder && lock->Busy()) {
    DoLog(AV_LOG_WARNING, fmt::format("Encoder {} is in use by another conversion, and the library "
                                      "allows one at a time; waiting for it\n",
                                      codec->name));
  }
  if (!lease.Acquire(lock, this, [this] { return !StopRequested(); })) ThrowIfStopped();
  const int opened = avcodec_open2(ost.enc, codec, options.get());
  lease.Opened();
  if (lock != nullptr && lock->Use() == TLibraryUse::OpeningAlone) ost.encode_lock = lock;
  return opened;
}

Dictionary TConverterEngine::EncoderOptions(const TOutputStreamState& ost,
                                            const AVCodec* codec) const {
  Dictionary options;
  for (const auto& [name, value] : run_->private_codec_options) options.Set(name, value);
  // libx264 keeps its own statistics file; it goes next to ours.
  if (!ost.two_pass.stats_path.empty() && codec->priv_class != nullptr &&
      av_opt_find(const_cast<AVClass**>(&codec->priv_class), "stats", nullptr, 0,
                  AV_OPT_SEARCH_FAKE_OBJ) != nullptr) {
    options.Set("stats", ost.two_pass.stats_path);
  }
  return options;
}

// A maximum rate below the bit rate (or a minimum above it) makes today's
// encoders refuse to open; the bit rate is what the profile asked for, so the
// limits give way to it.
void TConverterEngine::ReconcileRateLimits(AVCodecContext& enc) {
  if (enc.bit_rate <= 0) return;
  if (enc.rc_max_rate > 0 && enc.rc_max_rate < enc.bit_rate) {
    DoLog(AV_LOG_WARNING, fmt::format("Maximum rate {} is below the bit rate {}; raised to it\n",
                                      enc.rc_max_rate, enc.bit_rate));
    enc.rc_max_rate = enc.bit_rate;
  }
  if (enc.rc_min_rate > enc.bit_rate) {
    DoLog(AV_LOG_WARNING, fmt::format("Minimum rate {} is above the bit rate {}; lowered to it\n",
                                      enc.rc_min_rate, enc.bit_rate));
    enc.rc_min_rate = enc.bit_rate;
  }
}

}  // namespace veltrano
