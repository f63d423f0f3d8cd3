#include "engine/OutputChoices.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

namespace veltrano {
namespace {

BsfContextPtr AllocateBitstreamFilter(const std::string& name) {
  const AVBitStreamFilter* filter = av_bsf_get_by_name(name.c_str());
  if (filter == nullptr) return nullptr;
  AVBSFContext* ctx = nullptr;
  if (av_bsf_alloc(filter, &ctx) < 0) return nullptr;
  return BsfContextPtr(ctx);
}

}  // namespace

TBitstreamFilterChain BuildBitstreamFilterChain(
    const TStrings& names, const std::function<void(const std::string&)>& show_error) {
  TBitstreamFilterChain chain;
  for (size_t i = 0; i < names.size(); ++i) {
    BsfContextPtr filter = AllocateBitstreamFilter(names[i]);
    if (!filter) {
      show_error("Invalid BitstreamFilter " + names[i]);
      if (i == 0) return chain;
      continue;
    }
    chain.push_back(std::move(filter));
  }
  return chain;
}

AVPixelFormat ChoosePixelFormat(const AVCodec* encoder, AVPixelFormat requested, int compliance) {
  if (encoder == nullptr || encoder->pix_fmts == nullptr) return requested;
  // Baseline JPEG is full range: today's encoder takes limited-range YUV only
  // with unofficial compliance, so those pictures go out as their full-range kin.
  if (encoder->id == AV_CODEC_ID_MJPEG && compliance > FF_COMPLIANCE_UNOFFICIAL) {
    if (requested == AV_PIX_FMT_YUV420P) requested = AV_PIX_FMT_YUVJ420P;
    if (requested == AV_PIX_FMT_YUV422P) requested = AV_PIX_FMT_YUVJ422P;
    if (requested == AV_PIX_FMT_YUV444P) requested = AV_PIX_FMT_YUVJ444P;
  }
  for (const AVPixelFormat* p = encoder->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
    if (*p == requested) return requested;
  }
  if (encoder->id == AV_CODEC_ID_MJPEG && compliance < FF_COMPLIANCE_NORMAL &&
      (requested == AV_PIX_FMT_YUV420P || requested == AV_PIX_FMT_YUV422P)) {
    return requested;
  }
  return encoder->pix_fmts[0];
}

AVSampleFormat ChooseSampleFormat(const AVCodec* encoder, AVSampleFormat requested) {
  if (encoder == nullptr || encoder->sample_fmts == nullptr) return requested;
  for (const AVSampleFormat* p = encoder->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p) {
    if (*p == requested) return requested;
  }
  return encoder->sample_fmts[0];
}

// The rates of encoders that run at one rate but list none: the AMR speech
// codecs (narrow band 8 kHz, wide band 16 kHz).
static const int* FixedSampleRates(const AVCodec* encoder) {
  static constexpr int kNarrowBand[] = {8000, 0};
  static constexpr int kWideBand[] = {16000, 0};
  if (encoder->id == AV_CODEC_ID_AMR_NB) return kNarrowBand;
  if (encoder->id == AV_CODEC_ID_AMR_WB) return kWideBand;
  return nullptr;
}

bool ChooseSampleRate(const AVCodec* encoder, int requested, int& chosen) {
  chosen = requested;
  if (encoder == nullptr) return false;
  const int* rates = encoder->supported_samplerates != nullptr ? encoder->supported_samplerates
                                                               : FixedSampleRates(encoder);
  if (rates == nullptr) return false;
  int best = 0;
  long best_distance = -1;
  for (const int* p = rates; *p != 0; ++p) {
    const long distance = std::labs(static_cast<long>(*p) - requested);
    if (best_distance < 0 || distance < best_distance) {
      best = *p;
      best_distance = distance;
    }
  }
  if (best_distance < 0) return false;
  chosen = best;
  return best_distance != 0;
}

uint16_t* CopyMatrix(const TQuantMatrix& matrix) {
  auto* copy = static_cast<uint16_t*>(av_malloc(sizeof(uint16_t) * matrix.size()));
  if (copy != nullptr) std::memcpy(copy, matrix.data(), sizeof(uint16_t) * matrix.size());
  return copy;
}

bool MuxerHasOption(const AVOutputFormat* format, const char* name) {
  if (format == nullptr || format->priv_class == nullptr) return false;
  return av_opt_find(const_cast<AVClass**>(&format->priv_class), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

namespace {

bool IsPictureExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const std::set<std::string> pictures{"png", "jpg",  "jpeg", "bmp", "gif",
                                              "tif", "tiff", "ppm",  "pgm", "webp"};
  return pictures.count(extension) != 0;
}

}  // namespace

const AVOutputFormat* OutputFormatFor(const std::string& name, const AVOutputFormat* forced) {
  if (forced != nullptr) return forced;
  const AVOutputFormat* format = av_guess_format(nullptr, name.c_str(), nullptr);
  if (format != nullptr && av_filename_number_test(name.c_str()) && IsPictureExtension(name)) {
    format = av_guess_format("image2", nullptr, nullptr);
  }
  return format;
}

bool IsPictureSequence(const std::string& name, const AVOutputFormat* format) {
  return format != nullptr && (format->flags & AVFMT_NOFILE) &&
         av_filename_number_test(name.c_str()) != 0;
}

namespace {

}  // namespace

float ApplyVideoQuality(AVCodecContext* c, float quality, bool bit_rate_asked) {
  if (quality <= 0) return 0;
  const bool has_crf =
      c->priv_data != nullptr && av_opt_find(c->priv_data, "crf", nullptr, 0, 0) != nullptr;
  if (has_crf) {
    if (av_opt_set_double(c->priv_data, "crf", quality, 0) < 0) return -1;
    // A target bit rate would turn constant quality into constrained quality
    // (VP9, AV1) or be ignored (x264); the encoders' own default is none.
    if (!bit_rate_asked) c->bit_rate = 0;
    return 0;
  }
  c->flags |= AV_CODEC_FLAG_QSCALE;
  const float lambda = static_cast<float>(FF_QP2LAMBDA) * quality;
  c->global_quality = static_cast<int>(std::nearbyint(lambda));
  return lambda;
}

}  // namespace veltrano
