// The system's filter entries change the picture exactly as the library's
// filters do when the ffmpeg command line applies them with the same values.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/CFilters.h"
#include "converter/AVConverter.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeTempFolder;
using test::ShellQuote;

const std::string kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

fs::path Source() {
  test::TClip clip = test::VideoClipSpec("ffv1");  // lossless: both sides decode the same pictures
  clip.seconds = 0.4;
  return test::SharedClip("filters.mkv", clip);
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Raw pictures of Source() through our entry and through ffmpeg's -vf.
void ExpectSamePictures(const std::string& entry, const std::string& ffmpeg_filter,
                        const fs::path& folder, const std::string& name) {
  const fs::path ours = folder / (name + "-ours.yuv");
  const fs::path theirs = folder / (name + "-ffmpeg.yuv");
  const auto result = test::ConvertFiles({Source().string()}, {ours.string()}, [&](TAVConverter& c) {
    c.ConvertOptions().FilterOptions().SetVideoFilters(JoinFilterEntries({entry}));
  });
  ASSERT_TRUE(result.Ok()) << name << ": " << result.error;
  const auto made = test::RunCommand("ffmpeg -nostdin -loglevel error -y -i " +
                                     ShellQuote(Source().string()) + " -filter_complex " +
                                     ShellQuote(ffmpeg_filter) + " -f rawvideo -pix_fmt yuv420p " +
                                     ShellQuote(theirs.string()));
  ASSERT_EQ(made.exit_code, 0) << made.output;
  const std::string a = FileBytes(ours);
  const std::string b = FileBytes(theirs);
  ASSERT_EQ(a.size(), b.size()) << name;
  EXPECT_TRUE(a == b) << name << ": the pictures differ";
  const fs::path plain = folder / "plain.yuv";
  if (!fs::exists(plain)) {
    ASSERT_TRUE(test::ConvertFiles({Source().string()}, {plain.string()}).Ok());
  }
  EXPECT_NE(a, FileBytes(plain)) << name << ": the filter changed nothing";
}

TEST(FilterGraph, StandardEntriesMatchTheLibrarysFilters) {
  const fs::path folder = MakeTempFolder("std-filters");
  ExpectSamePictures("vflip", "vflip", folder, "vflip");
  ExpectSamePictures("hflip,negate", "hflip,negate", folder, "hflip-negate");
  ExpectSamePictures("drawbox=10:20:50:40:Fuchsia", "drawbox=x=10:y=20:w=50:h=40:color=Fuchsia",
                     folder, "drawbox");
  ExpectSamePictures("rotate=90",
                     "rotate=a=PI/2:ow='2*ceil(rotw(PI/2)/2)':oh='2*ceil(roth(PI/2)/2)'", folder,
                     "rotate");
}

TEST(FilterGraph, LogoTextAndSubtitlesDrawWhatTheirEntriesSay) {
  const fs::path folder = MakeTempFolder("drawn");
  // A logo whose name holds every character that means something to a graph.
  const fs::path logo = folder / "logo 'a,b;c[d]:e\\f 标志.png";
  const auto made_logo = test::RunCommand(
      "ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=red:size=32x16 -frames:v 1 " +
      ShellQuote(logo.string()));
  ASSERT_EQ(made_logo.exit_code, 0) << made_logo.output;
  fs::copy_file(logo, folder / "plain-logo.png");
  TLogoFilter logo_filter;
  logo_filter.SetX(10);
  logo_filter.SetY(20);
  logo_filter.SetLogoFile(logo.string());
  ExpectSamePictures(logo_filter.GetFilterString(),
                     "movie=" + (folder / "plain-logo.png").string() + "[l];[0:v][l]overlay=x=10:y=20",
                     folder, "logo");

  TOverlayTextFilter text;
  text.SetFontFile(kFont);
  text.SetText("It's 100% \"quoted\": a,b;[c]");
  text.SetX(5);
  text.SetY(30);
  text.SetFontSize(14);
  text.SetFontColor(0x00FFFF);  // yellow, red in the low byte
  ExpectSamePictures(text.GetFilterString(),
                     "drawtext=fontfile=" + kFont +
                         ":textfile=" + [&] {
                           const fs::path file = folder / "text.txt";
                           std::ofstream(file) << "It's 100% \"quoted\": a,b;[c]";
                           return file.string();
                         }() + ":expansion=none:x=5:y=30:fontsize=14:fontcolor=0xFFFF00FF",
                     folder, "text");

  const fs::path srt = folder / "字幕.srt";
  std::ofstream(srt) << "1\n00:00:00,000 --> 00:00:05,000\nHello 你好\n";
  fs::copy_file(srt, folder / "plain.srt");
  TSubtitleFilter subtitles;
  subtitles.SetSubtitleFile(srt.string());
  subtitles.SetFontFile(kFont);
  subtitles.SetFontColor(0x00FFFF);
  ExpectSamePictures(subtitles.GetFilterString(),
                     "subtitles=filename=" + (folder / "plain.srt").string() + ":fontsdir=" +
                         fs::path(kFont).parent_path().string() +
                         ":force_style='FontName=DejaVu Sans,PrimaryColour=&H0000FFFF'",
                     folder, "subtitles");
}

TEST(FilterGraph, AMissingLogoEndsTheConversionWithItsName) {
  const fs::path out = MakeTempFolder("missing") / "out.mkv";
  const auto result = test::ConvertFiles({Source().string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().FilterOptions().SetVideoFilters("logo=1|2|/no/such/logo.png");
  });
  // The engine names the conversion's files after a message that names none of them.
  EXPECT_EQ(result.error, "The logo file \"/no/such/logo.png\" does not exist (" +
                              Source().string() + " → " + out.string() + ")");
  EXPECT_EQ(result.errors.size(), 1u);
}

}  // namespace
}  // namespace veltrano
