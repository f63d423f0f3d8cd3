#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace veltrano {
namespace {

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Makes the rename itself durable.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // mkostemp creates the file for the owner only; keep the old file's
  // permissions, or give a new one the usual rw-r--r--.
  struct stat old_file {};
  fchmod(fd, stat(path.c_str(), &old_file) == 0 ? (old_file.st_mode & 07777) : 0644);
  const bool written = WriteAll(fd, content) && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;  // the caller reports the cause
    unlink(temp.c_str());
    errno = error;
    return false;
  }
  SyncFolderOf(path);
  return true;
}

void WriteFileAtomicallyOrThrow(const std::string& path, std::string_view content) {
  if (!WriteFileAtomically(path, content)) {
    const int error = errno;
    throw EFileWriteError("Cannot create file \"" + path + "\". " + std::strerror(error));
  }
}

}  // namespace veltrano
