#include "converter/DvdNavigation.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fmt/printf.h>

extern "C" {
#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#include <libavutil/log.h>
}

#include "converter/AVError.h"

namespace veltrano {
namespace {

// Bounds the event loops of a seek: far more steps than a chapter's first
// VOBU or a title's navigation ever needs, so a damaged disc cannot hang us.
constexpr int kMaxSeekSteps = 1 << 20;

// The libraries' messages go to the media library's log (and from there to
// the log of the conversion whose thread reads the disc). They report every
// probing step that does not apply ("not a DVD-ROM device" for a folder, "no
// CSS library" for a plain disc), so even their errors are details: what
// matters reaches the user as this system's own messages.
void LogMessage(int level, const char* format, va_list args) {
  const int av_level = level == DVD_LOGGER_LEVEL_ERROR || level == DVD_LOGGER_LEVEL_WARN
                           ? AV_LOG_VERBOSE
                           : AV_LOG_DEBUG;
  if (av_log_get_level() < av_level) return;
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  av_log(nullptr, av_level, "dvd: %s\n", text);
}

void LogReader(void*, dvd_logger_level_t level, const char* format, va_list args) {
  LogMessage(static_cast<int>(level), format, args);
}

void LogNavigation(void*, dvdnav_logger_level_t level, const char* format, va_list args) {
  LogMessage(static_cast<int>(level), format, args);
}

const dvd_logger_cb kReaderLogger = {&LogReader};
const dvdnav_logger_cb kNavigationLogger = {&LogNavigation};

int FromBcd(uint8_t value) {
  return (value >> 4) * 10 + (value & 0x0F);
}

// A playback time of the title tables in 90 kHz ticks.
int64_t Ticks(const dvd_time_t& time) {
  int64_t ticks =
      (FromBcd(time.hour) * 3600LL + FromBcd(time.minute) * 60LL + FromBcd(time.second)) * 90000;
  const int frames = FromBcd(time.frame_u & 0x3F);
  switch ((time.frame_u & 0xC0) >> 6) {
    case 1:  // 25 frames per second
      ticks += frames * 3600LL;
      break;
    case 3:  // 29.97 frames per second
      ticks += frames * 3003LL;
      break;
    default:
      break;
  }
  return ticks;
}

void SplitTicks(int64_t ticks, int& hours, int& minutes, int& seconds) {
  const int64_t total = ticks / 90000;
  hours = static_cast<int>(total / 3600);
  minutes = static_cast<int>((total / 60) % 60);
  seconds = static_cast<int>(total % 60);
}

uint32_t CellLength(const cell_playback_t& cell) {
  return cell.last_sector - cell.first_sector + 1;
}

// Only the first cell of an angle block counts towards the playing time.
bool CountsForDuration(const cell_playback_t& cell) {
  return cell.block_type != BLOCK_TYPE_ANGLE_BLOCK || cell.block_mode == BLOCK_MODE_FIRST_CELL;
}

std::string VolumeNameOf(dvd_reader_t* reader) {
  char name[33] = {0};
  if (DVDUDFVolumeInfo(reader, name, sizeof name, nullptr, 0) == 0 && name[0] != 0) return name;
  std::memset(name, 0, sizeof name);
  if (DVDISOVolumeInfo(reader, name, sizeof name, nullptr, 0) == 0) {
    std::string text = name;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  return std::string();
}

struct IfoDeleter {
  void operator()(ifo_handle_t* ifo) const { ifoClose(ifo); }
};
using IfoPtr = std::unique_ptr<ifo_handle_t, IfoDeleter>;

// Fills the chapters of `title` from its title set's tables; false when the
// tables do not describe them.
bool ScanChapters(ifo_handle_t* vts, TDvdTitle& title) {
  if (vts->vts_ptt_srpt == nullptr || vts->vts_pgcit == nullptr) return false;
  if (title.ttn < 1 || title.ttn > vts->vts_ptt_srpt->nr_of_srpts) return false;
  const ttu_t& parts = vts->vts_ptt_srpt->title[title.ttn - 1];
  for (int i = 0; i < parts.nr_of_ptts; ++i) {
    const ptt_info_t& part = parts.ptt[i];
    if (part.pgcn < 1 || part.pgcn > vts->vts_pgcit->nr_of_pgci_srp) return false;
    const pgc_t* pgc = vts->vts_pgcit->pgci_srp[part.pgcn - 1].pgc;
    if (pgc == nullptr || pgc->program_map == nullptr || pgc->cell_playback == nullptr)
      return false;
    if (part.pgn < 1 || part.pgn > pgc->nr_of_programs) return false;

    TDvdChapter chapter;
    chapter.index = i + 1;
    chapter.pgcn = part.pgcn;
    chapter.pgn = part.pgn;
    chapter.cell_start = pgc->program_map[part.pgn - 1];
    chapter.cell_end =
        part.pgn < pgc->nr_of_programs ? pgc->program_map[part.pgn] - 1 : pgc->nr_of_cells;
    if (chapter.cell_start < 1 || chapter.cell_end > pgc->nr_of_cells ||
        chapter.cell_start > chapter.cell_end) {
      return false;
    }
    for (int c = 1; c < chapter.cell_start; ++c)
      chapter.position += CellLength(pgc->cell_playback[c - 1]);
    for (int c = chapter.cell_start; c <= chapter.cell_end; ++c) {
      const cell_playback_t& cell = pgc->cell_playback[c - 1];
      if (CountsForDuration(cell)) chapter.duration += Ticks(cell.playback_time);
    }
    chapter.block_start = pgc->cell_playback[chapter.cell_start - 1].first_sector;
    chapter.block_end = pgc->cell_playback[chapter.cell_end - 1].last_sector;
    SplitTicks(chapter.duration, chapter.hours, chapter.minutes, chapter.seconds);
    title.duration += chapter.duration;
    title.list_chapter.push_back(chapter);
  }
  if (title.list_chapter.empty()) return false;

  const pgc_t* first = vts->vts_pgcit->pgci_srp[title.list_chapter[0].pgcn - 1].pgc;
  for (int c = 1; c <= first->nr_of_cells; ++c)
    title.block_count += CellLength(first->cell_playback[c - 1]);
  SplitTicks(title.duration, title.hours, title.minutes, title.seconds);
  return true;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

struct DvdReaderDeleter {
  void operator()(dvd_reader_t* reader) const { DVDClose(reader); }
};
struct DvdNavDeleter {
  void operator()(dvdnav_t* nav) const { dvdnav_close(nav); }
};

struct TDvdNavigation::TState {
  std::string path;
  std::string volume_name;
  // Declared in the order that closes the title tables, the navigation and
  // then the reader they were read with.
  std::unique_ptr<dvd_reader_t, DvdReaderDeleter> reader;
  IfoPtr vmg;
  std::unique_ptr<dvdnav_t, DvdNavDeleter> nav;

  std::optional<TDvdTitle> title;  // the started title
  bool started = false;
  bool ended = false;  // played past the title, stopped by the disc, or failed
  bool stopped = false;  // the disc's playback stopped: the navigation must be opened anew
  uint32_t next_position = 0;
  uint32_t end_position = 0;
  std::array<uint8_t, kDvdBlockSize> pending{};  // read ahead by Seek
  int pending_length = 0;
};

// Opens (or opens again) the navigation of `state.path`.
bool TDvdNavigation::OpenNavigation(TState& state) {
  state.nav.reset();
  dvdnav_t* opened = nullptr;
  if (dvdnav_open2(&opened, nullptr, &kNavigationLogger, state.path.c_str()) != DVDNAV_STATUS_OK) {
    return false;
  }
  state.nav.reset(opened);
  dvdnav_set_readahead_flag(opened, 1);
  // Positions count from the start of the program chain, not of the program.
  dvdnav_set_PGC_positioning_flag(opened, 1);
  return true;
}

std::unique_ptr<TDvdNavigation> TDvdNavigation::Init(const std::string& path) {
  auto state = std::make_unique<TState>();
  state->path = WithoutTrailingSlashes(path);
  // libdvdread leaks its context when the path does not exist: ask first.
  std::error_code error;
  if (state->path.empty() || !std::filesystem::exists(state->path, error)) return nullptr;
  state->reader.reset(DVDOpen2(nullptr, &kReaderLogger, state->path.c_str()));
  if (!state->reader) return nullptr;
  state->vmg.reset(ifoOpen(state->reader.get(), 0));
  if (!state->vmg || state->vmg->tt_srpt == nullptr) return nullptr;
  if (!OpenNavigation(*state)) return nullptr;
  state->volume_name = VolumeNameOf(state->reader.get());
  return std::unique_ptr<TDvdNavigation>(new TDvdNavigation(std::move(state)));
}

TDvdNavigation::TDvdNavigation(std::unique_ptr<TState> state) : state_(std::move(state)) {}
TDvdNavigation::~TDvdNavigation() = default;

const std::string& TDvdNavigation::Path() const {
  return state_->path;
}
const std::string& TDvdNavigation::VolumeName() const {
  return state_->volume_name;
}

int TDvdNavigation::TitleCount() const {
  return state_->vmg->tt_srpt->nr_of_srpts;
}

std::optional<TDvdTitle> TDvdNavigation::TitleScan(int index) {
  if (index < 1 || index > TitleCount()) return std::nullopt;
  const title_info_t& info = state_->vmg->tt_srpt->title[index - 1];
  TDvdTitle title;
  title.dvd = state_->path;
  title.name = state_->volume_name;
  title.index = index;
  title.vts = info.title_set_nr;
  title.ttn = info.vts_ttn;
  title.angle_count = info.nr_of_angles > 0 ? info.nr_of_angles : 1;
  IfoPtr vts(ifoOpen(state_->reader.get(), title.vts));
  if (!vts || !ScanChapters(vts.get(), title)) return std::nullopt;
  return title;
}

bool TDvdNavigation::Start(int title, int chapter) {
  TState& s = *state_;
  if (!s.title || s.title->index != title) {
    s.title = TitleScan(title);
    if (!s.title) return false;
  }
  if (chapter < 1 || chapter > static_cast<int>(s.title->list_chapter.size())) return false;
  // Playback that ran off the end of the disc leaves the navigation stopped
  // for good: a fresh one plays again (a seek back after reading the last
  // title to its end needs this).
  if (s.stopped) {
    if (!OpenNavigation(s)) return false;
    s.stopped = false;
  }
  if (dvdnav_part_play(s.nav.get(), title, chapter) != DVDNAV_STATUS_OK) return false;
  s.started = true;
  s.ended = false;
  s.pending_length = 0;
  s.next_position = s.title->list_chapter[chapter - 1].position;
  s.end_position = s.title->block_count;
  return true;
}

int TDvdNavigation::AngleCount() {
  int32_t current = 0;
  int32_t count = 0;
  if (state_->started &&
      dvdnav_get_angle_info(state_->nav.get(), &current, &count) == DVDNAV_STATUS_OK && count > 0) {
    return count;
  }
  return state_->title ? state_->title->angle_count : 1;
}

void TDvdNavigation::SetAngle(int angle) {
  dvdnav_angle_change(state_->nav.get(), angle);
}

bool TDvdNavigation::InStartedTitle() {
  int32_t title = 0;
  int32_t part = 0;
  return dvdnav_current_title_info(state_->nav.get(), &title, &part) == DVDNAV_STATUS_OK &&
         title == state_->title->index;
}

int TDvdNavigation::Chapter() {
  TState& s = *state_;
  if (!s.started || s.ended) return -1;
  int32_t title = 0;
  int32_t part = 0;
  if (dvdnav_current_title_info(s.nav.get(), &title, &part) != DVDNAV_STATUS_OK) return -1;
  if (title != s.title->index || part < 1) return -1;
  return part;
}

int TDvdNavigation::NextEvent(uint8_t* block, uint32_t* block_position) {
  TState& s = *state_;
  int32_t event = 0;
  int32_t length = 0;
  if (dvdnav_get_next_block(s.nav.get(), block, &event, &length) != DVDNAV_STATUS_OK) {
    s.ended = true;  // a read error ends the title
    return kNoBlock;
  }
  switch (event) {
    case DVDNAV_BLOCK_OK:
    case DVDNAV_NAV_PACKET: {  // navigation packs are part of the program stream
      uint32_t position = 0;
      uint32_t end = 0;
      if (dvdnav_get_position(s.nav.get(), &position, &end) == DVDNAV_STATUS_OK) {
        *block_position = position;
        s.end_position = end;
      } else {
        *block_position = s.next_position;
      }
      return length;
    }
    case DVDNAV_STILL_FRAME:
      dvdnav_still_skip(s.nav.get());
      return kAgain;
    case DVDNAV_WAIT:
      dvdnav_wait_skip(s.nav.get());
      return kAgain;
    case DVDNAV_STOP:
      s.ended = true;
      s.stopped = true;
      return kNoBlock;
    default:
      // Cells, programs and domains change only at events: the disc may have
      // left the title (for a menu or another title).
      if (!InStartedTitle()) s.ended = true;
      return kNoBlock;
  }
}

int TDvdNavigation::Read(uint8_t* block) {
  TState& s = *state_;
  if (s.pending_length > 0) {
    std::memcpy(block, s.pending.data(), static_cast<size_t>(s.pending_length));
    const int length = s.pending_length;
    s.pending_length = 0;
    ++s.next_position;
    return length;
  }
  if (!s.started || s.ended) return kNoBlock;
  uint32_t position = 0;
  const int result = NextEvent(block, &position);
  if (result > 0) s.next_position = position + 1;
  return result;
}

int TDvdNavigation::Seek(int64_t block) {
  TState& s = *state_;
  if (!s.title || block < 0 || block > s.end_position) return 0;
  const std::vector<TDvdChapter>& chapters = s.title->list_chapter;
  s.pending_length = 0;
  if (block == s.end_position) {
    s.started = true;
    s.ended = true;
    s.next_position = s.end_position;
    return 1;
  }
  // The chapter holding the block, among those of the first program chain.
  const TDvdChapter* chapter = &chapters[0];
  for (const TDvdChapter& c : chapters) {
    if (c.pgcn == chapters[0].pgcn && c.position <= block) chapter = &c;
  }
  const auto target = static_cast<uint32_t>(block);

  // Reads blocks until the one at `target` is held as the pending block.
  auto skip_to_target = [&](uint32_t position, int length) {
    for (int step = 0; step < kMaxSeekSteps; ++step) {
      // Positions count the cells of every angle but only one angle is read:
      // a target in another angle's cell lands on the next block read.
      if (length > 0 && position >= target) {
        s.pending_length = length;
        s.next_position = position;
        return true;
      }
      length = NextEvent(s.pending.data(), &position);
      if (s.ended) return false;
    }
    return false;
  };
  // The navigation knows its position only once it has read a block, and a
  // sector search within the VOBU being read goes on to the next VOBU; so play
  // the chapter, then search when the target lies beyond its first VOBU.
  auto play_chapter = [&](uint32_t& position) {
    if (!Start(s.title->index, chapter->index)) return 0;
    for (int step = 0; step < kMaxSeekSteps; ++step) {
      const int length = NextEvent(s.pending.data(), &position);
      if (length > 0) return length;
      if (s.ended) return 0;
    }
    return 0;
  };

  uint32_t position = 0;
  int length = play_chapter(position);
  if (length == 0) return 0;
  if (position < target &&
      dvdnav_sector_search(s.nav.get(), target, SEEK_SET) == DVDNAV_STATUS_OK) {
    length = 0;
    for (int step = 0; step < kMaxSeekSteps && length == 0 && !s.ended; ++step) {
      length = std::max(NextEvent(s.pending.data(), &position), 0);
    }
    if (length == 0) return 0;
    if (position > target) {
      // The search passed the target (it lay in the chapter's first VOBU):
      // read up to it from the chapter's start.
      length = play_chapter(position);
      if (length == 0) return 0;
    }
  }
  return skip_to_target(position, length) ? 1 : 0;
}

void TDvdNavigation::GetPosition(uint32_t* position, uint32_t* end) const {
  *position = state_->next_position;
  *end = state_->end_position;
}

void TDvdNavigation::Stop() {
  TState& s = *state_;
  if (!s.started) return;
  s.started = false;
  s.pending_length = 0;
  if (s.ended) return;
  // The navigation answers the stop with a stop event; take it now so that
  // the next start plays at once.
  dvdnav_stop(s.nav.get());
  std::array<uint8_t, kDvdBlockSize> scratch{};
  for (int step = 0; step < 64; ++step) {
    int32_t event = 0;
    int32_t length = 0;
    if (dvdnav_get_next_block(s.nav.get(), scratch.data(), &event, &length) != DVDNAV_STATUS_OK ||
        event == DVDNAV_STOP) {
      break;
    }
  }
}

std::vector<TDvdTitle> ScanDvdTitles(const std::string& path) {
  std::unique_ptr<TDvdNavigation> dvd = TDvdNavigation::Init(path);
  if (!dvd) throw EAVError("打不开DVD");
  std::vector<TDvdTitle> titles;
  const int count = dvd->TitleCount();
  for (int i = 1; i <= count; ++i) {
    if (std::optional<TDvdTitle> title = dvd->TitleScan(i)) titles.push_back(std::move(*title));
  }
  for (TDvdTitle& title : titles) {
    if (dvd->Start(title.index, 1)) {
      title.angle_count = dvd->AngleCount();
      dvd->Stop();
    }
  }
  return titles;
}

std::string DvdTitleCaption(const TDvdTitle& title) {
  return fmt::sprintf("%d(%.2d:%.2d:%.2d)", title.index, title.hours, title.minutes, title.seconds);
}

}  // namespace veltrano
