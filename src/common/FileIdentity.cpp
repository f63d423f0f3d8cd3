#include "common/FileIdentity.h"

#include <sys/stat.h>

namespace veltrano {

std::optional<TFileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
  return TFileIdentity{
      static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
      static_cast<int64_t>(info.st_size),
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace veltrano
