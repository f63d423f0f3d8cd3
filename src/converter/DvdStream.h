// TDvdStream: a range of chapters of one DVD title, in one angle, as a
// read-only byte stream of 2048-byte blocks for the demuxer ("stream:N").
//
// Blocks are read through the DVD navigation service into a read-ahead ring.
// Reading ends when the navigation leaves the range's chapters or goes back to
// an earlier chapter (a jump to a menu, say); seeks are from the beginning
// only. Byte offset k * 2048 is the k-th block after the range's first block
// (that first block, a navigation pack, is skipped).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "converter/CircularBuffer.h"
#include "converter/DvdNavigation.h"
#include "converter/MessageBoxes.h"  // AskWarning and ShowErrorBox, used with DVD sources
#include "converter/StreamProtocol.h"

namespace veltrano {

class TDvdStream : public TStream {
 public:
  // The ring's size in bytes.
  static constexpr int kRingSize = 16588800;

  // Reads chapters `chapter` to `through` of `title` in `angle`, all counted
  // from 1 (chapters as positions in the title's chapter list). Throws
  // EAVError "打不开标题" when the disc cannot be opened, "Can not start
  // chapter" when a chapter of the range cannot be started.
  TDvdStream(const TDvdTitle& title, int angle, int chapter, int through);
  ~TDvdStream() override;

  int Read(uint8_t* buffer, int count) override;
  // Only seeks from the beginning; anything else returns -1.
  int64_t Seek(int64_t offset, int origin) override;
  // The range's size: its blocks times 2048, or -1 when the disc reports an
  // end before the start.
  int64_t Size() override;
  // The disc the title is read from.
  std::string SourcePath() const override { return FTitle.dvd; }

  int Chapter() const { return FChapter; }
  int Through() const { return FThrough; }
  int Angle() const { return FAngle; }

 private:
  void ReadAndDiscard(int count);

  std::unique_ptr<TDvdNavigation> FDvd;
  TDvdTitle FTitle;
  int FAngle = 1;
  int FChapter = 0;
  int FThrough = 0;
  TCircularBuffer FBuffer{kRingSize};
  int64_t FSize = 0;
  int FPrevChapter = 0;
  uint32_t FChapterPos = 0;
  uint32_t FThroughPos = 0;
  bool FSeeking = false;
};

// Opens chapters `first_chapter`..`last_chapter` (from 1; 0 for the last
// one) of title `title` of the disc at `dvd_path` in `angle` as a TDvdStream,
// registers it and returns its "stream:N" name. Throws EAVError when the disc,
// the title, the range or the angle does not exist.
std::string OpenDvdTitleStream(const std::string& dvd_path, int title, int first_chapter = 1,
                               int last_chapter = 0, int angle = 1);

}  // namespace veltrano
