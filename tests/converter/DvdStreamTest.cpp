#include "converter/DvdStream.h"

#include <gtest/gtest.h>

#include "converter/AVError.h"
#include "converter/StreamProtocol.h"
#include "support/DvdFixture.h"

namespace veltrano {
namespace {

using test::SharedDvd;

TDvdTitle Title(int index) {
  std::unique_ptr<TDvdNavigation> dvd = TDvdNavigation::Init(SharedDvd().folder.string());
  EXPECT_NE(dvd, nullptr);
  std::optional<TDvdTitle> title = dvd ? dvd->TitleScan(index) : std::nullopt;
  EXPECT_TRUE(title.has_value());
  return title.value_or(TDvdTitle());
}

// Everything the stream delivers from where it is, in reads of `chunk` bytes.
std::vector<uint8_t> ReadAll(TStream& stream, int chunk = 32768) {
  std::vector<uint8_t> data;
  std::vector<uint8_t> buffer(static_cast<size_t>(chunk));
  for (;;) {
    const int n = stream.Read(buffer.data(), chunk);
    EXPECT_GE(n, 0);
    if (n <= 0) break;
    data.insert(data.end(), buffer.begin(), buffer.begin() + n);
    if (n < chunk) {
      EXPECT_EQ(stream.Read(buffer.data(), chunk), 0);  // a short read only at the end
      break;
    }
  }
  return data;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& data, size_t from, size_t count) {
  from = std::min(from, data.size());
  count = std::min(count, data.size() - from);
  return std::vector<uint8_t>(data.begin() + from, data.begin() + from + count);
}

TEST(DvdStream, WholeTitleRunsToTheTitleEnd) {
  const TDvdTitle title = Title(1);
  TDvdStream stream(title, 1, 1, 3);
  // The range's first block is skipped; the rest runs to the title's end.
  const int64_t size = stream.Size();
  EXPECT_EQ(size, static_cast<int64_t>(title.block_count - 1) * kDvdBlockSize);
  const std::vector<uint8_t> data = ReadAll(stream);
  EXPECT_EQ(static_cast<int64_t>(data.size()), size);
  // Program stream packs, one per block.
  for (size_t at = 0; at < data.size(); at += kDvdBlockSize) {
    ASSERT_EQ(Slice(data, at, 4), (std::vector<uint8_t>{0, 0, 1, 0xBA})) << "block at " << at;
  }
}

TEST(DvdStream, RangeStopsAtItsLastChapter) {
  const TDvdTitle title = Title(1);
  TDvdStream whole(title, 1, 1, 3);
  const std::vector<uint8_t> all = ReadAll(whole);

  // Chapters 1-2 end where chapter 3 starts: a short read, then nothing.
  TDvdStream first_two(title, 1, 1, 2);
  const size_t until_three = (title.list_chapter[2].position - 1) * size_t{kDvdBlockSize};
  EXPECT_EQ(first_two.Size(), static_cast<int64_t>(until_three));
  const std::vector<uint8_t> data = ReadAll(first_two, 100000);  // not a multiple of blocks
  EXPECT_EQ(data.size(), until_three);
  EXPECT_TRUE(data == Slice(all, 0, until_three));

  // Chapter 2 alone: from the block after its first to the start of chapter 3.
  TDvdStream second(title, 1, 2, 2);
  const size_t from = title.list_chapter[1].position * size_t{kDvdBlockSize};
  const std::vector<uint8_t> chapter = ReadAll(second);
  EXPECT_EQ(static_cast<int64_t>(chapter.size()), second.Size());
  EXPECT_EQ(chapter.size(), until_three - from);
  EXPECT_TRUE(chapter == Slice(all, from, until_three - from));

  // The last chapter of the second title runs to that title's end.
  const TDvdTitle other = Title(2);
  TDvdStream last(other, 1, 2, 2);
  const size_t expected =
      (other.block_count - other.list_chapter[1].position - 1) * size_t{kDvdBlockSize};
  EXPECT_EQ(last.Size(), static_cast<int64_t>(expected));
  EXPECT_EQ(ReadAll(last).size(), expected);
}

TEST(DvdStream, SeeksFromTheBeginning) {
  const TDvdTitle title = Title(1);
  TDvdStream reference(title, 1, 1, 3);
  const std::vector<uint8_t> all = ReadAll(reference);
  ASSERT_GT(all.size(), 200000u);

  TDvdStream stream(title, 1, 1, 3);
  std::vector<uint8_t> buffer(4096);
  // Before the size is known every seek lands at 0.
  EXPECT_EQ(stream.Seek(5000, 0), 0);
  ASSERT_EQ(stream.Read(buffer.data(), 100), 100);
  EXPECT_EQ(Slice(buffer, 0, 100), Slice(all, 0, 100));

  ASSERT_EQ(stream.Size(), static_cast<int64_t>(all.size()));
  // 5000: two blocks in, 904 bytes of the third discarded.
  EXPECT_EQ(stream.Seek(5000, 0), 5000);
  ASSERT_EQ(stream.Read(buffer.data(), 4096), 4096);
  EXPECT_EQ(buffer, Slice(all, 5000, 4096));

  // Backwards to a block boundary after reading to the end: reading goes on
  // to the end again (the earlier chapter is no jump out of the range).
  EXPECT_GT(ReadAll(stream).size(), 0u);
  const size_t back = 20 * kDvdBlockSize;
  EXPECT_EQ(stream.Seek(static_cast<int64_t>(back), 0), static_cast<int64_t>(back));
  EXPECT_TRUE(ReadAll(stream) == Slice(all, back, all.size()));

  // Into the last chapter and back to the start.
  const size_t late = all.size() - 3 * kDvdBlockSize - 17;
  EXPECT_EQ(stream.Seek(static_cast<int64_t>(late), 0), static_cast<int64_t>(late));
  EXPECT_TRUE(ReadAll(stream) == Slice(all, late, all.size()));
  EXPECT_EQ(stream.Seek(0, 0), 0);
  ASSERT_EQ(stream.Read(buffer.data(), 4096), 4096);
  EXPECT_EQ(buffer, Slice(all, 0, 4096));

  // Beyond the end: limited to the size, nothing left to read.
  EXPECT_EQ(stream.Seek(static_cast<int64_t>(all.size()) + 99999, 0),
            static_cast<int64_t>(all.size()));
  EXPECT_EQ(stream.Read(buffer.data(), 4096), 0);
}

TEST(DvdStream, RefusesOtherSeeksAndEmptiesTheRing) {
  const TDvdTitle title = Title(1);
  TDvdStream reference(title, 1, 1, 3);
  const std::vector<uint8_t> all = ReadAll(reference);

  TDvdStream stream(title, 1, 1, 3);
  stream.Size();
  std::vector<uint8_t> buffer(100);
  ASSERT_EQ(stream.Read(buffer.data(), 100), 100);  // the rest of the block waits in the ring
  EXPECT_EQ(stream.Seek(0, 1), -1);
  EXPECT_EQ(stream.Seek(0, 2), -1);
  EXPECT_EQ(stream.Seek(-1, 0), -1);
  // The read-ahead is gone: the next bytes are those of the next block.
  ASSERT_EQ(stream.Read(buffer.data(), 100), 100);
  EXPECT_EQ(buffer, Slice(all, kDvdBlockSize, 100));
}

TEST(DvdStream, CreationErrors) {
  TDvdTitle title = Title(1);
  try {
    TDvdStream stream(title, 1, 1, 4);
    ADD_FAILURE() << "chapter 4 of 3 accepted";
  } catch (const EAVError& e) {
    EXPECT_STREQ(e.what(), "Can not start chapter");
  }
  EXPECT_THROW(TDvdStream(title, 1, 3, 2), EAVError);
  title.dvd = "/nonexistent/disc";
  try {
    TDvdStream stream(title, 1, 1, 3);
    ADD_FAILURE() << "no error";
  } catch (const EAVError& e) {
    EXPECT_STREQ(e.what(), "打不开标题");
  }
}

TEST(DvdStream, OpensTitleRangesByName) {
  const std::string folder = SharedDvd().folder.string();
  const int before = RegisteredStreamCount();
  const std::string name = OpenDvdTitleStream(folder, 1, 2, 3);
  EXPECT_EQ(name.rfind("stream:", 0), 0u);
  EXPECT_EQ(RegisteredStreamCount(), before + 1);
  std::unique_ptr<TStreamIO> io = OpenStreamIO(name + ".vob");  // the extension is ignored
  EXPECT_EQ(RegisteredStreamCount(), before);
  auto& stream = dynamic_cast<TDvdStream&>(io->Stream());
  EXPECT_EQ(stream.Chapter(), 2);
  EXPECT_EQ(stream.Through(), 3);

  EXPECT_THROW(OpenDvdTitleStream(folder, 3), EAVError);
  EXPECT_THROW(OpenDvdTitleStream(folder, 1, 0, 2), EAVError);
  EXPECT_THROW(OpenDvdTitleStream(folder, 1, 2, 4), EAVError);
  EXPECT_THROW(OpenDvdTitleStream(folder, 1, 1, 0, 2), EAVError);
  EXPECT_THROW(OpenDvdTitleStream("/nonexistent/disc", 1), EAVError);
  EXPECT_EQ(RegisteredStreamCount(), before);
}

}  // namespace
}  // namespace veltrano
