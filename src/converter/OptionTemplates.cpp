// The option setter: generic options by name into the run's option
// templates (one codec context per media kind, a format context and a
// scaler), which the contexts of a run copy from; stream maps; and the
// CodecOptions lines, translated from older spellings.
#include <exception>

extern "C" {
#include <libavutil/opt.h>
}

#include "converter/AVError.h"
#include "converter/LegacyOptions.h"
#include "converter/MessageBoxes.h"
#include "engine/ConverterEngine.h"
#include "engine/RunState.h"

namespace veltrano {

// Option setter and templates -------------------------------------------------

namespace {

// The parameter flag each media kind's options carry (0 matches any option).
constexpr int kKindOptionFlags[kMediaKindCount] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM,
                                                   0, AV_OPT_FLAG_SUBTITLE_PARAM, 0};

// Options that today's library shares between audio and video but that mean
// the video encoder in the option names the system uses (audio has its own
// "ab"): they are set on the video template only.
bool IsVideoOnlyOption(const std::string& name) {
  return name == "b" || name == "bt" || name == "maxrate" || name == "minrate" || name == "bufsize";
}

}  // namespace

void TConverterEngine::PrepareRun() {
  run_ = std::make_unique<TRunState>();
  for (int k = 0; k < kMediaKindCount; ++k) {
    run_->avcodec_opts[k].reset(avcodec_alloc_context3(nullptr));
    if (!run_->avcodec_opts[k]) throw EAVError("Out of memory");
    run_->avcodec_opts[k]->codec_type = ToAVMediaType(static_cast<TMediaKind>(k));
  }
  run_->avformat_opts.reset(avformat_alloc_context());
  run_->sws_opts.reset(sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                      FConvertOptions.SwsFlags(), nullptr, nullptr, nullptr));
  if (!run_->avformat_opts || !run_->sws_opts) throw EAVError("Out of memory");
}

int TConverterEngine::SetOption(const std::string& name, const std::string& value) {
  TRunState& run = *run_;
  const char* key = name.c_str();
  const char* text = value.c_str();
  const AVOption* found = nullptr;
  int ret = 0;
  const int last_kind = IsVideoOnlyOption(name) ? 0 : kMediaKindCount - 1;
  for (int k = 0; k <= last_kind && ret >= 0; ++k) {
    const AVOption* o =
        av_opt_find(run.avcodec_opts[0].get(), key, nullptr, kKindOptionFlags[k], 0);
    if (o != nullptr) {
      found = o;
      ret = av_opt_set(run.avcodec_opts[k].get(), key, text, 0);
    }
  }
  if (found == nullptr) {
    found = av_opt_find(run.avformat_opts.get(), key, nullptr, 0, 0);
    if (found != nullptr) ret = av_opt_set(run.avformat_opts.get(), key, text, 0);
  }
  if (found == nullptr) {
    found = av_opt_find(run.sws_opts.get(), key, nullptr, 0, 0);
    if (found != nullptr) ret = av_opt_set(run.sws_opts.get(), key, text, 0);
  }
  if (found == nullptr && name.size() > 1 && (name[0] == 'a' || name[0] == 'v' || name[0] == 's')) {
    const TMediaKind kind = name[0] == 'a'   ? TMediaKind::Audio
                            : name[0] == 'v' ? TMediaKind::Video
                                             : TMediaKind::Subtitle;
    AVCodecContext* target = run.avcodec_opts[static_cast<int>(kind)].get();
    found = av_opt_find(target, key + 1, nullptr, 0, 0);
    if (found != nullptr) ret = av_opt_set(target, key + 1, text, 0);
  }
  if (found != nullptr && ret < 0) {
    const std::string target = FOutputFiles.empty() ? std::string() : FOutputFiles[0];
    ShowErrorBoxLater(WithReason(
        "Invalid value for Option! " + name + "=" + value + " (" + target + ")", "", AvErrorText(ret)));
    return -1;
  }
  if (found == nullptr) {
    // Not a generic option: keep it for the encoders, which may know it
    // as a private option (what none of them takes is logged then).
    run.private_codec_options.emplace_back(name, value);
    return 0;
  }
  run.opt_names.push_back(found->name);
  return 0;
}

void TConverterEngine::CopyTemplateOptions(void* target, const void* option_template,
                                           int mask) const {
  for (const std::string& name : run_->opt_names) {
    const AVOption* o =
        av_opt_find(const_cast<void*>(option_template), name.c_str(), nullptr, 0, 0);
    if (o == nullptr || (o->flags & mask) != mask) continue;
    uint8_t* text = nullptr;
    if (av_opt_get(const_cast<void*>(option_template), name.c_str(), 0, &text) >= 0 &&
        text != nullptr) {
      av_opt_set(target, name.c_str(), reinterpret_cast<const char*>(text), 0);
    }
    av_free(text);
  }
}

// The run ---------------------------------------------------------------------

void TConverterEngine::ParseStreamMaps() {
  const TStrings& lines = FConvertOptions.StreamMaps();
  if (static_cast<int>(lines.size()) > kMaxStreams) {
    throw EAVError("Too many stream maps (at most " + std::to_string(kMaxStreams) + ")");
  }
  for (const std::string& line : lines) {
    auto [file, stream] = SplitNameValue(line);
    TStreamMap map;
    try {
      size_t used_file = 0;
      size_t used_stream = 0;
      map.file_index = std::stoi(file, &used_file);
      map.stream_index = std::stoi(stream, &used_stream);
      if (used_file != file.size() || used_stream != stream.size())
        throw std::invalid_argument(line);
    } catch (const std::logic_error&) {
      throw EAVError("'" + line + "' is not a valid stream map");
    }
    map.sync_file_index = map.file_index;
    map.sync_stream_index = map.stream_index;
    run_->stream_maps.push_back(map);
  }
}

void TConverterEngine::ApplyCodecOptions() {
  if (FConvertOptions.AudioOptions().Bitrate() != 0) {
    SetOption("ab", std::to_string(FConvertOptions.AudioOptions().Bitrate()));
  }
  if (FConvertOptions.VideoOptions().Bitrate() != 0) {
    SetOption("b", std::to_string(FConvertOptions.VideoOptions().Bitrate()));
  }
  // Lines in the spellings of older libraries are translated first.
  for (const std::string& line : FConvertOptions.CodecOptions()) {
    if (line.empty()) continue;
    auto [name, value] = SplitNameValue(line);
    const std::string naming = FileNamingOption(name, value);
    if (!naming.empty()) throw EAVError("Option " + naming + " names a file and is refused");
    for (const auto& [today_name, today_value] : TranslateCodecOption(name, value)) {
      SetOption(today_name, today_value);
    }
  }
  // The scaler flags the options ended with, for the filter graphs.
  int64_t flags = 0;
  av_opt_get_int(run_->sws_opts.get(), "sws_flags", 0, &flags);
  run_->sws_flags = static_cast<int>(flags);
}

}  // namespace veltrano
