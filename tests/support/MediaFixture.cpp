#include "support/MediaFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/md5.h>
#include <libavutil/pixdesc.h>
}

namespace veltrano::test {
namespace {

// The child process of a death test ends without cleaning up: it works in
// the folder of the test process that started it, which removes it.
constexpr char kFolderVariable[] = "VELTRANO_TEST_FOLDER";

struct TFolderOwner {
  fs::path path;
  bool owned = true;
  TFolderOwner() {
    const char* parents = std::getenv(kFolderVariable);
    if (parents != nullptr && !GTEST_FLAG_GET(internal_run_death_test).empty()) {
      path = parents;
      owned = false;
      return;
    }
    std::string pattern = (fs::temp_directory_path() / "veltrano-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
    setenv(kFolderVariable, path.c_str(), 1);
  }
  ~TFolderOwner() {
    if (owned && std::getenv("VELTRANO_KEEP_TEST_FILES") == nullptr) {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  }
};

}  // namespace

const fs::path& TestFolder() {
  static TFolderOwner owner;
  return owner.path;
}

fs::path MakeTempFolder(const std::string& hint) {
  static std::mutex mutex;
  static int counter = 0;
  std::lock_guard lock(mutex);
  fs::path folder = TestFolder() / (hint + "-" + std::to_string(++counter));
  fs::create_directories(folder);
  return folder;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

TCommandResult RunCommand(const std::string& command) {
  TCommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TClip AvClipSpec(const std::string& video_codec, const std::string& audio_codec) {
  TClip clip;
  clip.video_codec = video_codec;
  clip.audio_codec = audio_codec;
  return clip;
}

TClip VideoClipSpec(const std::string& video_codec, const std::string& size) {
  TClip clip;
  clip.video_codec = video_codec;
  clip.size = size;
  clip.audio = false;
  return clip;
}

fs::path MakeClip(const fs::path& path, const TClip& clip) {
  std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y";
  const std::string seconds = std::to_string(clip.seconds);
  if (clip.video) {
    cmd += " -f lavfi -i " +
           ShellQuote("testsrc2=size=" + clip.size + ":rate=" + clip.rate + ":duration=" + seconds);
  }
  if (clip.audio) {
    if (clip.audio_delay != 0) cmd += " -itsoffset " + std::to_string(clip.audio_delay);
    cmd += " -f lavfi -i " + ShellQuote("sine=frequency=440:sample_rate=" +
                                        std::to_string(clip.sample_rate) + ":duration=" + seconds);
  }
  if (clip.video && !clip.video_codec.empty()) cmd += " -c:v " + clip.video_codec;
  if (clip.audio) {
    if (!clip.audio_codec.empty()) cmd += " -c:a " + clip.audio_codec;
    cmd += " -ac " + std::to_string(clip.channels);
  }
  for (const std::string& arg : clip.extra_output_args) cmd += " " + ShellQuote(arg);
  cmd += " " + ShellQuote(path.string());
  const TCommandResult result = RunCommand(cmd);
  EXPECT_EQ(result.exit_code, 0) << cmd << "\n" << result.output;
  return path;
}

fs::path SharedClip(const std::string& name, const TClip& clip) {
  static std::mutex mutex;
  static std::map<std::string, fs::path> made;
  std::lock_guard lock(mutex);
  auto it = made.find(name);
  if (it != made.end()) return it->second;
  fs::path path = MakeClip(TestFolder() / ("shared-" + name), clip);
  made.emplace(name, path);
  return path;
}

const TStreamInfo& TMediaInfo::Stream(const std::string& kind) const {
  for (const TStreamInfo& s : streams) {
    if (s.kind == kind) return s;
  }
  ADD_FAILURE() << "no " << kind << " stream";
  static const TStreamInfo none;
  return none;
}

TMediaInfo ProbeMedia(const fs::path& path) {
  TMediaInfo info;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return info;
  if (avformat_find_stream_info(ctx, nullptr) < 0) {
    avformat_close_input(&ctx);
    return info;
  }
  info.opened = true;
  info.format = ctx->iformat->name;
  info.duration = ctx->duration != AV_NOPTS_VALUE ? ctx->duration / 1e6 : 0;
  info.start_time = ctx->start_time != AV_NOPTS_VALUE ? ctx->start_time / 1e6 : 0;
  info.chapters = static_cast<int>(ctx->nb_chapters);
  std::vector<int64_t> first(ctx->nb_streams, AV_NOPTS_VALUE);
  std::vector<int64_t> last_end(ctx->nb_streams, AV_NOPTS_VALUE);
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    const AVCodecParameters* par = st->codecpar;
    TStreamInfo s;
    const char* kind = av_get_media_type_string(par->codec_type);
    s.kind = kind != nullptr ? kind : "unknown";
    s.codec = avcodec_get_name(par->codec_id);
    if (const char* profile = avcodec_profile_name(par->codec_id, par->profile)) {
      s.profile = profile;
    }
    s.level = par->level;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format))) {
        s.pix_fmt = name;
      }
    }
    s.width = par->width;
    s.height = par->height;
    s.frame_rate = st->avg_frame_rate.den != 0 ? av_q2d(st->avg_frame_rate) : 0;
    s.sample_rate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
    if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "language", nullptr, 0)) {
      s.language = e->value;
    }
    info.streams.push_back(s);
  }
  std::vector<AVMD5*> digests(ctx->nb_streams);
  for (AVMD5*& d : digests) {
    d = av_md5_alloc();
    av_md5_init(d);
  }
  AVPacket* pkt = av_packet_alloc();
  while (av_read_frame(ctx, pkt) >= 0) {
    const unsigned i = static_cast<unsigned>(pkt->stream_index);
    if (i < info.streams.size()) {
      ++info.streams[i].packets;
      info.streams[i].bytes += pkt->size;
      av_md5_update(digests[i], pkt->data, pkt->size);
      if (pkt->pts != AV_NOPTS_VALUE) {
        info.streams[i].packet_times.push_back(pkt->pts * av_q2d(ctx->streams[i]->time_base));
      }
      const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
      if (ts != AV_NOPTS_VALUE) {
        if (first[i] == AV_NOPTS_VALUE || ts < first[i]) first[i] = ts;
        const int64_t end = ts + pkt->duration;
        if (last_end[i] == AV_NOPTS_VALUE || end > last_end[i]) last_end[i] = end;
      }
    }
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    uint8_t sum[16];
    av_md5_final(digests[i], sum);
    av_free(digests[i]);
    char hex[33];
    for (int b = 0; b < 16; ++b) std::snprintf(hex + 2 * b, 3, "%02x", sum[b]);
    info.streams[i].data_md5 = hex;
    const AVRational tb = ctx->streams[i]->time_base;
    if (first[i] != AV_NOPTS_VALUE) {
      info.streams[i].start = first[i] * av_q2d(tb);
      info.streams[i].duration = (last_end[i] - first[i]) * av_q2d(tb);
    }
  }
  avformat_close_input(&ctx);
  return info;
}

}  // namespace veltrano::test
