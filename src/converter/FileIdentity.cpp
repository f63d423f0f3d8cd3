#include "converter/FileIdentity.h"

#include <sys/stat.h>

namespace veltrano {
namespace {

TFileIdentity IdentityFromStat(const struct stat& info) {
  return TFileIdentity{
      static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
      static_cast<int64_t>(info.st_size),
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace

std::optional<TFileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
  return IdentityFromStat(info);
}

std::optional<TFileIdentity> OwnIdentityOf(const std::string& path) {
  struct stat info {};
  if (path.empty() || lstat(path.c_str(), &info) != 0) return std::nullopt;
  return IdentityFromStat(info);
}

}  // namespace veltrano
