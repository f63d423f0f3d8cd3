#include "converter/AVPreview.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "converter/DvdStream.h"
#include "converter/MessageBoxes.h"
#include "converter/StreamProtocol.h"
#include "support/DvdFixture.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

using test::fs::path;

// "red", "green", "blue" or "mixed" for the pixel (x, y).
std::string Colour(const TPreviewBitmap& bitmap, int x, int y) {
  const uint32_t p = bitmap.Pixel(x, y);
  const int r = (p >> 16) & 0xFF;
  const int g = (p >> 8) & 0xFF;
  const int b = p & 0xFF;
  if (r > 200 && g < 60 && b < 60) return "red";
  if (g > 200 && r < 60 && b < 60) return "green";
  if (b > 200 && r < 60 && g < 60) return "blue";
  return "mixed";
}

// 162x120 (a width that is no multiple of 4): red for 2 s, green for 2 s,
// blue for 2 s, a key frame every 0.2 s, starting at 1.4 s.
const path& ColourClip() {
  static const path clip = [] {
    const path file = test::TestFolder() / "colours.mkv";
    const std::string cmd =
        "ffmpeg -nostdin -hide_banner -loglevel error -y"
        " -f lavfi -i color=c=red:s=162x120:r=25:d=2"
        " -f lavfi -i color=c=lime:s=162x120:r=25:d=2"
        " -f lavfi -i color=c=blue:s=162x120:r=25:d=2"
        " -filter_complex '[0][1][2]concat=n=3:v=1:a=0' -c:v mpeg4 -q:v 2 -g 5"
        " -output_ts_offset 1.4 " +
        test::ShellQuote(file.string());
    const test::TCommandResult made = test::RunCommand(cmd);
    EXPECT_EQ(made.exit_code, 0) << made.output;
    return file;
  }();
  return clip;
}

struct TErrorRecorder {
  std::vector<std::string> errors;
  TErrorBoxHandler previous;
  TErrorRecorder() {
    previous = SetErrorBoxHandler([this](const std::string& text) { errors.push_back(text); });
  }
  ~TErrorRecorder() { SetErrorBoxHandler(previous); }
};

TEST(AVPreview, ShowsPicturesFromTheStartTimeOn) {
  TErrorRecorder recorder;
  TAVPreview preview;
  int pictures = 0;
  preview.SetOnChanged([&] { ++pictures; });
  preview.SetInputFile(ColourClip().string());
  preview.SetActive(true);
  ASSERT_TRUE(preview.Active());
  EXPECT_EQ(preview.StartTime(), 1400000);
  EXPECT_DOUBLE_EQ(preview.Timestamp(), 1.4);
  EXPECT_NEAR(preview.Duration(), 7.4, 0.1);
  EXPECT_EQ(pictures, 1);
  EXPECT_EQ(Colour(preview.Bitmap(), 80, 60), "red");

  // Times count from the start: 2.5 s is 3.9 s of the source.
  preview.SetTimestamp(2.5);
  EXPECT_DOUBLE_EQ(preview.Timestamp(), 3.9);
  EXPECT_EQ(pictures, 2);
  EXPECT_EQ(Colour(preview.Bitmap(), 80, 60), "green");
  preview.SetTimestamp(preview.Timestamp());  // the value read back: no new picture
  EXPECT_EQ(pictures, 2);
  preview.SetTimestamp(4.5);
  EXPECT_EQ(Colour(preview.Bitmap(), 80, 60), "blue");
  preview.SetTimestamp(0.5);  // backwards
  EXPECT_EQ(Colour(preview.Bitmap(), 80, 60), "red");
  EXPECT_TRUE(recorder.errors.empty());

  // Beyond the duration: the error box, and the picture stays.
  preview.SetTimestamp(100);
  ASSERT_EQ(recorder.errors.size(), 1u);
  EXPECT_EQ(recorder.errors[0], "timestamp can not be large than stream duration!");
  EXPECT_DOUBLE_EQ(preview.Timestamp(), 1.9);
  EXPECT_EQ(Colour(preview.Bitmap(), 80, 60), "red");

  // A new source closes the preview until it is activated again.
  preview.SetInputFile(ColourClip().string());
  EXPECT_FALSE(preview.Active());
  EXPECT_EQ(preview.Timestamp(), 0);
  preview.SetTimestamp(2.5);  // inactive: nothing happens
  EXPECT_EQ(pictures, 4);
}

TEST(AVPreview, OddWidthsKeepTheirRows) {
  // 162 pixels wide: top 20 rows green; below, left half red, right half blue.
  const path file = test::TestFolder() / "halves.mkv";
  const std::string cmd =
      "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
      "'color=c=red:s=162x120:r=25:d=1,drawbox=x=82:y=0:w=80:h=120:c=blue:t=fill,"
      "drawbox=x=0:y=0:w=162:h=20:c=lime:t=fill' -c:v ffv1 -pix_fmt yuv444p " +
      test::ShellQuote(file.string());
  ASSERT_EQ(test::RunCommand(cmd).exit_code, 0);

  TAVPreview preview;
  preview.SetInputFile(file.string());
  preview.SetActive(true);
  ASSERT_TRUE(preview.Active());
  const TPreviewBitmap& bitmap = preview.Bitmap();
  ASSERT_EQ(bitmap.Width(), 162);
  ASSERT_EQ(bitmap.Height(), 120);
  EXPECT_EQ(bitmap.BitsPerPixel(), 24);
  EXPECT_EQ(bitmap.Stride(), 488);  // 486 bytes padded to 4
  for (int y = 0; y < 120; ++y) {
    SCOPED_TRACE("row " + std::to_string(y));
    if (y < 18) {
      ASSERT_EQ(Colour(bitmap, 0, y), "green");
      ASSERT_EQ(Colour(bitmap, 161, y), "green");
    } else if (y >= 22) {
      ASSERT_EQ(Colour(bitmap, 0, y), "red");
      ASSERT_EQ(Colour(bitmap, 80, y), "red");
      ASSERT_EQ(Colour(bitmap, 83, y), "blue");
      ASSERT_EQ(Colour(bitmap, 161, y), "blue");
    }
  }
}

TEST(AVPreview, SourcesWithoutPicturesStayInactive) {
  TAVPreview preview;
  test::TClip tone;
  tone.video = false;
  tone.audio_codec = "pcm_s16le";
  const path wav = test::SharedClip("preview-tone.wav", tone);
  preview.SetInputFile(wav.string());
  preview.SetActive(true);
  EXPECT_FALSE(preview.Active());
  EXPECT_TRUE(preview.Bitmap().Empty());
  preview.SetInputFile("/nonexistent/file.mp4");
  preview.SetActive(true);
  EXPECT_FALSE(preview.Active());
  preview.SetInputFile("stream:987654");
  preview.SetActive(true);
  EXPECT_FALSE(preview.Active());
}

TEST(AVPreview, ShowsDvdTitlesByStreamName) {
  TErrorRecorder recorder;
  const int before = RegisteredStreamCount();
  TAVPreview preview;
  preview.SetInputFile(OpenDvdTitleStream(test::SharedDvd().folder.string(), 1));
  preview.SetActive(true);
  ASSERT_TRUE(preview.Active());
  EXPECT_EQ(RegisteredStreamCount(), before);  // the preview's input owns the stream
  EXPECT_NEAR(preview.Duration(), 6.0, 0.25);
  EXPECT_EQ(preview.Bitmap().Width(), 352);
  EXPECT_EQ(preview.Bitmap().Height(), 288);
  const std::vector<uint8_t> first(preview.Bitmap().Bits(),
                                   preview.Bitmap().Bits() + preview.Bitmap().Stride() * 288);
  // Seeking in the title shows another picture (the test pattern moves).
  preview.SetTimestamp(4.0);
  const std::vector<uint8_t> later(preview.Bitmap().Bits(),
                                   preview.Bitmap().Bits() + preview.Bitmap().Stride() * 288);
  EXPECT_NE(first, later);
  preview.SetTimestamp(1.0);
  EXPECT_EQ(recorder.errors, std::vector<std::string>());
  preview.SetActive(false);
  EXPECT_FALSE(preview.Active());
}

}  // namespace
}  // namespace veltrano
