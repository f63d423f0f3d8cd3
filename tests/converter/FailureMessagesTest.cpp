// The engine's failure messages, walked one failure after the other: each
// names a file of the conversion and the reason, the words the user sees in
// the error box and the task's log.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "converter/AVConverter.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

// A WAV file whose format tag no decoder knows.
fs::path UnknownCodecWav(const fs::path& folder) {
  const fs::path path = folder / "unknown-codec.wav";
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&out](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&out](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t data_size = 16000;
  out.write("RIFF", 4);
  u32(36 + data_size);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(0x7777);  // format tag
  u16(1);       // channels
  u32(8000);    // rate
  u32(16000);   // bytes per second
  u16(2);       // block align
  u16(16);      // bits
  out.write("data", 4);
  u32(data_size);
  out << std::string(data_size, '\x11');
  return path;
}

struct TFailure {
  std::string what;
  std::string source;
  std::string target;  // file name in the case's folder
  std::function<void(TAVConverter&)> setup;
  std::string file;    // the file the message must name: "source" or "target"
  std::string reason;  // what the message must say of the cause
};

TEST(FailureMessages, EveryFailureNamesTheFileAndTheReason) {
  const fs::path folder = test::MakeTempFolder("failure-messages");
  const std::string clip =
      test::SharedClip("failure-clip.mkv", test::AvClipSpec("mpeg4", "aac")).string();
  const std::string video_only =
      test::SharedClip("failure-video.mkv", test::VideoClipSpec("mpeg4")).string();
  const fs::path text = folder / "notes.txt";
  std::ofstream(text) << "plain words, no media\n";
  const std::vector<TFailure> failures = {
      {"a source that is no media",
       text.string(),
       "out.mp4",
       {},
       "source",
       "Invalid data found when processing input"},
      {"a source that does not exist",
       (folder / "gone.mkv").string(),
       "out.mp4",
       {},
       "source",
       "No such file or directory"},
      {"a source in a folder that does not exist",
       (folder / "nowhere/clip.mkv").string(),
       "out.mp4",
       {},
       "source",
       "文件夹 " + (folder / "nowhere").string() + " 不存在"},
      {"an audio format from a source without sound", video_only, "out.mp3",
       [](TAVConverter& c) { c.ConvertOptions().VideoOptions().SetVideoDisable(true); }, "target",
       "源文件 " + video_only + " 没有音频流"},
      {"a codec no decoder knows",
       UnknownCodecWav(folder).string(),
       "out.wav",
       {},
       "source",
       "no decoder for"},
      {"pictures the scaler cannot make", clip, "out.nut",
       [](TAVConverter& c) {
         c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("rawvideo");
         c.ConvertOptions().VideoOptions().SetFramePixFormat(AV_PIX_FMT_VAAPI);
       },
       "target", "the scaler cannot turn yuv420p pictures of"},
      {"an encoder that refuses the picture size", clip, "out.mp4",
       [](TAVConverter& c) {
         c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("libx264");
         c.ConvertOptions().VideoOptions().SetFrameWidth(161);
         c.ConvertOptions().VideoOptions().SetFrameHeight(121);
       },
       "target", "width or height ("},
      {"an unknown output format", clip, "out.mp4",
       [](TAVConverter& c) { c.ConvertOptions().SetOutputFormat("nosuchformat"); }, "target",
       "Output format nosuchformat"},
      {"a stream map that is no number", clip, "out.mkv",
       [](TAVConverter& c) { c.ConvertOptions().SetStreamMaps({"x"}); }, "target",
       "is not a valid stream map"},
      {"an encoder the library does not have", clip, "out.mkv",
       [](TAVConverter& c) {
         c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("nosuch");
       },
       "target", "Unknown Codec Name: nosuch"},
  };
  for (const TFailure& failure : failures) {
    SCOPED_TRACE(failure.what);
    const std::string target = (folder / failure.target).string();
    const auto result = test::ConvertFiles({failure.source}, {target}, failure.setup);
    ASSERT_TRUE(result.ended);
    ASSERT_FALSE(result.error.empty()) << "the conversion did not fail";
    const std::string& named = failure.file == "source" ? failure.source : target;
    EXPECT_NE(result.error.find(named), std::string::npos) << result.error;
    EXPECT_NE(result.error.find(failure.reason), std::string::npos) << result.error;
    EXPECT_EQ(result.errors, std::vector<std::string>{result.error});
  }
}

// An option value the library refuses is said with the option and the reason.
TEST(FailureMessages, AnOptionValueTheLibraryRefusesIsNamed) {
  const fs::path folder = test::MakeTempFolder("failure-option");
  const std::string clip =
      test::SharedClip("failure-clip.mkv", test::AvClipSpec("mpeg4", "aac")).string();
  const std::string target = (folder / "out.mkv").string();
  const auto result = test::ConvertFiles(
      {clip}, {target}, [](TAVConverter& c) { c.ConvertOptions().SetAdvancedOption("g", "many"); });
  ASSERT_FALSE(result.errors.empty());
  EXPECT_NE(result.errors[0].find("Invalid value for Option! g=many (" + target + ")"),
            std::string::npos)
      << result.errors[0];
  EXPECT_NE(result.errors[0].find(": "), std::string::npos) << result.errors[0];
}

}  // namespace
}  // namespace veltrano
