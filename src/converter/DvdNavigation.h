// The DVD navigation service: scanning a video DVD for its titles, chapters
// and angles, and reading a title's 2048-byte blocks through the disc's own
// navigation (libdvdnav), with the title tables read by libdvdread.
//
// A disc is opened from its mount point, its device node, its VIDEO_TS
// folder or an .iso image. Positions are counted in blocks from the start of
// the title's program chain, so that a chapter range is a range of positions.
// One handle is used by one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veltrano {

inline constexpr int kDvdBlockSize = 2048;

// One chapter (part of title) of a scanned title.
struct TDvdChapter {
  int index = 0;       // chapter number within its title, from 1
  int pgcn = 0;        // program chain of the title set holding it, from 1
  int pgn = 0;         // program of that chain it starts with, from 1
  int cell_start = 0;  // its cells in that chain, from 1, inclusive
  int cell_end = 0;
  uint32_t block_start = 0;  // first and last sector of those cells on the disc
  uint32_t block_end = 0;
  uint32_t position = 0;  // its first block, counted from the start of the chain
  int64_t duration = 0;   // 90 kHz ticks
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
};

// A scanned title. It stays valid after the handle that scanned it is closed.
struct TDvdTitle {
  std::string dvd;   // the path the disc was opened from
  std::string name;  // the disc's volume name; empty when it cannot be read
  int index = 0;     // title number on the disc, from 1
  int vts = 0;       // title set and the title's number inside it
  int ttn = 0;
  uint32_t block_count = 0;  // blocks of the program chain of the first chapter
  int angle_count = 1;
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int64_t duration = 0;                   // 90 kHz ticks, the sum of the chapters
  std::vector<TDvdChapter> list_chapter;  // in chapter order

  double Seconds() const { return static_cast<double>(duration) / 90000.0; }
};

class TDvdNavigation {
 public:
  // Read() results besides a block's length.
  static constexpr int kNoBlock = -1;  // no block: the chapter may have changed
  static constexpr int kAgain = 0;     // nothing yet: call again

  // Opens the disc at `path`; nullptr when it cannot be opened as a video DVD.
  static std::unique_ptr<TDvdNavigation> Init(const std::string& path);
  ~TDvdNavigation();  // closes the disc
  TDvdNavigation(const TDvdNavigation&) = delete;
  TDvdNavigation& operator=(const TDvdNavigation&) = delete;

  const std::string& Path() const;
  const std::string& VolumeName() const;

  int TitleCount() const;
  // The title with number 1..TitleCount(); nothing when its tables are unreadable.
  std::optional<TDvdTitle> TitleScan(int title);

  // Starts reading `title` at `chapter` (both from 1); false on failure.
  bool Start(int title, int chapter);
  // Angles of the started title (1 when it has no angle block).
  int AngleCount();
  // Reads `angle` (from 1) from here on.
  void SetAngle(int angle);
  // The chapter number at the read position; negative when reading is not in
  // the started title (not started, stopped, or played past its end).
  int Chapter();
  // One step of reading into `block` (kDvdBlockSize bytes): the length of the
  // block delivered, kNoBlock or kAgain.
  int Read(uint8_t* block);
  // Continues reading exactly at `block` (a position of the started title);
  // 1 on success. A seek to the end position leaves nothing more to read.
  int Seek(int64_t block);
  // The position of the next block Read delivers, and the end of the title.
  void GetPosition(uint32_t* position, uint32_t* end) const;
  // Ends reading of the started title.
  void Stop();

 private:
  struct TState;
  explicit TDvdNavigation(std::unique_ptr<TState> state);
  static bool OpenNavigation(TState& state);
  int NextEvent(uint8_t* block, uint32_t* block_position);
  bool InStartedTitle();

  std::unique_ptr<TState> state_;
};

// The titles of the disc at `path` as the wizard lists them: every title that
// scans, in number order, with the angle count of its first chapter. Throws
// EAVError "打不开DVD" when the disc cannot be opened.
std::vector<TDvdTitle> ScanDvdTitles(const std::string& path);

// "%d(%.2d:%.2d:%.2d)": the title number and its playing time.
std::string DvdTitleCaption(const TDvdTitle& title);

}  // namespace veltrano
