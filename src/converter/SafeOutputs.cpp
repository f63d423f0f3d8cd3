#include "converter/SafeOutputs.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <vector>

#include <fmt/format.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "converter/AVError.h"
#include "converter/OutputRecord.h"
#include "converter/SourceAccess.h"
#include "engine/ConverterEngine.h"
#include "engine/OutputChoices.h"
#include "engine/RunState.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

constexpr int kWorkNameTries = 8;

bool IsAddress(const std::string& name) {
  return name.find("://") != std::string::npos;
}

// The absolute path with ".", ".." and the links of its existing part resolved.
fs::path Resolved(const std::string& name) {
  std::error_code error;
  fs::path absolute = fs::absolute(name, error);
  if (error) return fs::path(name).lexically_normal();
  fs::path resolved = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : resolved;
}

bool Inside(const fs::path& path, const fs::path& folder) {
  const fs::path relative = path.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

std::string ExistsMessage(const std::string& path) {
  return "目标文件已存在: " + path;
}

// Renames `from` to `to`; without `overwrite` never over an existing file.
void MoveWithoutLoss(const std::string& from, const std::string& to, bool overwrite) {
  if (overwrite) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
      throw EAVError(WithReason("Could not name the output", to, SystemErrorText(errno)));
    }
    return;
  }
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // A file system without the exclusive rename: a new link fails on an
    // existing name just the same.
    if (link(from.c_str(), to.c_str()) == 0) {
      unlink(from.c_str());
      return;
    }
    error = errno;
  }
  if (error == EEXIST) throw EAVError(ExistsMessage(to));
  throw EAVError(WithReason("Could not name the output", to, SystemErrorText(error)));
}

// The longest file name the folder of `path` takes.
size_t NameLimit(const fs::path& path) {
  const long limit =
      pathconf(path.parent_path().empty() ? "." : path.parent_path().c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
}

// `name` + `suffix` as one file name of at most `limit` bytes: `name` is cut
// before a character (never inside one of UTF-8) when both do not fit.
std::string FittingName(std::string name, const std::string& suffix, size_t limit) {
  if (name.size() + suffix.size() > limit) {
    size_t cut = limit > suffix.size() ? limit - suffix.size() : 0;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return name + suffix;
}

// The folders of `folder` that do not exist yet, created outermost first;
// returns the ones this call made. A folder that cannot be made stops it:
// opening the file then fails with the reason.
std::vector<std::string> CreateMissingFolders(const fs::path& folder) {
  std::vector<fs::path> missing;
  for (fs::path at = folder; !at.empty(); at = at.parent_path()) {
    struct stat info {};
    if (lstat(at.c_str(), &info) == 0 || errno != ENOENT) break;
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  std::vector<std::string> created;
  for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
    if (mkdir(at->c_str(), 0777) == 0) {
      created.push_back(at->string());
    } else if (errno != EEXIST) {
      break;
    }
  }
  return created;
}

// Removes the folders a run made for an output it does not keep, innermost
// first, as far as they are empty.
void RemoveCreatedFolders(const std::vector<std::string>& folders) {
  for (auto at = folders.rbegin(); at != folders.rend(); ++at) rmdir(at->c_str());
}

// A test's way to stop a run between two steps of writing its outputs: when
// VELTRANO_TEST_PAUSE_AT names `step`, the worker says so on stderr and waits
// for the process to be killed. Without the variable nothing happens.
void PauseAtStep(const char* step) {
  static const char* const wanted = std::getenv("VELTRANO_TEST_PAUSE_AT");
  if (wanted == nullptr || std::strcmp(wanted, step) != 0) return;
  std::fprintf(stderr, "paused at %s\n", step);
  std::fflush(stderr);
  for (;;) pause();
}

// The identity of the work file just created: of its descriptor, or of the
// folder of pictures.
TFileIdentity IdentityOfCreated(const std::string& work, int fd) {
  struct stat info {};
  if (fd >= 0 ? fstat(fd, &info) != 0 : lstat(work.c_str(), &info) != 0) return TFileIdentity{};
  return TFileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                       static_cast<int64_t>(info.st_size), 0};
}

// A file of the system's own for an open descriptor: opening it opens the
// very file the descriptor refers to, whatever its name names meanwhile.
std::string DescriptorPath(int fd) {
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return access(path.c_str(), F_OK) == 0 ? path : std::string();
}

}  // namespace

std::string NewWorkTag() {
  thread_local std::mt19937 random{std::random_device{}()};
  return fmt::format("{:08x}", static_cast<uint32_t>(random()));
}

bool WrittenInPlace(const std::string& name) {
  if (IsAddress(name)) return true;
  struct stat info {};
  return stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

std::string WorkName(const std::string& name, bool sequence, const std::string& tag) {
  if (WrittenInPlace(name)) return name;
  const fs::path path(name);
  const std::string suffix = "." + tag + ".part";
  std::string file = path.filename().string();
  if (!sequence) {
    return (path.parent_path() / FittingName(file, suffix, NameLimit(path))).string();
  }
  file.erase(std::remove(file.begin(), file.end(), '%'), file.end());
  const fs::path folder = path.parent_path() / FittingName(file, suffix, NameLimit(path));
  return (folder / path.filename()).string();
}

std::string ResolvedPath(const std::string& name) {
  if (name.empty() || IsAddress(name)) return name;
  std::error_code error;
  const fs::path absolute = fs::absolute(name, error);
  if (error) return name;
  if (std::find(absolute.begin(), absolute.end(), fs::path("..")) == absolute.end()) {
    return absolute.lexically_normal().string();
  }
  const fs::path leaf = absolute.filename();
  if (leaf.empty() || leaf == "." || leaf == "..") return Resolved(name).string();
  const fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
  if (error) return absolute.lexically_normal().string();
  return (folder / leaf).string();
}

bool NamesSameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty() || IsAddress(a) || IsAddress(b)) return false;
  const std::optional<TFileIdentity> first = IdentityOf(a);
  const std::optional<TFileIdentity> second = IdentityOf(b);
  if (first && second) return first->SameFile(*second);
  return Resolved(a) == Resolved(b);
}

bool OutputTouchesSource(const std::string& output, const std::string& source) {
  if (NamesSameFile(output, source)) return true;
  if (output.empty() || source.empty() || IsAddress(output) || IsAddress(source)) return false;
  // A file of a disc given by its folder; a new file beside them is none.
  struct stat out {};
  struct stat in {};
  return stat(output.c_str(), &out) == 0 && stat(source.c_str(), &in) == 0 && S_ISDIR(in.st_mode) &&
         Inside(Resolved(output), Resolved(source));
}

namespace {

// The name `pattern` gives picture `number`, or nothing for a pattern
// without a number.
std::optional<std::string> PictureName(const std::string& pattern, int number) {
  std::vector<char> name(pattern.size() + 32);
  if (av_get_frame_filename2(name.data(), static_cast<int>(name.size()), pattern.c_str(), number,
                             0) < 0) {
    return std::nullopt;
  }
  return std::string(name.data());
}

// True when `file` is one of the pictures the file name `pattern` numbers:
// one of its runs of digits is a number the pattern gives exactly this name.
bool IsPictureOf(const std::string& file, const std::string& pattern) {
  constexpr size_t kLongestNumber = 9;
  for (size_t start = 0; start < file.size();) {
    if (std::isdigit(static_cast<unsigned char>(file[start])) == 0) {
      ++start;
      continue;
    }
    size_t end = start;
    while (end < file.size() && std::isdigit(static_cast<unsigned char>(file[end])) != 0) ++end;
    if (end - start <= kLongestNumber &&
        PictureName(pattern, std::stoi(file.substr(start, end - start))) == file) {
      return true;
    }
    start = end;
  }
  return false;
}

// The pictures of `pattern` (a file name) in the work folder `work`: plain
// files only. Anything else found there was not written by the run.
std::vector<fs::path> PicturesIn(const std::string& work, const std::string& pattern) {
  std::vector<fs::path> pictures;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(work, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.symlink_status(error).type() == fs::file_type::regular &&
        IsPictureOf(name, pattern)) {
      pictures.push_back(entry.path());
    }
  }
  std::sort(pictures.begin(), pictures.end());
  return pictures;
}

}  // namespace

std::string FirstTargetFile(const std::string& name, bool sequence) {
  if (!sequence) return name;
  return PictureName(name, 1).value_or(name);
}

void PublishOutput(const std::string& work, const std::string& name, bool sequence,
                   bool overwrite) {
  if (!sequence) {
    MoveWithoutLoss(work, name, overwrite);
    return;
  }
  const fs::path folder = fs::path(name).parent_path();
  for (const fs::path& picture : PicturesIn(work, fs::path(name).filename().string())) {
    MoveWithoutLoss(picture.string(), (folder / picture.filename()).string(), overwrite);
  }
  std::error_code error;
  fs::remove(work, error);  // kept while anything else is in it
}

bool RemoveOwnWork(const std::string& work, const std::optional<TFileIdentity>& created,
                   const std::string& pictures) {
  struct stat info {};
  if (work.empty() || lstat(work.c_str(), &info) != 0) return false;
  const TFileIdentity found{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                            0, 0};
  std::error_code error;
  if (created ? !found.SameFile(*created)
              : !((S_ISREG(info.st_mode) && info.st_size == 0) ||
                  (S_ISDIR(info.st_mode) && fs::is_empty(work, error)))) {
    return false;
  }
  if (!S_ISDIR(info.st_mode)) return unlink(work.c_str()) == 0;
  if (!pictures.empty()) {
    for (const fs::path& picture : PicturesIn(work, fs::path(pictures).filename().string())) {
      fs::remove(picture, error);
    }
  }
  return fs::remove(work, error) && !error;  // kept while anything else is in it
}

// The converter's side --------------------------------------------------------

// Before anything is opened: no output may be one of the inputs (for a DVD
// title, a file of its disc), and no output may exist unless the job allows
// replacing it.
void TConverterEngine::CheckOutputTargets() const {
  std::vector<std::string> sources;
  for (const std::string& input : FInputFiles) {
    sources.push_back(IsStreamName(input) ? RegisteredStreamSource(input) : input);
  }
  const AVOutputFormat* format = run_->output_format;  // as output setup will choose it
  for (const std::string& output : FOutputFiles) {
    for (const std::string& source : sources) {
      if (OutputTouchesSource(output, source)) throw EAVError("输出文件与源文件相同: " + output);
    }
    if (format == nullptr) format = OutputFormatFor(output, nullptr);
    if (FOverwrite || WrittenInPlace(output)) continue;
    const bool sequence = IsPictureSequence(output, format);
    const std::string first = FirstTargetFile(output, sequence);
    std::error_code error;
    if (fs::exists(first, error)) throw EAVError(ExistsMessage(first));
  }
}

void TConverterEngine::Announce(TOutputRecord::TStep step, const TOutputFile& file,
                                const TFileIdentity& identity) {
  if (FOnOutput)
    FOnOutput(owner_, TOutputRecord{step, file.name, file.work_file, file.sequence, identity});
}

void TConverterEngine::AnnounceQuietly(TOutputRecord::TStep step, const TOutputFile& file,
                                       const TFileIdentity& identity) {
  try {
    Announce(step, file, identity);
  } catch (const std::exception& e) {
    DoLog(AV_LOG_WARNING, WithReason("Could not record the output", file.name, e.what()) + "\n");
  }
}

// Creates the output's work file (numbered pictures: its folder) under a
// name nothing uses: the folders it needs first, then the file itself
// exclusively, so that nothing that exists is ever opened for writing. The
// muxer then writes that very file (through its descriptor), whatever its
// name names meanwhile. Addresses and devices are opened as named.
void TConverterEngine::OpenWorkFile(TOutputFile& file, const AVOutputFormat* format) {
  AVFormatContext* ctx = file.ctx.get();
  const bool writes_file = !(format->flags & AVFMT_NOFILE);
  if (file.work_name == file.name) {
    if (!writes_file) return;
    const int opened = avio_open(&ctx->pb, file.name.c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) {
      throw EAVError(
          WithReason("打不开文件", file.name, OpenFailureReason(opened, file.name, true)));
    }
    return;
  }
  int fd = -1;
  for (int attempt = 0; !file.work_created; ++attempt) {
    if (attempt > 0) {
      file.work_name = WorkName(file.name, file.sequence, NewWorkTag());
      av_free(ctx->url);
      ctx->url = av_strdup(file.work_name.c_str());
    }
    file.work_file =
        file.sequence ? fs::path(file.work_name).parent_path().string() : file.work_name;
    if (file.created_folders.empty()) {
      file.created_folders = CreateMissingFolders(fs::path(file.work_file).parent_path());
    }
    Announce(TOutputRecord::WorkNamed, file, TFileIdentity{});
    const int made =
        file.sequence
            ? mkdir(file.work_file.c_str(), 0777)
            : (fd = open(file.work_file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (made < 0 && (errno != EEXIST || attempt + 1 == kWorkNameTries)) {
      const int failure = errno;
      throw EAVError(WithReason("打不开文件", file.name,
                                OpenFailureReason(AVERROR(failure), file.work_file, true)));
    }
    file.work_created = made >= 0;
  }
  // Closed once the muxer has its own descriptor of the file, or on the way out.
  const std::unique_ptr<int, void (*)(int*)> descriptor(&fd, [](int* open) {
    if (*open >= 0) close(*open);
  });
  file.work_identity = IdentityOfCreated(file.work_file, fd);
  Announce(TOutputRecord::WorkCreated, file, file.work_identity);
  PauseAtStep("work-created");
  if (!writes_file) return;
  const std::string opened_name = DescriptorPath(fd);
  const int opened =
      avio_open(&ctx->pb, opened_name.empty() ? file.work_file.c_str() : opened_name.c_str(),
                AVIO_FLAG_WRITE);
  if (opened < 0) {
    throw EAVError(
        WithReason("打不开文件", file.name, OpenFailureReason(opened, file.work_file, true)));
  }
}

// Gives the finished work file its name: its identity is announced first,
// the rename follows, and the name is confirmed to hold that very file.
void TConverterEngine::PublishWorkFile(TOutputFile& file) {
  if (!file.work_created) return;  // written in place
  if (file.sequence) {
    PublishOutput(file.work_file, file.name, true, FOverwrite);
    file.work_created = false;
    AnnounceQuietly(TOutputRecord::WorkRemoved, file, file.work_identity);
    return;
  }
  const std::optional<TFileIdentity> finished = OwnIdentityOf(file.work_file);
  if (!finished || !finished->SameFile(file.work_identity)) {
    throw EAVError(WithReason("Could not name the output", file.name,
                              "its work file " + file.work_file + " is gone"));
  }
  Announce(TOutputRecord::Publishing, file, *finished);
  PauseAtStep("before-rename");
  MoveWithoutLoss(file.work_file, file.name, FOverwrite);
  file.work_created = false;
  PauseAtStep("after-rename");
  if (OwnIdentityOf(file.name) != finished) {
    throw EAVError(WithReason("Could not name the output", file.name, "it was replaced meanwhile"));
  }
  AnnounceQuietly(TOutputRecord::Published, file, *finished);
  PauseAtStep("after-store");
}

// Removes what the run made for an output it does not keep: its work file
// (only the one it created) and the folders it created for it.
void TConverterEngine::DiscardWorkFile(TOutputFile& file) {
  if (file.work_created) {
    RemoveOwnWork(file.work_file, file.work_identity, file.sequence ? file.name : "");
    file.work_created = false;
    AnnounceQuietly(TOutputRecord::WorkRemoved, file, file.work_identity);
  }
  RemoveCreatedFolders(file.created_folders);
}

// Closes every output's byte stream; then gives each output its name when the
// run completed (or was stopped after its header was written) and removes
// its work file otherwise. A failure to finish the files fails the run.
void TConverterEngine::CloseOutputs(bool failed) {
  std::string problem;
  for (TOutputFile& file : run_->output_files) {
    if (!file.ctx || file.ctx->pb == nullptr || (file.ctx->oformat->flags & AVFMT_NOFILE)) continue;
    int error = file.ctx->pb->error;
    const int closed = avio_closep(&file.ctx->pb);
    if (error >= 0) error = closed;
    if (error < 0 && problem.empty()) {
      problem = WithReason("Could not write the end of output file", file.name, AvErrorText(error));
    }
  }
  const bool stopped = FState == csStopped;
  for (TOutputFile& file : run_->output_files) {
    const bool keep = !failed && problem.empty() && (!stopped || file.header_written);
    try {
      if (keep) {
        PublishWorkFile(file);
        continue;
      }
    } catch (const std::exception& e) {  // EAVError, or a record that could not be written
      problem = e.what();
    }
    DiscardWorkFile(file);
  }
  if (!problem.empty()) throw EAVError(problem);
}

}  // namespace veltrano
