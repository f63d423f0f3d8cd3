// Comma text and the filter chain's join rule, and locale-free numbers.
#include <gtest/gtest.h>

#include <limits>

#include "converter/NumberText.h"
#include "converter/TextLists.h"

namespace veltrano {
namespace {

TEST(CommaTextTest, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(CommaText({"maxrate=1000000", "qmin=3", "bufsize=4096k"}),
            "maxrate=1000000,qmin=3,bufsize=4096k");
  EXPECT_EQ(CommaText({"a b", "c,d", "say \"hi\"", "tab\there", "中文=值"}),
            "\"a b\",\"c,d\",\"say \"\"hi\"\"\",\"tab\there\",中文=值");
  EXPECT_EQ(CommaText({}), "");
  EXPECT_EQ(CommaText({""}), "\"\"");
  EXPECT_EQ(CommaText({"", ""}), ",");
}

TEST(CommaTextTest, ReadingSplitsAtCommasAndUnquotedBlanks) {
  EXPECT_EQ(ParseCommaText("qmin=3 qmax=5"), (TStrings{"qmin=3", "qmax=5"}));
  EXPECT_EQ(ParseCommaText("  a ,  b  "), (TStrings{"a", "b"}));
  EXPECT_EQ(ParseCommaText("a,,b"), (TStrings{"a", "", "b"}));
  EXPECT_EQ(ParseCommaText("a,"), (TStrings{"a", ""}));
  EXPECT_EQ(ParseCommaText(""), TStrings{});
  EXPECT_EQ(ParseCommaText("\"\""), TStrings{""});
  EXPECT_EQ(ParseCommaText("\"unterminated"), TStrings{"unterminated"});
  EXPECT_EQ(ParseCommaText(std::string("a\0b,c", 5)), TStrings{"a"});
}

TEST(CommaTextTest, RoundTripsAwkwardLines) {
  const std::vector<TStrings> lists{
      {"x=\"quoted value\"", "y=a,b", " lead", "trail ", "中文 空格"},
      {""},
      {"", "", ""},
      {"\"", "\"\"", ","},
  };
  for (const TStrings& lines : lists) EXPECT_EQ(ParseCommaText(CommaText(lines)), lines);
}

TEST(NumberTextTest, StoredNumbersParseStrictly) {
  EXPECT_EQ(FloatToText(0.1f), "0.100000001490116");
  EXPECT_EQ(FloatToText(12.2), "12.2");
  EXPECT_EQ(TextToFloat("12,2"), 12.2);
  EXPECT_EQ(TextToFloat("1e400"), std::nullopt);
  EXPECT_EQ(TextToFloat("nan"), std::nullopt);
  EXPECT_EQ(TextToFloat("12.2x"), std::nullopt);
  EXPECT_EQ(TextToInt32("0x1F"), 31);
  EXPECT_EQ(TextToInt32("$ff"), 255);
  EXPECT_EQ(TextToInt32("2147483648"), std::nullopt);
  EXPECT_EQ(TextToInt32("--1"), std::nullopt);
  EXPECT_EQ(TextToInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(TextToInt64("9223372036854775808"), std::nullopt);
}

}  // namespace
}  // namespace veltrano
