// What identifies a file as the very one a run left: device, inode, size and
// modification time. A task may replace its own stopped output on a restart,
// and no other file of that name.
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
};

// The identity of the file at `path`; none when there is no such file.
std::optional<TFileIdentity> IdentityOf(const std::string& path);

}  // namespace veltrano
