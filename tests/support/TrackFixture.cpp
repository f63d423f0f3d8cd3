#include "support/TrackFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "support/MediaFixture.h"

namespace veltrano::test {

std::filesystem::path MultiTrackClip() {
  static std::mutex mutex;
  static std::filesystem::path made;
  std::lock_guard lock(mutex);
  if (!made.empty()) return made;
  const fs::path folder = MakeTempFolder("tracks");
  const fs::path subtitles = folder / "lines.srt";
  std::ofstream(subtitles) << "1\n00:00:00,200 --> 00:00:00,900\n第一行\n\n"
                              "2\n00:00:01,000 --> 00:00:01,800\n第二行\n";
  const fs::path clip = folder / "tracks.mkv";
  const std::string command =
      "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
      "-f lavfi -i sine=f=440:r=44100:d=2 -f lavfi -i sine=f=880:r=22050:d=2 -i " +
      ShellQuote(subtitles.string()) +
      " -map 0 -map 1 -map 2 -map 3 -c:v libx264 -pix_fmt yuv420p -c:a aac -ac:a:1 2 "
      "-c:s srt -metadata:s:a:0 language=eng -metadata:s:a:1 language=fra "
      "-metadata:s:a:1 title=Commentary -metadata:s:s:0 language=chi " +
      ShellQuote(clip.string());
  const TCommandResult result = RunCommand(command);
  EXPECT_EQ(result.exit_code, 0) << command << "\n" << result.output;
  made = clip;
  return made;
}

}  // namespace veltrano::test
