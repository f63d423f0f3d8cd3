// The media binding's formatting helpers and its idempotent loading.
#include <gtest/gtest.h>

#include "converter/AVLib.h"

namespace veltrano {
namespace {

TEST(AVLib, TimeTextsAndColours) {
  EXPECT_EQ(SecondsToTimeText(0.0), "00:00:00.000");
  EXPECT_EQ(SecondsToTimeText(3725.5), "01:02:05.500");
  EXPECT_EQ(SecondsToTimeText(59.9999), "00:00:59.999");  // milliseconds are cut, not rounded
  EXPECT_EQ(SecondsToTimeText(90000), "25:00:00.000");
  EXPECT_EQ(SecondsToClockText(59), "0:0:59");
  EXPECT_EQ(SecondsToClockText(3725), "1:2:5");
  EXPECT_EQ(SecondsToClockText(362439), "100:40:39");
  EXPECT_EQ(SwapRedBlue(0xFF112233u), 0x00332211u);
  EXPECT_EQ(SwapRedBlue(SwapRedBlue(0x00ABCDEFu)), 0x00ABCDEFu);
}

TEST(AVLib, LoadingTwiceLoadsOnceAndUnloadingClears) {
  LoadMediaLibraries();
  LoadMediaLibraries();
  EXPECT_TRUE(MediaLibrariesLoaded());
  UnloadMediaLibraries();
  UnloadMediaLibraries();
  EXPECT_FALSE(MediaLibrariesLoaded());
  LoadMediaLibraries();
  EXPECT_TRUE(MediaLibrariesLoaded());
}

}  // namespace
}  // namespace veltrano
