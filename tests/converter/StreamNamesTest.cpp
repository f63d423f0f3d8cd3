// "stream:N" names read by the demuxer: a DVD title read whole through
// libavformat, and the engine's input opening taking and freeing the stream.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

extern "C" {
#include <libavformat/avformat.h>
}

#include "converter/AVConverter.h"
#include "converter/DvdStream.h"
#include "converter/MessageBoxes.h"
#include "converter/StreamProtocol.h"
#include "support/DvdFixture.h"

namespace veltrano {
namespace {

using test::SharedDvd;

// A stream that says when it is freed, around the stream it forwards to.
class TWatchedStream : public TStream {
 public:
  TWatchedStream(std::unique_ptr<TStream> inner, std::atomic<bool>& freed)
      : inner_(std::move(inner)), freed_(freed) {}
  ~TWatchedStream() override { freed_ = true; }
  int Read(uint8_t* buffer, int size) override { return inner_->Read(buffer, size); }
  int64_t Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }
  int64_t Size() override { return inner_->Size(); }

 private:
  std::unique_ptr<TStream> inner_;
  std::atomic<bool>& freed_;
};

struct TDemuxed {
  bool opened = false;
  std::string format;
  double container_seconds = 0;
  int64_t video_packets = 0;
  double video_seconds = 0;  // from the first to past the last video packet
  bool has_audio = false;
};

// Reads every packet of a "stream:N" input with libavformat.
TDemuxed Demux(const std::string& name) {
  TDemuxed result;
  std::unique_ptr<TStreamIO> io = OpenStreamIO(name);
  AVFormatContext* ctx = avformat_alloc_context();
  ctx->pb = io->Context();
  ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (avformat_open_input(&ctx, name.c_str(), nullptr, nullptr) < 0) return result;
  if (avformat_find_stream_info(ctx, nullptr) >= 0) {
    result.opened = true;
    result.format = ctx->iformat->name;
    result.container_seconds = ctx->duration != AV_NOPTS_VALUE ? ctx->duration / 1e6 : 0;
    int video = -1;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
      const AVMediaType type = ctx->streams[i]->codecpar->codec_type;
      if (type == AVMEDIA_TYPE_VIDEO && video < 0) video = static_cast<int>(i);
      if (type == AVMEDIA_TYPE_AUDIO) result.has_audio = true;
    }
    int64_t first = AV_NOPTS_VALUE;
    int64_t end = AV_NOPTS_VALUE;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(ctx, packet) >= 0) {
      if (packet->stream_index == video) ++result.video_packets;
      if (packet->stream_index == video && packet->pts != AV_NOPTS_VALUE) {
        if (first == AV_NOPTS_VALUE || packet->pts < first) first = packet->pts;
        if (end == AV_NOPTS_VALUE || packet->pts + packet->duration > end) {
          end = packet->pts + packet->duration;
        }
      }
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (video >= 0 && first != AV_NOPTS_VALUE) {
      result.video_seconds = (end - first) * av_q2d(ctx->streams[video]->time_base);
    }
  }
  avformat_close_input(&ctx);
  return result;
}

TEST(StreamNames, DemuxerReadsWholeDvdTitles) {
  const test::TDvdDisc& disc = SharedDvd();
  for (int title = 1; title <= 2; ++title) {
    SCOPED_TRACE("title " + std::to_string(title));
    const double seconds = disc.titles[title - 1].seconds;
    const TDemuxed demuxed = Demux(OpenDvdTitleStream(disc.folder.string(), title));
    ASSERT_TRUE(demuxed.opened);
    EXPECT_EQ(demuxed.format, "mpeg");
    EXPECT_TRUE(demuxed.has_audio);
    EXPECT_NEAR(demuxed.video_seconds, seconds, 0.05);
    EXPECT_NEAR(demuxed.container_seconds, seconds, 0.25);  // estimated from the end's timestamps
    EXPECT_EQ(demuxed.video_packets, static_cast<int64_t>(seconds * 25 + 0.5));
  }
  // A chapter range: chapter 2 of the first title lasts 2 s.
  const TDemuxed chapter = Demux(OpenDvdTitleStream(disc.folder.string(), 1, 2, 2));
  ASSERT_TRUE(chapter.opened);
  EXPECT_NEAR(chapter.video_seconds, disc.ChapterSeconds(1, 2), 0.05);
}

TEST(StreamNames, EngineOpensTheStreamAndFreesItOnClose) {
  TEventLoopDispatcher dispatcher;
  std::vector<std::string> errors;
  TErrorBoxHandler previous =
      SetErrorBoxHandler([&](const std::string& text) { errors.push_back(text); });

  const int before = RegisteredStreamCount();
  std::atomic<bool> freed{false};
  const TDvdTitle title = *TDvdNavigation::Init(SharedDvd().folder.string())->TitleScan(1);
  const std::string name = StreamName(RegisterStream(
      std::make_unique<TWatchedStream>(std::make_unique<TDvdStream>(title, 1, 1, 3), freed)));

  TAVConverter converter(&dispatcher);
  converter.SetInputFiles({name + ".vob"});
  converter.SetOutputFiles({(test::MakeTempFolder("engine-dvd") / "out.mpg").string()});
  converter.Convert();
  converter.WaitFor();

  EXPECT_TRUE(freed);  // the input owned the stream and freed it when it closed
  EXPECT_EQ(RegisteredStreamCount(), before);
  // The input was opened: its duration is the title's.
  EXPECT_NEAR(converter.Duration(), SharedDvd().titles[0].seconds, 0.25);
  for (const std::string& error : errors)
    EXPECT_EQ(error.find("打不开"), std::string::npos) << error;
  SetErrorBoxHandler(previous);
}

}  // namespace
}  // namespace veltrano
