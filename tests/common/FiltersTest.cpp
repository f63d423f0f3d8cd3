// Filter entries of the filter-graph text and the chain's join rule.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/CFilters.h"

namespace veltrano {
namespace {

TColor Named(const std::string& name) {
  const std::vector<std::string>& names = StandardColorNames();
  const auto it = std::find(names.begin(), names.end(), name);
  EXPECT_NE(it, names.end()) << name;
  return StandardColor(static_cast<size_t>(it - names.begin()));
}

TEST(FiltersTest, LogoDoublesBackslashesOfThePath) {
  TLogoFilter logo;
  logo.SetX(10);
  logo.SetY(20);
  logo.SetLogoFile("C:\\a\\logo.png");
  EXPECT_EQ(logo.GetFilterString(), "logo=10|20|C:\\\\a\\\\logo.png");
  EXPECT_EQ(logo.GetDisplayName(), "Logo Filter");
}

TEST(FiltersTest, OverlayTextTurnsLineBreaksIntoBackslashN) {
  TOverlayTextFilter text;
  text.SetText("ab\r\ncd\r\n");
  text.SetFontFile("C:\\fonts\\simhei.ttf");
  text.SetX(5);
  text.SetY(6);
  text.SetFontSize(24);
  text.SetFontColor(Named("Yellow"));
  text.SetBgColor(Named("Blue"));
  EXPECT_EQ(text.GetFilterString(),
            "drawtext=fontfile=\\'C:\\\\fonts\\\\simhei.ttf\\'#text='ab\\ncd\\n'#x=5#y=6"
            "#fontsize=24#fgcolor=0xFFFF00FF#bgcolor=0x0000FF00");
  // Line breaks typed on this system (LF only) never reach the graph raw.
  text.SetText("ab\ncd\r");
  EXPECT_NE(text.GetFilterString().find("text='ab\\ncd\\n'"), std::string::npos);
  EXPECT_EQ(text.GetDisplayName(), "Overlay Text Filter");
}

TEST(FiltersTest, SubtitleColourIsNotPaddedAndCodePageIsOptional) {
  TSubtitleFilter subtitle;
  subtitle.SetSubtitleFile("D:\\movie.srt");
  subtitle.SetFontFile("font.ttf");
  subtitle.SetFontColor(Named("Yellow"));
  EXPECT_EQ(subtitle.GetFilterString(),
            "ass=filename$D:\\\\movie.srt#font$font.ttf#color$0xFFFF0000");
  subtitle.SetFontColor(Named("Blue"));
  subtitle.SetCodePage("GBK");
  EXPECT_EQ(subtitle.GetFilterString(),
            "ass=filename$D:\\\\movie.srt#font$font.ttf#color$0xFF00#codepage$GBK");
  EXPECT_EQ(subtitle.GetDisplayName(), "Hard Subtitle Filter");
}

TEST(FiltersTest, StandardFiltersInTheirFixedOrder) {
  TVideoStdFilter std_filter;
  EXPECT_EQ(std_filter.GetFilterString(), "");
  std_filter.SetRotate(true);
  std_filter.SetDegree(90);
  std_filter.SetNegate(true);
  std_filter.SetVerticalFilp(true);
  std_filter.SetBX(1);  // kept but not emitted while the box is off
  EXPECT_EQ(std_filter.GetFilterString(), "vflip,negate,rotate=90");

  TVideoStdFilter box;
  box.SetDrawBox(true);
  box.SetBColor("Black");
  EXPECT_EQ(box.GetFilterString(), "drawbox=0:0:0:0:Black");
  box.SetHorizontalFilip(true);
  box.SetBX(10);
  box.SetBY(20);
  box.SetBWidth(30);
  box.SetBHeight(40);
  box.SetBColor("Fuchsia");
  EXPECT_EQ(box.GetFilterString(), "hflip,drawbox=10:20:30:40:Fuchsia");
  EXPECT_EQ(box.GetDisplayName(), "Standar Filters");
}

TEST(FiltersTest, TheChainQuotesEntriesWithCommasOrSpaces) {
  TLogoFilter logo;
  logo.SetX(10);
  logo.SetY(20);
  logo.SetLogoFile("logo.png");
  TVideoStdFilter std_filter;
  std_filter.SetVerticalFilp(true);
  std_filter.SetNegate(true);
  std_filter.SetRotate(true);
  std_filter.SetDegree(90);
  TOverlayTextFilter text;
  text.SetText("你好 世界");
  EXPECT_EQ(JoinFilterEntries({logo.GetFilterString(), std_filter.GetFilterString()}),
            "logo=10|20|logo.png, vflip,negate,rotate=90 ");
  const std::string joined = JoinFilterEntries({text.GetFilterString()});
  EXPECT_EQ(joined.front(), ' ');
  EXPECT_EQ(joined.back(), ' ');
  EXPECT_NE(joined.find("text='你好  世界'"), std::string::npos);
  text.SetText("中文");
  EXPECT_EQ(JoinFilterEntries({text.GetFilterString()}), text.GetFilterString());
  EXPECT_EQ(JoinFilterEntries({}), "");
}

TEST(FiltersTest, SixteenStandardColours) {
  ASSERT_EQ(StandardColorNames().size(), 16u);
  EXPECT_EQ(StandardColorNames().front(), "Black");
  EXPECT_EQ(StandardColorNames().back(), "White");
  EXPECT_EQ(Named("Red"), 0x0000FFu);  // red in the low byte
  EXPECT_EQ(Named("Navy"), 0x800000u);
  EXPECT_EQ(Named("Silver"), 0xC0C0C0u);
}

}  // namespace
}  // namespace veltrano
