// The engine's side of copying what already fits (StreamFit.h): what each
// output stream asks for, the decision per stream with its log line
// ("视频: 直接复制 (已符合)"), and the stream maps of an output that keeps
// every track of its source.
#include <fmt/format.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "converter/DeviceProfiles.h"
#include "converter/StreamFit.h"
#include "converter/StreamPlan.h"
#include "converter/StreamProtocol.h"
#include "engine/ConverterEngine.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

bool TConverterEngine::CopiesFittingStream(TOutputStreamState& ost, const TInputStreamState& ist) {
  if (!FConvertOptions.CopyFittingStreams()) return false;
  const TDeviceCapabilities* device = FindDevice(FConvertOptions.Device());
  const int kind = ost.enc->codec_type;
  if (device == nullptr ||
      (kind != AVMEDIA_TYPE_VIDEO && kind != AVMEDIA_TYPE_AUDIO && kind != AVMEDIA_TYPE_SUBTITLE)) {
    return false;
  }
  TStreamFacts source = FactsOf(ist.st);
  if (source.bit_rate <= 0) source.bit_rate = MeasuredBitRate(ist);
  const TFitVerdict verdict = JudgeStreamFit(device, source, FitRequest(ost));
  int number = 0;  // the stream's place among the output's streams of its kind
  const TOutputFile& output = run_->output_files[ost.file_index];
  for (int i = 0; i <= ost.index; ++i) number += output.encoders[i]->codec_type == kind;
  DoLog(AV_LOG_INFO, FitLogLine(kind, number, verdict) + "\n");
  ost.why = verdict.copy ? "已符合" : JoinedReasons(verdict);
  run_->transcode->fit_copies |= verdict.copy;
  return verdict.copy;
}

TStreamRequest TConverterEngine::FitRequest(const TOutputStreamState& ost) const {
  const AVCodecContext* c = ost.enc;
  const TVideoOptions& v = FConvertOptions.VideoOptions();
  const TAudioOptions& a = FConvertOptions.AudioOptions();
  TStreamRequest request;
  TStreamFacts& asked = request.asked;
  asked.kind = c->codec_type;
  asked.codec_id = c->codec_id;
  asked.pix_fmt = c->codec_type == AVMEDIA_TYPE_VIDEO ? c->pix_fmt : -1;
  asked.width = c->width;
  asked.height = c->height;
  asked.frame_rate = c->framerate.num > 0 && c->framerate.den > 0 ? av_q2d(c->framerate) : 0;
  asked.channels = c->ch_layout.nb_channels;
  asked.sample_rate = c->sample_rate;
  request.format = run_->output_files[ost.file_index].ctx->oformat;
  std::vector<std::string>& needed = request.frames_needed;
  if (c->codec_type == AVMEDIA_TYPE_VIDEO) {
    request.bit_rate = v.Bitrate();
    if (v.VideoQuality() > 0) request.quality = v.VideoQuality();
    if (!FConvertOptions.FilterOptions().VideoFilters().empty()) needed.push_back("需要滤镜");
    if (v.FrameLeftBand() + v.FrameRightBand() + v.FrameTopBand() + v.FrameBottomBand() != 0) {
      needed.push_back("需要裁剪");
    }
    if (v.Deinterlace()) needed.push_back("需要去隔行");
    if (v.Pass() != 0) needed.push_back("两遍编码");
    // A copy starts at a key frame: from the middle of a source it would begin late.
    if (FConvertOptions.StartTime() != 0) needed.push_back("起点不在开头");
  } else if (c->codec_type == AVMEDIA_TYPE_AUDIO) {
    request.bit_rate = a.Bitrate();
    if (a.AudioQScale() > kNoAudioQScale) request.quality = a.AudioQScale();
    if (a.AudioVolume() != 256) needed.push_back("需要调整音量");
    if (a.AudioSyncMethod() > 1) needed.push_back("需要音频同步");
  }
  return request;
}

int64_t TConverterEngine::MeasuredBitRate(const TInputStreamState& ist) {
  TTranscodeState& t = *run_->transcode;
  if (t.measured_bit_rates.size() < run_->input_files.size()) {
    t.measured_bit_rates.resize(run_->input_files.size());
  }
  std::vector<int64_t>& rates = t.measured_bit_rates[ist.file_index];
  const TInputFile& input = run_->input_files[ist.file_index];
  // A "stream:" source (a DVD title) is read once only; its rates stay unknown.
  if (rates.empty() && !IsStreamName(FInputFiles[ist.file_index]) &&
      !(input.ctx->iformat->flags & AVFMT_NOFILE)) {
    rates = MeasureBitRates(FInputFiles[ist.file_index], input.ctx->iformat);
    if (rates.empty()) rates.assign(input.ctx->nb_streams, 0);  // measured once, also in vain
  }
  return ist.index < static_cast<int>(rates.size()) ? rates[ist.index] : 0;
}

// Appends the stream maps of output `n` when it keeps every track and the
// options name no streams themselves.
void TConverterEngine::AddKeptTrackMaps(const AVOutputFormat* format) {
  if (!FConvertOptions.KeepAllTracks() || !FConvertOptions.StreamMaps().empty()) return;
  std::vector<TSourceStreamEntry> streams;
  for (size_t f = 0; f < run_->input_files.size(); ++f) {
    const TInputFile& input = run_->input_files[f];
    for (unsigned i = 0; i < input.ctx->nb_streams; ++i) {
      const AVStream* st = input.ctx->streams[i];
      streams.push_back({static_cast<int>(f), static_cast<int>(i), st->codecpar->codec_type,
                         st->codecpar->codec_id, input.analysis_frames[i],
                         st->discard == AVDISCARD_ALL});
    }
  }
  for (const TSourceStreamEntry& kept : KeptTrackStreams(FConvertOptions, format, streams)) {
    run_->stream_maps.push_back(TStreamMap{kept.file, kept.index, kept.file, kept.index});
  }
}

}  // namespace veltrano
