#include "converter/DvdNavigation.h"

#include <gtest/gtest.h>

#include <map>

#include "converter/AVError.h"
#include "support/DvdFixture.h"

namespace veltrano {
namespace {

using test::SharedDvd;

void ExpectLayout(const std::vector<TDvdTitle>& titles) {
  const test::TDvdDisc& disc = SharedDvd();
  ASSERT_EQ(titles.size(), disc.titles.size());
  for (size_t t = 0; t < titles.size(); ++t) {
    const TDvdTitle& title = titles[t];
    const test::TDvdTitleLayout& layout = disc.titles[t];
    SCOPED_TRACE("title " + std::to_string(t + 1));
    EXPECT_EQ(title.index, static_cast<int>(t + 1));
    EXPECT_EQ(title.angle_count, 1);
    EXPECT_NEAR(title.Seconds(), layout.seconds, 0.1);
    ASSERT_EQ(title.list_chapter.size(), layout.chapter_starts.size());
    int64_t sum = 0;
    for (size_t c = 0; c < title.list_chapter.size(); ++c) {
      const TDvdChapter& chapter = title.list_chapter[c];
      EXPECT_EQ(chapter.index, static_cast<int>(c + 1));
      EXPECT_NEAR(chapter.duration / 90000.0,
                  disc.ChapterSeconds(static_cast<int>(t + 1), static_cast<int>(c + 1)), 0.1);
      if (c > 0) {
        EXPECT_GT(chapter.position, title.list_chapter[c - 1].position);
      }
      sum += chapter.duration;
    }
    EXPECT_EQ(title.list_chapter[0].position, 0u);
    EXPECT_GT(title.block_count, title.list_chapter.back().position);
    EXPECT_EQ(title.duration, sum);
    const int64_t whole = title.duration / 90000;
    EXPECT_EQ(title.hours * 3600 + title.minutes * 60 + title.seconds, whole);
  }
}

TEST(DvdNavigation, ScansTitlesChaptersAndDurations) {
  const std::vector<TDvdTitle> titles = ScanDvdTitles(SharedDvd().folder.string());
  ExpectLayout(titles);
  ASSERT_EQ(titles.size(), 2u);
  EXPECT_EQ(DvdTitleCaption(titles[0]), "1(00:00:06)");
  EXPECT_EQ(DvdTitleCaption(titles[1]), "2(00:00:04)");
  EXPECT_EQ(titles[0].dvd, SharedDvd().folder.string());
}

TEST(DvdNavigation, OpensTheVideoTsFolderAndTheImage) {
  const test::TDvdDisc& disc = SharedDvd();
  ExpectLayout(ScanDvdTitles((disc.folder / "VIDEO_TS").string()));
  ExpectLayout(ScanDvdTitles((disc.folder / "VIDEO_TS").string() + "/"));
  if (disc.iso.empty()) GTEST_SKIP() << "genisoimage is missing: no image to open";
  const std::vector<TDvdTitle> titles = ScanDvdTitles(disc.iso.string());
  ExpectLayout(titles);
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles[0].name, disc.label);  // the image's volume name
}

TEST(DvdNavigation, RefusesWhatIsNoDvd) {
  EXPECT_EQ(TDvdNavigation::Init("/nonexistent/disc"), nullptr);
  EXPECT_EQ(TDvdNavigation::Init(test::MakeTempFolder("empty").string()), nullptr);
  try {
    ScanDvdTitles("/nonexistent/disc");
    ADD_FAILURE() << "no error";
  } catch (const EAVError& e) {
    EXPECT_STREQ(e.what(), "打不开DVD");
  }
  std::unique_ptr<TDvdNavigation> dvd = TDvdNavigation::Init(SharedDvd().folder.string());
  ASSERT_NE(dvd, nullptr);
  EXPECT_EQ(dvd->TitleCount(), 2);
  EXPECT_FALSE(dvd->TitleScan(0));
  EXPECT_FALSE(dvd->TitleScan(3));
  EXPECT_FALSE(dvd->Start(1, 4));
  EXPECT_FALSE(dvd->Start(3, 1));
  EXPECT_EQ(dvd->Chapter(), -1);  // nothing started
}

// The next block, over the events in between; its length or what ended reading.
int ReadBlock(TDvdNavigation& dvd, std::vector<uint8_t>& block) {
  for (int step = 0; step < 1000; ++step) {
    const int n = dvd.Read(block.data());
    if (n > 0 || dvd.Chapter() < 0) return n;
  }
  return 0;
}

// Every block of a title by its position, read from the first chapter on.
std::map<uint32_t, std::vector<uint8_t>> ReadTitle(TDvdNavigation& dvd, int title) {
  std::map<uint32_t, std::vector<uint8_t>> blocks;
  EXPECT_TRUE(dvd.Start(title, 1));
  std::vector<uint8_t> block(kDvdBlockSize);
  for (int step = 0; step < 100000 && dvd.Chapter() > 0; ++step) {
    uint32_t position = 0;
    uint32_t end = 0;
    dvd.GetPosition(&position, &end);
    const int n = dvd.Read(block.data());
    if (n > 0) {
      EXPECT_EQ(n, kDvdBlockSize);
      blocks[position] = block;
    }
  }
  return blocks;
}

TEST(DvdNavigation, ReadsChaptersInOrderToTheTitleEnd) {
  std::unique_ptr<TDvdNavigation> dvd = TDvdNavigation::Init(SharedDvd().folder.string());
  ASSERT_NE(dvd, nullptr);
  const TDvdTitle title = *dvd->TitleScan(1);

  ASSERT_TRUE(dvd->Start(1, 2));
  EXPECT_EQ(dvd->Chapter(), 2);
  EXPECT_EQ(dvd->AngleCount(), 1);
  uint32_t position = 0;
  uint32_t end = 0;
  dvd->GetPosition(&position, &end);
  EXPECT_EQ(position, title.list_chapter[1].position);
  EXPECT_EQ(end, title.block_count);

  // Chapter numbers rise with the positions and reading ends in the title.
  std::vector<uint8_t> block(kDvdBlockSize);
  int last_chapter = 2;
  uint32_t blocks = 0;
  for (int step = 0; step < 100000; ++step) {
    const int chapter = dvd->Chapter();
    if (chapter < 0) break;
    EXPECT_GE(chapter, last_chapter);
    last_chapter = chapter;
    dvd->GetPosition(&position, &end);
    if (dvd->Read(block.data()) > 0) {
      ++blocks;
      const uint32_t chapter_start = title.list_chapter[static_cast<size_t>(chapter) - 1].position;
      EXPECT_GE(position, chapter_start);
    }
  }
  EXPECT_EQ(last_chapter, 3);
  EXPECT_EQ(blocks, title.block_count - title.list_chapter[1].position);
  EXPECT_EQ(dvd->Chapter(), -1);  // played past the end

  // Stopped, the title starts again.
  dvd->Stop();
  EXPECT_EQ(dvd->Chapter(), -1);
  ASSERT_TRUE(dvd->Start(1, 1));
  EXPECT_EQ(dvd->Chapter(), 1);
  EXPECT_EQ(ReadBlock(*dvd, block), kDvdBlockSize);
  dvd->Stop();
  ASSERT_TRUE(dvd->Start(2, 2));
  EXPECT_EQ(dvd->Chapter(), 2);
}

TEST(DvdNavigation, SeeksToExactBlocks) {
  std::unique_ptr<TDvdNavigation> dvd = TDvdNavigation::Init(SharedDvd().folder.string());
  ASSERT_NE(dvd, nullptr);
  const TDvdTitle title = *dvd->TitleScan(1);
  const std::map<uint32_t, std::vector<uint8_t>> blocks = ReadTitle(*dvd, 1);
  ASSERT_EQ(blocks.size(), title.block_count);

  // Inside the first VOBU, a chapter start, one block later, in later VOBUs,
  // backwards, the last block; each several times in a row.
  const uint32_t chapter3 = title.list_chapter[2].position;
  const std::vector<uint32_t> targets = {2,  1,  0,  chapter3, chapter3 + 1,          50, 50,
                                         51, 49, 44, 120,      title.block_count - 1, 7,  7};
  std::vector<uint8_t> block(kDvdBlockSize);
  for (uint32_t target : targets) {
    SCOPED_TRACE("block " + std::to_string(target));
    ASSERT_EQ(dvd->Seek(target), 1);
    uint32_t position = 0;
    uint32_t end = 0;
    dvd->GetPosition(&position, &end);
    EXPECT_EQ(position, target);
    ASSERT_EQ(dvd->Read(block.data()), kDvdBlockSize);
    EXPECT_EQ(block, blocks.at(target));
    if (target + 1 < title.block_count) {  // reading goes on from there
      dvd->GetPosition(&position, &end);
      EXPECT_EQ(position, target + 1);
      ASSERT_EQ(ReadBlock(*dvd, block), kDvdBlockSize);
      EXPECT_EQ(block, blocks.at(target + 1));
    }
  }

  // The end position leaves nothing to read; beyond it the seek fails.
  ASSERT_EQ(dvd->Seek(title.block_count), 1);
  EXPECT_EQ(dvd->Chapter(), -1);
  EXPECT_EQ(dvd->Read(block.data()), TDvdNavigation::kNoBlock);
  EXPECT_EQ(dvd->Seek(title.block_count + 1), 0);
  // And from the end back into the title.
  ASSERT_EQ(dvd->Seek(3), 1);
  EXPECT_EQ(dvd->Chapter(), 1);
  ASSERT_EQ(dvd->Read(block.data()), kDvdBlockSize);
  EXPECT_EQ(block, blocks.at(3));
}

}  // namespace
}  // namespace veltrano
