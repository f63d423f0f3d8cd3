// Comma text and the filter chain's join rule, and locale-free numbers.
#include <gtest/gtest.h>

#include <clocale>
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

TEST(DelimitedTextTest, FilterChainJoinUsesSpaceAsTheQuote) {
  EXPECT_EQ(DelimitedText({"logo=10|20|a.png", "vflip,negate,rotate=90"}, ',', ' '),
            "logo=10|20|a.png, vflip,negate,rotate=90 ");
  EXPECT_EQ(DelimitedText({"text='two words'"}, ',', ' '), " text='two  words' ");
  EXPECT_EQ(DelimitedText({"text='中文'"}, ',', ' '), "text='中文'");
  EXPECT_EQ(DelimitedText({""}, ',', ' '), "  ");
  EXPECT_EQ(DelimitedText({}, ',', ' '), "");
}

TEST(NumberTextTest, FloatsUseFifteenDigitsAndAPointWhateverTheLocale) {
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  EXPECT_EQ(FloatToText(0.1f), "0.100000001490116");
  EXPECT_EQ(FloatToText(0.44f), "0.439999997615814");
  EXPECT_EQ(FloatToText(12.2), "12.2");
  EXPECT_EQ(FloatToText(128), "128");
  EXPECT_EQ(TextToFloat("12.2"), 12.2);
  EXPECT_EQ(TextToFloat("12,2"), 12.2);
  std::setlocale(LC_NUMERIC, previous.c_str());
  if (!german) GTEST_LOG_(INFO) << "de_DE.UTF-8 not installed; checked in the C locale only";

  EXPECT_EQ(TextToFloat("1e400"), std::nullopt);
  EXPECT_EQ(TextToFloat("nan"), std::nullopt);
  EXPECT_EQ(TextToFloat("12.2x"), std::nullopt);
  EXPECT_EQ(TextToFloat(""), std::nullopt);
}

TEST(NumberTextTest, IntegersTakeDecimalAndHexAndRefuseTheRest) {
  EXPECT_EQ(TextToInt32("42"), 42);
  EXPECT_EQ(TextToInt32(" -7 "), -7);
  EXPECT_EQ(TextToInt32("0x1F"), 31);
  EXPECT_EQ(TextToInt32("$ff"), 255);
  EXPECT_EQ(TextToInt32("2147483648"), std::nullopt);
  EXPECT_EQ(TextToInt32("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(TextToInt32("12a"), std::nullopt);
  EXPECT_EQ(TextToInt32("--1"), std::nullopt);
  EXPECT_EQ(TextToInt32(""), std::nullopt);
  EXPECT_EQ(TextToInt64("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(TextToInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(TextToInt64("9223372036854775808"), std::nullopt);
}

}  // namespace
}  // namespace veltrano
