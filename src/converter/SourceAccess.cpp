#include "converter/SourceAccess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

extern "C" {
#include <libavformat/avio.h>
}

#include "converter/AVError.h"
#include "converter/FFmpegPtr.h"
#include "converter/StreamProtocol.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

// The descriptor a "pipe:"/"pipe:N"/"-" name reads; -1 for other names.
int PipeDescriptor(const std::string& name) {
  if (name == "-" || name == "pipe:") return STDIN_FILENO;
  if (name.rfind("pipe:", 0) != 0) return -1;
  const std::string number = name.substr(5);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoi(number);
}

// Reads a descriptor that may have no data yet, waiting in slices so that
// a stop is noticed.
class TWaitingStream : public TStream {
 public:
  TWaitingStream(int fd, std::function<bool()> stopped) : fd_(fd), stopped_(std::move(stopped)) {}
  ~TWaitingStream() override { close(fd_); }

  int Read(uint8_t* buffer, int size) override {
    while (true) {
      if (stopped_()) return -1;
      pollfd wanted{fd_, POLLIN, 0};
      const int ready = poll(&wanted, 1, 100);
      if (ready < 0 && errno != EINTR) return -1;
      if (ready <= 0) continue;
      const ssize_t n = read(fd_, buffer, static_cast<size_t>(size));
      if (n >= 0) return static_cast<int>(n);
      if (errno != EAGAIN && errno != EINTR) return -1;
    }
  }
  int64_t Seek(int64_t, int) override { return -1; }
  int64_t Size() override { return -1; }

 private:
  int fd_;
  std::function<bool()> stopped_;
};

// Whether the effective user may do `mode` on `path` (X_OK on a folder: enter it).
bool Allowed(const fs::path& path, int mode) {
  return faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0 || errno != EACCES;
}

}  // namespace

bool IsPipeName(const std::string& name) {
  return PipeDescriptor(name) >= 0;
}

bool ReadOnlyOnce(const std::string& name) {
  if (PipeDescriptor(name) >= 0) return true;
  struct stat info {};
  if (stat(name.c_str(), &info) != 0) return false;
  return S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode);
}

std::unique_ptr<TStreamIO> OpenOnceReadSource(const std::string& name,
                                              std::function<bool()> stopped) {
  const int pipe = PipeDescriptor(name);
  // Not blocking: opening a FIFO would otherwise wait for a writer where
  // nothing can end the wait.
  const int fd = pipe >= 0 ? fcntl(pipe, F_DUPFD_CLOEXEC, 0)
                           : open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    std::string reason = AccessProblem(name);
    if (reason.empty()) reason = SystemErrorText(error);
    throw EAVError(WithReason("打不开文件", name, reason));
  }
  auto io = std::make_unique<TStreamIO>(std::make_unique<TWaitingStream>(fd, std::move(stopped)));
  io->Context()->seekable = 0;
  return io;
}

std::string AccessProblem(const std::string& path, bool for_writing) {
  const fs::path file = fs::absolute(fs::path(path)).lexically_normal();
  // The folders on the way, from the top: each must exist and be enterable.
  fs::path folder;
  for (const fs::path& part : file.parent_path()) {
    folder /= part;
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
      if (errno == ENOENT) {
        // A missing folder of an output is made; one that cannot be made says why.
        if (for_writing && !Allowed(folder.parent_path(), W_OK)) {
          return "无法在文件夹 " + folder.parent_path().string() +
                 " 中创建文件夹 (Permission denied)";
        }
        return for_writing ? std::string() : "文件夹 " + folder.string() + " 不存在";
      }
      return SystemErrorText(errno) + ": " + folder.string();
    }
    if (!S_ISDIR(info.st_mode)) return folder.string() + " 不是文件夹";
    if (!Allowed(folder, X_OK)) return "无法进入文件夹 " + folder.string() + " (Permission denied)";
  }
  struct stat info {};
  if (stat(file.c_str(), &info) != 0) {
    if (errno != ENOENT) return SystemErrorText(errno);
    if (!for_writing) return SystemErrorText(ENOENT);
    if (!Allowed(file.parent_path(), W_OK)) {
      return "无法在文件夹 " + file.parent_path().string() + " 中写入 (Permission denied)";
    }
    return {};
  }
  if (!Allowed(file, for_writing ? W_OK : R_OK)) return SystemErrorText(EACCES);
  return {};
}

std::string OpenFailureReason(int code, const std::string& path, bool for_writing) {
  if (code == AVERROR(EACCES) || code == AVERROR(ENOENT)) {
    std::string problem = AccessProblem(path, for_writing);
    if (!problem.empty()) return problem;
  }
  return AvErrorText(code);
}

}  // namespace veltrano
