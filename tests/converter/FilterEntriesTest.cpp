// The stored filter chain: joining and splitting, and its translation into a
// filter graph that carries file names and texts unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/CFilters.h"
#include "converter/AVError.h"
#include "converter/FilterEntries.h"
#include "support/MediaFixture.h"

extern "C" {
#include <libavfilter/avfilter.h>
}

namespace veltrano {
namespace {

namespace fs = std::filesystem;

TEST(FilterEntries, SplitIsTheInverseOfJoin) {
  const std::vector<TStrings> lists{
      {"negate"},
      {"logo=1|2|/a b/c.png", "vflip,hflip", "drawtext=fontfile=\\'x\\'#text='a  ,b'#x=1"},
      {"  leading", "trailing  ", "a,,b"},
      {"", "x"},
  };
  for (const TStrings& list : lists) {
    EXPECT_EQ(SplitFilterEntries(JoinFilterEntries(list)), list) << JoinFilterEntries(list);
  }
}

// Parses `description` into a graph between a test source and a sink.
bool GraphParses(const std::string& description) {
  AVFilterGraph* graph = avfilter_graph_alloc();
  AVFilterInOut* inputs = nullptr;
  AVFilterInOut* outputs = nullptr;
  const int ret = avfilter_graph_parse2(graph, description.c_str(), &inputs, &outputs);
  const bool ok = ret >= 0 && inputs != nullptr && outputs != nullptr &&
                  std::string(inputs->name) == "in" && std::string(outputs->name) == "out" &&
                  inputs->next == nullptr && outputs->next == nullptr;
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  avfilter_graph_free(&graph);
  return ok;
}

TEST(FilterEntries, EveryEntryTranslatesIntoOneChainFromInToOut) {
  const fs::path folder = test::MakeTempFolder("entries");
  const fs::path logo = folder / "logo.png";
  std::ofstream(logo) << "x";
  const fs::path subtitle = folder / "a.srt";
  std::ofstream(subtitle) << "1\n00:00:00,000 --> 00:00:01,000\nHi\n";
  const std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  ASSERT_TRUE(fs::exists(font));
  const TStrings entries{
      "logo=10|20|" + logo.string(),
      "drawtext=fontfile=\\'" + font + "\\'#text='ab\\ncd\\n'#x=1#y=2#fontsize=20#fgcolor=0xFFFF00FF#bgcolor=0x0000FF00",
      "ass=filename$" + subtitle.string() + "#font$" + font + "#color$0xFFFF0000#codepage$GBK",
      "vflip,hflip,drawbox=1:2:30:40:Red,negate,rotate=90",
  };
  const std::string graph = TranslateVideoFilters(JoinFilterEntries(entries));
  EXPECT_TRUE(GraphParses(graph)) << graph;
  EXPECT_NE(graph.find("overlay=x=10:y=20"), std::string::npos);
  EXPECT_NE(graph.find("fontcolor=0xFFFF00FF"), std::string::npos);
  EXPECT_NE(graph.find("charenc="), std::string::npos);
  EXPECT_NE(graph.find("PrimaryColour=&H0000FFFF"), std::string::npos);
  EXPECT_NE(graph.find("FontName=DejaVu Sans"), std::string::npos);
  EXPECT_NE(graph.find("drawbox=x=1:y=2:w=30:h=40:color=Red"), std::string::npos);
  EXPECT_NE(graph.find("rotate=a=1.5707963267948966"), std::string::npos);
}

TEST(FilterEntries, HostileNamesAndTextsStayInsideTheirValues) {
  const fs::path folder = test::MakeTempFolder("hostile");
  const fs::path logo = folder / "a'b,c;[d]:e\\f 中文=g%.png";
  std::ofstream(logo) << "x";
  // Stored entries carry paths with their backslashes doubled.
  std::string stored_path;
  for (char c : logo.string()) stored_path += c == '\\' ? std::string("\\\\") : std::string(1, c);
  const std::string graph = TranslateVideoFilters(JoinFilterEntries({"logo=0|0|" + stored_path}));
  EXPECT_TRUE(GraphParses(graph)) << graph;
  // The movie source is the only extra filter: the name injected nothing.
  EXPECT_EQ(graph.find("negate"), std::string::npos);

  const std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  const std::string text = "it's [x]; a,b:c \\\\ 100% 中文";
  const std::string entry = "drawtext=fontfile=\\'" + font + "\\'#text='" + text +
                            "'#x=0#y=0#fontsize=12#fgcolor=0x000000FF#bgcolor=0x00000000";
  EXPECT_TRUE(GraphParses(TranslateVideoFilters(JoinFilterEntries({entry}))));
}

TEST(FilterEntries, MissingFilesAndUnknownEntriesFailWithAMessage) {
  try {
    TranslateVideoFilters("logo=1|2|/no/such/logo.png");
    FAIL();
  } catch (const EAVError& e) {
    EXPECT_STREQ(e.what(), "The logo file \"/no/such/logo.png\" does not exist");
  }
  EXPECT_THROW(TranslateVideoFilters("ass=filename$/no/such.srt#font$#color$0xFF00"), EAVError);
  EXPECT_THROW(TranslateVideoFilters("drawtext=fontfile=\\'/no/font.ttf\\'#text='a'#x=0#y=0#"
                                     "fontsize=9#fgcolor=0x000000FF#bgcolor=0x00000000"),
               EAVError);
  EXPECT_THROW(TranslateVideoFilters("movie=/etc/passwd"), EAVError);
  EXPECT_THROW(TranslateVideoFilters("rotate=ninety"), EAVError);
}

}  // namespace
}  // namespace veltrano
