// A small video DVD authored at test time: MPEG-2 clips made by ffmpeg
// (PAL, 352x288, GOPs of 0.4 s so that chapter marks fall on GOP starts),
// laid out by dvdauthor, and an ISO image of it (genisoimage, with the UDF
// file system that DVD readers look for).
#pragma once

#include <string>
#include <vector>

#include "support/MediaFixture.h"

namespace veltrano::test {

struct TDvdTitleLayout {
  double seconds = 0;                  // playing time
  std::vector<double> chapter_starts;  // seconds from the title's start; the first is 0
};

struct TDvdDisc {
  fs::path folder;  // holds VIDEO_TS
  fs::path iso;     // the image; empty when genisoimage is missing
  std::string label;
  std::vector<TDvdTitleLayout> titles;

  // The length of chapter `chapter` (from 1) of title `title` (from 1).
  double ChapterSeconds(int title, int chapter) const;
};

// Two titles: 6 s with chapters at 0, 2 and 4 s; 4 s with chapters at 0 and
// 1.2 s. Authored once per test program; fails the test when the tools fail.
const TDvdDisc& SharedDvd();

}  // namespace veltrano::test
