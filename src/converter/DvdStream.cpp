#include "converter/DvdStream.h"

#include <algorithm>
#include <array>

#include <fmt/printf.h>

#include "converter/AVError.h"

namespace veltrano {
namespace {

// Clears a flag on every way out of a scope.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagGuard() { flag_ = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

TDvdStream::TDvdStream(const TDvdTitle& title, int angle, int chapter, int through)
    : FTitle(title), FAngle(angle) {
  FDvd = TDvdNavigation::Init(FTitle.dvd);
  if (!FDvd) throw EAVError("打不开标题");
  const int count = static_cast<int>(FTitle.list_chapter.size());
  if (chapter < 1 || through < chapter || through > count) throw EAVError("Can not start chapter");
  FThrough = FTitle.list_chapter[through - 1].index;
  FChapter = FTitle.list_chapter[chapter - 1].index;

  std::array<uint8_t, kDvdBlockSize> block{};
  uint32_t end = 0;
  if (FThrough < count) {
    // The range ends where the chapter after it starts.
    if (!FDvd->Start(FTitle.index, FThrough + 1)) throw EAVError("Can not start chapter");
    Read(block.data(), kDvdBlockSize);
    FBuffer.Clear();
    FDvd->GetPosition(&FThroughPos, &end);
    FDvd->Stop();
  }
  if (!FDvd->Start(FTitle.index, FChapter)) throw EAVError("Can not start chapter");
  FPrevChapter = FChapter;
  Read(block.data(), kDvdBlockSize);  // the range's first block is skipped
  FBuffer.Clear();
  FDvd->GetPosition(&FChapterPos, &end);
  if (FThrough == count) FThroughPos = end;
  FDvd->SetAngle(FAngle);
}

TDvdStream::~TDvdStream() = default;

int TDvdStream::Read(uint8_t* buffer, int count) {
  if (count <= 0) return 0;
  if (FBuffer.Read(buffer, count)) return count;
  std::array<uint8_t, kDvdBlockSize> block{};
  for (;;) {
    const int chapter = FDvd->Chapter();
    if (FSeeking) FPrevChapter = chapter;
    if (chapter < FPrevChapter) break;  // went back: a jump out of the range
    FPrevChapter = chapter;
    if (chapter < 0 || chapter < FChapter || chapter > FThrough) break;
    // A request larger than the ring is answered with what it holds rather
    // than by dropping blocks.
    if (FBuffer.GetMaxWriteBytes() <= kDvdBlockSize) break;
    int result = TDvdNavigation::kAgain;
    while (result == TDvdNavigation::kAgain) result = FDvd->Read(block.data());
    if (result == TDvdNavigation::kNoBlock) continue;
    FBuffer.Write(block.data(), result);
    if (FBuffer.Read(buffer, count)) return count;
  }
  const int held = std::min(FBuffer.GetMaxReadBytes(), count);
  FBuffer.Read(buffer, held);
  return held;
}

void TDvdStream::ReadAndDiscard(int count) {
  std::array<uint8_t, kDvdBlockSize> scratch{};
  while (count > 0) {
    const int n = Read(scratch.data(), std::min(count, kDvdBlockSize));
    if (n <= 0) break;
    count -= n;
  }
}

int64_t TDvdStream::Seek(int64_t offset, int origin) {
  TFlagGuard seeking(FSeeking);
  FBuffer.Clear();
  if (origin != 0 || FSize == -1 || offset < 0) return -1;
  offset = std::min(offset, FSize);
  const int64_t blocks = offset / kDvdBlockSize;
  // Offset 0 is where reading began after creation, the block after the
  // range's first one; a read error while seeking refuses the seek.
  if (FDvd->Seek(FChapterPos + blocks) != 1) return -1;
  FPrevChapter = FDvd->Chapter();
  const int rest = static_cast<int>(offset % kDvdBlockSize);
  if (rest != 0) ReadAndDiscard(rest);
  return offset;
}

int64_t TDvdStream::Size() {
  FSize = FThroughPos >= FChapterPos
              ? static_cast<int64_t>(FThroughPos - FChapterPos) * kDvdBlockSize
              : -1;
  return FSize;
}

std::string OpenDvdTitleStream(const std::string& dvd_path, int title, int first_chapter,
                               int last_chapter, int angle) {
  std::unique_ptr<TDvdNavigation> dvd = TDvdNavigation::Init(dvd_path);
  if (!dvd) throw EAVError("打不开DVD");
  std::optional<TDvdTitle> scanned = dvd->TitleScan(title);
  if (!scanned) throw EAVError(fmt::sprintf("The DVD has no title %d", title));
  int angles = 1;
  if (dvd->Start(title, 1)) {
    angles = dvd->AngleCount();
    dvd->Stop();
  }
  dvd.reset();
  const int chapters = static_cast<int>(scanned->list_chapter.size());
  if (last_chapter == 0) last_chapter = chapters;
  if (first_chapter < 1 || last_chapter < first_chapter || last_chapter > chapters) {
    throw EAVError(fmt::sprintf("Chapters %d-%d are not in title %d (chapters 1-%d)", first_chapter,
                                last_chapter, title, chapters));
  }
  if (angle < 1 || angle > angles) {
    throw EAVError(fmt::sprintf("Title %d has no angle %d (angles 1-%d)", title, angle, angles));
  }
  auto stream = std::make_unique<TDvdStream>(*scanned, angle, first_chapter, last_chapter);
  return StreamName(RegisterStream(std::move(stream)));
}

}  // namespace veltrano
