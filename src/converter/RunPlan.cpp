// The plan value of a run, read off its records once setup has ended.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

namespace {

TPlannedSource SourceOf(const TStreamParameters& p) {
  TPlannedSource source;
  source.width = p.frame_width;
  source.height = p.frame_height;
  source.pixel_format = p.pix_fmt;
  source.aspect_ratio = p.frame_aspect_ratio;
  source.frame_rate_num = p.frame_rate.num;
  source.frame_rate_den = p.frame_rate.den;
  source.sample_rate = p.audio_sample_rate;
  source.channels = p.audio_channels;
  return source;
}

TPlannedStream StreamOf(const TRunState& run, const TOutputStreamState& ost) {
  const TInputStreamState& ist = *run.transcode->input_streams[ost.source_index];
  const TOutputFile& file = run.output_files[ost.file_index];
  const AVCodecContext* c = ost.enc;
  TPlannedStream s;
  s.kind = c->codec_type;
  s.input_file = ist.file_index;
  s.input_stream = ist.index;
  s.copy = file.stream_copy[ost.index];
  s.why = ost.why;
  s.encoder = ost.codec != nullptr && !s.copy ? ost.codec->name : "";
  s.codec = avcodec_get_name(s.copy ? ost.st->codecpar->codec_id : c->codec_id);
  s.width = c->width;
  s.height = c->height;
  const char* pixel_format = av_get_pix_fmt_name(c->pix_fmt);
  s.pixel_format = pixel_format != nullptr ? pixel_format : "";
  s.sample_rate = c->sample_rate;
  s.channels = c->ch_layout.nb_channels;
  s.bit_rate = c->bit_rate;
  s.flags = c->flags;
  s.flags2 = c->flags2;
  s.bitstream_filters = static_cast<int>(file.muxed[ost.index].filters.size());
  const AVDictionaryEntry* language = av_dict_get(ost.st->metadata, "language", nullptr, 0);
  s.language = language != nullptr ? language->value : "";
  return s;
}

}  // namespace

TConversionPlan PlanOfRun(const TRunState& run, const TStrings& inputs, const TStrings& outputs) {
  TConversionPlan plan;
  plan.source = SourceOf(run.source);
  for (size_t i = 0; i < run.input_files.size(); ++i) {
    const AVFormatContext* ctx = run.input_files[i].ctx.get();
    TPlannedInput input;
    input.name = i < inputs.size() ? inputs[i] : "";
    input.ts_offset = run.input_files[i].ts_offset;
    for (unsigned k = 0; k < ctx->nb_streams; ++k) {
      input.read.push_back(ctx->streams[k]->discard != AVDISCARD_ALL);
    }
    plan.inputs.push_back(std::move(input));
  }
  if (!run.transcode) return plan;  // inputs opened, streams not mapped yet
  for (size_t n = 0; n < run.output_files.size(); ++n) {
    const AVFormatContext* ctx = run.output_files[n].ctx.get();
    TPlannedOutput output;
    output.name = n < outputs.size() ? outputs[n] : "";
    output.format = ctx->oformat->name;
    output.opened = ctx->pb != nullptr;
    plan.outputs.push_back(std::move(output));
  }
  for (const auto& ost : run.transcode->output_streams) {
    plan.outputs[ost->file_index].streams.push_back(StreamOf(run, *ost));
  }
  return plan;
}

}  // namespace veltrano
