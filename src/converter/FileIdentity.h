// What identifies a file as the very one a run left: device, inode, size and
// modification time. A task owns the files whose identity it recorded before
// they could matter: its work file from the moment it was created, its
// output from the moment before it was published. Anything else under those
// names is not the task's, and neither is its own file once it has changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltrano {

struct TFileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = -1;
  int64_t modified_ns = 0;
  bool operator==(const TFileIdentity&) const = default;
  // The same file (device and inode), whatever has been written to it since.
  bool SameFile(const TFileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
};

// The identity of the file (or folder) at `path`, following a last link;
// none when there is no such file.
std::optional<TFileIdentity> IdentityOf(const std::string& path);

// The identity of the file or folder `path` names itself: a link is not followed.
std::optional<TFileIdentity> OwnIdentityOf(const std::string& path);

}  // namespace veltrano
