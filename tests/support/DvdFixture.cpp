#include "support/DvdFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

namespace veltrano::test {
namespace {

struct TTitleSource {
  const char* video;  // lavfi source
  int tone;           // Hz
  TDvdTitleLayout layout;
};

const std::vector<TTitleSource>& TitleSources() {
  static const std::vector<TTitleSource> sources = {
      {"testsrc2", 440, {6.0, {0.0, 2.0, 4.0}}},
      {"testsrc", 880, {4.0, {0.0, 1.2}}},
  };
  return sources;
}

std::string ChapterList(const std::vector<double>& starts) {
  std::string list;
  for (double start : starts) {
    if (!list.empty()) list += ",";
    char text[32];
    std::snprintf(text, sizeof text, "0:%02d.%d", static_cast<int>(start),
                  static_cast<int>((start - static_cast<int>(start)) * 10 + 0.5));
    list += text;
  }
  return list;
}

bool HaveTool(const std::string& name) {
  return RunCommand("command -v " + name + " >/dev/null").exit_code == 0;
}

TDvdDisc Author() {
  TDvdDisc disc;
  disc.label = "Veltrano Movie";
  const fs::path work = TestFolder() / "dvd-authoring";
  fs::create_directories(work);
  std::string xml = "<dvdauthor>\n  <vmgm />\n  <titleset>\n    <titles>\n";
  int number = 0;
  for (const TTitleSource& source : TitleSources()) {
    const fs::path clip = work / ("title" + std::to_string(++number) + ".mpg");
    const std::string seconds = std::to_string(source.layout.seconds);
    const std::string cmd =
        "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i " +
        ShellQuote(std::string(source.video) + "=size=352x288:rate=25:duration=" + seconds) +
        " -f lavfi -i " +
        ShellQuote("sine=frequency=" + std::to_string(source.tone) +
                   ":sample_rate=48000:duration=" + seconds) +
        " -target pal-dvd -s 352x288 -aspect 4:3 -b:v 400k -g 10 -bf 0"
        " -sc_threshold 1000000000 -flags +cgop -c:a ac3 -b:a 64k -ac 2 " +
        ShellQuote(clip.string());
    const TCommandResult made = RunCommand(cmd);
    EXPECT_EQ(made.exit_code, 0) << cmd << "\n" << made.output;
    xml += "      <pgc><vob file=\"" + clip.string() + "\" chapters=\"" +
           ChapterList(source.layout.chapter_starts) + "\"/></pgc>\n";
    disc.titles.push_back(source.layout);
  }
  xml += "    </titles>\n  </titleset>\n</dvdauthor>\n";
  const fs::path xml_file = work / "dvd.xml";
  std::ofstream(xml_file) << xml;

  disc.folder = TestFolder() / "dvd";
  const std::string author = "VIDEO_FORMAT=PAL dvdauthor -o " + ShellQuote(disc.folder.string()) +
                             " -x " + ShellQuote(xml_file.string());
  const TCommandResult authored = RunCommand(author);
  EXPECT_EQ(authored.exit_code, 0) << author << "\n" << authored.output;

  if (HaveTool("genisoimage")) {
    disc.iso = TestFolder() / "dvd.iso";
    const std::string image = "genisoimage -quiet -dvd-video -udf -V " + ShellQuote(disc.label) +
                              " -o " + ShellQuote(disc.iso.string()) + " " +
                              ShellQuote(disc.folder.string());
    const TCommandResult imaged = RunCommand(image);
    EXPECT_EQ(imaged.exit_code, 0) << image << "\n" << imaged.output;
    if (imaged.exit_code != 0) disc.iso.clear();
  }
  return disc;
}

}  // namespace

double TDvdDisc::ChapterSeconds(int title, int chapter) const {
  const TDvdTitleLayout& layout = titles.at(static_cast<size_t>(title - 1));
  const size_t i = static_cast<size_t>(chapter - 1);
  const double end =
      i + 1 < layout.chapter_starts.size() ? layout.chapter_starts[i + 1] : layout.seconds;
  return end - layout.chapter_starts.at(i);
}

const TDvdDisc& SharedDvd() {
  static std::once_flag once;
  static TDvdDisc disc;
  std::call_once(once, [] { disc = Author(); });
  return disc;
}

}  // namespace veltrano::test
