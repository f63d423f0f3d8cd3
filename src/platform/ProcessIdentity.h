// Who a process is, in a form another process can check later: the process
// id alone is reused by the system, so the identity also carries the
// process's start time (clock ticks since boot), the boot it started in and
// the machine's host name.
#pragma once

#include <cstdint>
#include <string>

namespace veltrano {

struct TProcessIdentity {
  int64_t pid = 0;
  std::string start;  // start time of the process in clock ticks since boot
  std::string boot;   // the kernel's boot id
  std::string host;

  bool operator==(const TProcessIdentity&) const = default;
};

// The identity of this process.
const TProcessIdentity& CurrentProcessIdentity();

// The identity of process `pid` on this machine as it is now; pid 0 (and
// empty start) when there is no such process.
TProcessIdentity ProcessIdentityOf(int64_t pid);

// False only when `identity` certainly names a process that has ended: one of
// this boot that is no longer there (its id missing or reused), or one of
// this host that ran before the last boot. A process of another machine
// cannot be checked from here and counts as alive.
bool ProcessIsAlive(const TProcessIdentity& identity);

}  // namespace veltrano
