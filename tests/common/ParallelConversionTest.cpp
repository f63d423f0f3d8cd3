// Conversions side by side in one process give the same bytes as the same
// conversions one at a time, and what they write decodes without an error
// (judged by the ffmpeg command line). Xvid, whose library rewrites process-
// wide state at every encoder opening, is run in three rounds of eight; every
// other encoder family of the catalogue, and the external encoders the
// command line reaches, at least once side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "converter/AVConverter.h"
#include "converter/CodecLock.h"
#include "converter/LegacyOptions.h"
#include "converter/ProfileCatalogue.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeTempFolder;
using test::SharedClip;
using test::TClip;

// One conversion: a source, the target's file name and the options.
struct TJob {
  std::string name;
  fs::path source;
  std::string target;  // file name; a name with "%d" is a numbered picture sequence
  std::function<void(TAVConverter&)> setup;
};

struct TOutcome {
  std::string error;
  std::vector<std::string> check_warnings;  // what the completion check logged
  std::string bytes;  // the output's bytes (a sequence: each picture's name and bytes)
};

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// What a job wrote into `folder`: its file, or every picture of a sequence.
std::string WrittenBytes(const fs::path& folder, const TJob& job) {
  if (job.target.find('%') == std::string::npos) return FileBytes(folder / job.target);
  std::vector<fs::path> pictures;
  for (const auto& entry : fs::directory_iterator(folder)) pictures.push_back(entry.path());
  std::sort(pictures.begin(), pictures.end());
  std::string bytes;
  for (const fs::path& picture : pictures) {
    bytes += picture.filename().string() + "\n" + FileBytes(picture);
  }
  return bytes;
}

// Runs `jobs` side by side in this process (one converter each, all handing
// over to this thread), each into its own sub-folder of `folder`; each
// starts `stagger` after the one before, so that encoders open while others
// encode.
std::vector<TOutcome> ConvertTogether(const std::vector<TJob>& jobs, const fs::path& folder,
                                      std::chrono::milliseconds stagger = {}) {
  TEventLoopDispatcher ui;
  test::TMessageRecorder messages;
  std::vector<std::unique_ptr<TAVConverter>> converters;
  // Written on the workers until they end, read after.
  std::vector<std::vector<std::string>> warnings(jobs.size());
  for (size_t i = 0; i < jobs.size(); ++i) {
    const fs::path job_folder = folder / std::to_string(i);
    fs::create_directories(job_folder);
    auto converter = std::make_unique<TAVConverter>(&ui);
    converter->SetInputFiles({jobs[i].source.string()});
    converter->SetOutputFiles({(job_folder / jobs[i].target).string()});
    jobs[i].setup(*converter);
    converter->SetOnLog([&warnings = warnings[i]](TAVConverter&, int, const std::string& text) {
      if (text.find("输出检查") != std::string::npos) warnings.push_back(text);
    });
    // Matroska and Ogg number their files at random unless told otherwise.
    converter->ConvertOptions().SetAdvancedOption("fflags", "+bitexact");
    converters.push_back(std::move(converter));
  }
  for (auto& converter : converters) {
    converter->Convert();
    if (stagger.count() > 0) ui.RunUntil([] { return false; }, stagger);
  }
  const bool ended = ui.RunUntil(
      [&] {
        return std::none_of(converters.begin(), converters.end(),
                            [](const auto& c) { return c->IsRunning(); });
      },
      std::chrono::minutes(10));
  EXPECT_TRUE(ended) << "the conversions did not end";
  std::vector<TOutcome> outcomes;
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (!ended) converters[i]->Stop();
    converters[i]->WaitFor();
    TOutcome outcome;
    outcome.error = converters[i]->ErrorMsg();
    outcome.check_warnings = warnings[i];
    if (outcome.error.empty()) outcome.bytes = WrittenBytes(folder / std::to_string(i), jobs[i]);
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

// Runs each job alone, one after the other.
std::vector<TOutcome> ConvertOneByOne(const std::vector<TJob>& jobs, const fs::path& folder) {
  std::vector<TOutcome> outcomes;
  for (size_t i = 0; i < jobs.size(); ++i) {
    const fs::path job_folder = folder / std::to_string(i);
    outcomes.push_back(ConvertTogether({jobs[i]}, job_folder).at(0));
    fs::rename(job_folder / "0", folder / ("alone-" + std::to_string(i)));
  }
  return outcomes;
}

// The decoder errors the ffmpeg command line reports for `path` (empty: none).
std::string DecoderErrors(const fs::path& path) {
  const auto result = test::RunCommand("ffmpeg -nostdin -v error -i " +
                                       test::ShellQuote(path.string()) + " -f null -");
  return result.exit_code == 0 ? result.output
                               : "exit " + std::to_string(result.exit_code) + ": " + result.output;
}

// Every job gives the same bytes in both runs, and the output decodes.
void ExpectSameAndDecodable(const std::vector<TJob>& jobs, const std::vector<TOutcome>& alone,
                            const std::vector<TOutcome>& together, const fs::path& alone_folder) {
  ASSERT_EQ(alone.size(), jobs.size());
  ASSERT_EQ(together.size(), jobs.size());
  for (size_t i = 0; i < jobs.size(); ++i) {
    SCOPED_TRACE(jobs[i].name);
    ASSERT_EQ(alone[i].error, "");
    ASSERT_EQ(together[i].error, "");
    ASSERT_FALSE(alone[i].bytes.empty());
    EXPECT_TRUE(alone[i].check_warnings.empty())
        << ::testing::PrintToString(alone[i].check_warnings);
    EXPECT_TRUE(together[i].bytes == alone[i].bytes)
        << "the output differs from the one written alone (" << together[i].bytes.size() << " and "
        << alone[i].bytes.size() << " bytes)";
    if (jobs[i].target.find('%') == std::string::npos) {
      EXPECT_EQ(DecoderErrors(alone_folder / ("alone-" + std::to_string(i)) / jobs[i].target), "");
    }
  }
}

fs::path Clip(const std::string& size, const std::string& rate, double seconds, bool audio = true) {
  TClip clip;
  clip.size = size;
  clip.rate = rate;
  clip.seconds = seconds;
  clip.video_codec = "mpeg4";
  clip.audio = audio;
  clip.audio_codec = "aac";
  return SharedClip("parallel-" + size + "-" + rate + (audio ? "" : "-silent") + ".mp4", clip);
}

// Opens and frees Xvid encoders over and over on a thread of its own, the
// way the engine opens them (under the library's lock), as conversions
// starting all the time would, until it goes.
class TXvidOpener {
 public:
  TXvidOpener() : thread_([this] { Run(); }) {}
  ~TXvidOpener() {
    stop_ = true;
    thread_.join();
  }
  int Openings() const { return openings_; }

 private:
  void Run() {
    const AVCodec* codec = avcodec_find_encoder_by_name("libxvid");
    while (!stop_ && codec != nullptr) {
      AVCodecContext* enc = avcodec_alloc_context3(codec);
      enc->width = 64;
      enc->height = 64;
      enc->pix_fmt = AV_PIX_FMT_YUV420P;
      enc->time_base = AVRational{1, 25};
      TEncoderLease lease;
      lease.Acquire(CodecLock(codec), this, {});
      if (avcodec_open2(enc, codec, nullptr) >= 0) ++openings_;
      lease.Opened();
      avcodec_free_context(&enc);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  std::atomic<bool> stop_{false};
  std::atomic<int> openings_{0};
  std::thread thread_;
};

TEST(ParallelConversion, XvidConversionsSideBySideGiveTheBytesOfSerialOnes) {
  // Eight conversions of four sources into Xvid (with MP3 from LAME) in AVI.
  const std::vector<fs::path> sources = {Clip("320x240", "25", 3), Clip("352x288", "25", 3),
                                         Clip("176x144", "30", 3), Clip("320x180", "24", 3)};
  std::vector<TJob> jobs;
  for (int i = 0; i < 8; ++i) {
    jobs.push_back(
        {"xvid " + std::to_string(i), sources[i % sources.size()], "out.avi", [i](TAVConverter& c) {
           TAVConvertOptions& o = c.ConvertOptions();
           o.SetThreadCount(2);
           o.VideoOptions().SetEncoderVideoCodecName("libxvid");
           o.VideoOptions().SetBitrate(i % 2 == 0 ? 600000 : 900000);
           o.AudioOptions().SetEncoderAudioCodecName("libmp3lame");
           o.AudioOptions().SetBitrate(128000);
         }});
  }
  const fs::path folder = MakeTempFolder("parallel-xvid");
  const auto alone = ConvertOneByOne(jobs, folder / "alone");
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round + 1));
    const fs::path round_folder = folder / ("round-" + std::to_string(round));
    std::vector<TOutcome> together;
    {
      TXvidOpener opener;
      together = ConvertTogether(jobs, round_folder, std::chrono::milliseconds(150));
      EXPECT_GT(opener.Openings(), 0);
    }
    ExpectSameAndDecodable(jobs, alone, together, folder / "alone");
    fs::remove_all(round_folder);
  }
}

const TAVProfileList& Catalogue() {
  static TAVProfileList list;
  if (list.ProfileCount() == 0) BuildCatalogue(list);
  return list;
}

// The encoders a profile's conversion uses ("" for none of a kind).
std::pair<std::string, std::string> EncodersOf(const TAVProfile& profile) {
  TAVConvertOptions options;
  PrepareProfileOptions(options, profile, TAVConfiguration());
  auto encoder = [](const std::string& name, bool disabled) {
    return disabled                           ? std::string()
           : ReplacementEncoder(name).empty() ? name
                                              : ReplacementEncoder(name);
  };
  return {encoder(options.VideoOptions().EncoderVideoCodecName(),
                  options.VideoOptions().VideoDisable()),
          encoder(options.AudioOptions().EncoderAudioCodecName(),
                  options.AudioOptions().AudioDisable())};
}

// One catalogue profile per encoder: the first that uses an encoder no
// earlier one does, preferring small pictures.
std::vector<TJob> OneProfilePerEncoder() {
  std::vector<const TAVProfile*> profiles;
  for (int i = 0; i < Catalogue().ProfileCount(); ++i) profiles.push_back(Catalogue().Profiles(i));
  std::stable_sort(profiles.begin(), profiles.end(), [](const TAVProfile* a, const TAVProfile* b) {
    TAVConvertOptions x, y;
    PrepareProfileOptions(x, *a, TAVConfiguration());
    PrepareProfileOptions(y, *b, TAVConfiguration());
    return x.VideoOptions().FrameWidth() * x.VideoOptions().FrameHeight() <
           y.VideoOptions().FrameWidth() * y.VideoOptions().FrameHeight();
  });
  std::set<std::string> covered;
  std::vector<TJob> jobs;
  for (const TAVProfile* profile : profiles) {
    const auto [video, audio] = EncodersOf(*profile);
    if ((video.empty() || covered.count(video) != 0) &&
        (audio.empty() || covered.count(audio) != 0))
      continue;
    covered.insert(video);
    covered.insert(audio);
    std::string extension = profile->Extension().empty() ? ".png" : profile->Extension();
    const bool numbered = extension.find('%') != std::string::npos;
    jobs.push_back({profile->Name() + " (" + video + ", " + audio + ")", Clip("320x240", "25", 1),
                    (numbered ? "frame" : "out") + extension, [profile](TAVConverter& c) {
                      TAVConfiguration configuration;
                      configuration.PerformanceOptions().SetThreadCount(2);
                      PrepareProfileOptions(c, *profile, configuration);
                    }});
  }
  return jobs;
}

// An encoder the command line reaches by name, with its options.
TJob NamedEncoderJob(const std::string& video, const std::string& audio, const std::string& target,
                     std::vector<std::pair<std::string, std::string>> options = {}) {
  return {video + " + " + audio, Clip("160x120", "25", 0.6), target, [=](TAVConverter& c) {
            TAVConvertOptions& o = c.ConvertOptions();
            o.SetThreadCount(2);
            o.VideoOptions().SetEncoderVideoCodecName(video);
            o.AudioOptions().SetEncoderAudioCodecName(audio);
            for (const auto& [name, value] : options) o.SetAdvancedOption(name, value);
          }};
}

bool HasEncoder(const char* name) {
  return avcodec_find_encoder_by_name(name) != nullptr;
}

TEST(ParallelConversion, EveryEncoderFamilyGivesTheBytesOfASerialRunSideBySide) {
  std::vector<TJob> jobs = OneProfilePerEncoder();
  // The external encoders the command line reaches beside the catalogue's.
  const std::vector<std::pair<TJob, const char*>> named = {
      {NamedEncoderJob("libx265", "libopus", "out.mkv", {{"preset", "ultrafast"}}), "libx265"},
      // (Not the realtime deadline: VP8 then picks its speed from how long
      // frames take, which depends on the machine's load.)
      {NamedEncoderJob("libvpx", "libvorbis", "out.webm",
                       {{"deadline", "good"}, {"cpu-used", "5"}}),
       "libvpx"},
      {NamedEncoderJob("libvpx-vp9", "libopus", "out.webm",
                       {{"deadline", "good"}, {"cpu-used", "5"}}),
       "libvpx-vp9"},
      {NamedEncoderJob("libtheora", "libvorbis", "out.ogg"), "libtheora"},
      {NamedEncoderJob("libaom-av1", "libopus", "out.mkv", {{"cpu-used", "8"}}), "libaom-av1"},
      {NamedEncoderJob("libsvtav1", "libopus", "out.mkv", {{"preset", "12"}}), "libsvtav1"},
      // Two at once of the library that allows one encoder at a time.
      {NamedEncoderJob("libsvtav1", "aac", "out.mp4", {{"preset", "12"}}), "libsvtav1"},
  };
  for (const auto& [job, encoder] : named) {
    if (HasEncoder(encoder)) jobs.push_back(job);
  }
  ASSERT_GE(jobs.size(), 20u);
  const fs::path folder = MakeTempFolder("parallel-families");
  const auto alone = ConvertOneByOne(jobs, folder / "alone");
  // Eight at a time, so that a small machine is not swamped.
  std::vector<TOutcome> together;
  for (size_t first = 0; first < jobs.size(); first += 8) {
    const std::vector<TJob> batch(jobs.begin() + first,
                                  jobs.begin() + std::min(first + 8, jobs.size()));
    const auto outcomes = ConvertTogether(batch, folder / ("batch-" + std::to_string(first)),
                                          std::chrono::milliseconds(50));
    together.insert(together.end(), outcomes.begin(), outcomes.end());
  }
  ExpectSameAndDecodable(jobs, alone, together, folder / "alone");
}

}  // namespace
}  // namespace veltrano
