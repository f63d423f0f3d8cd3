// The subtitle path: re-timing decoded subtitles to the output, and encoding
// them (DVB subtitles as a pair of packets: one that shows, one that clears).
#include <cstring>

#include "converter/AVError.h"
#include "engine/OutputPath.h"

namespace veltrano {
namespace {

constexpr size_t kSubtitleBufferSize = 1048576;

}  // namespace

void TSubtitlePath::SendFrame(TInputStreamState& ist, TDecoded& decoded) {
  if (decoded.subtitle != nullptr) Output(ist, *decoded.subtitle, decoded.packet_pts);
}

void TSubtitlePath::Output(const TInputStreamState& ist, AVSubtitle& subtitle, int64_t pts) {
  if (pts == AV_NOPTS_VALUE) throw EAVError("Subtitle packets must have a pts");
  if (av_rescale_q(pts, ist.st->time_base, AV_TIME_BASE_Q) >=
      context_.RecordingLimit(AV_TIME_BASE_Q)) {
    ost_.finished = true;  // the span is over for this stream
    return;
  }
  if (buffer_.empty()) buffer_.resize(kSubtitleBufferSize);
  const bool dvb = ost_.enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
  const int count = dvb ? 2 : 1;
  const unsigned rects = subtitle.num_rects;
  AVPacket* pkt = packet_.get();
  for (int i = 0; i < count; ++i) {
    subtitle.pts = av_rescale_q(pts, ist.st->time_base, AV_TIME_BASE_Q) +
                   av_rescale_q(subtitle.start_display_time, AVRational{1, 1000}, AV_TIME_BASE_Q);
    subtitle.end_display_time -= subtitle.start_display_time;
    subtitle.start_display_time = 0;
    // The second DVB packet clears the subtitle from the screen.
    subtitle.num_rects = (dvb && i == 1) ? 0 : rects;
    const int size = avcodec_encode_subtitle(ost_.enc, buffer_.data(),
                                             static_cast<int>(buffer_.size()), &subtitle);
    subtitle.num_rects = rects;
    if (size < 0) EncodingFailed("Subtitle", size);
    if (av_new_packet(pkt, size) < 0) throw EAVError("Out of memory");
    std::memcpy(pkt->data, buffer_.data(), static_cast<size_t>(size));
    int64_t packet_pts = subtitle.pts;
    if (dvb) {
      const uint32_t shown_ms = i == 0 ? subtitle.start_display_time : subtitle.end_display_time;
      packet_pts += av_rescale_q(shown_ms, AVRational{1, 1000}, AV_TIME_BASE_Q);
    } else {
      pkt->duration = av_rescale_q(subtitle.end_display_time, AVRational{1, 1000}, AV_TIME_BASE_Q);
    }
    // Both packets of a pair are decoded when the subtitle appears; the
    // clearing one only takes effect at its later presentation time, which may
    // lie after the next subtitle has appeared.
    pkt->dts = av_rescale_q(subtitle.pts, AV_TIME_BASE_Q, ost_.packet_time_base);
    pkt->pts = av_rescale_q(packet_pts, AV_TIME_BASE_Q, ost_.packet_time_base);
    Write(pkt);
    ++ost_.frame_number;
  }
}

}  // namespace veltrano
