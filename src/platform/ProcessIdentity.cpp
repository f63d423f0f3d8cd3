#include "platform/ProcessIdentity.h"

#include <unistd.h>

#include <climits>
#include <fstream>
#include <sstream>

namespace veltrano {
namespace {

std::string FirstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// Field 22 of /proc/PID/stat (the start time). The command name, field 2, is
// in parentheses and may hold blanks and parentheses itself, so the fields
// are counted from the last ')'.
std::string StartTimeOf(int64_t pid) {
  const std::string stat = FirstLine("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::string();
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int number = 3; number <= 22; ++number) {
    if (!(fields >> field)) return std::string();
  }
  return field;
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

std::string BootId() {
  return FirstLine("/proc/sys/kernel/random/boot_id");
}

}  // namespace

const TProcessIdentity& CurrentProcessIdentity() {
  static const TProcessIdentity identity = ProcessIdentityOf(getpid());
  return identity;
}

TProcessIdentity ProcessIdentityOf(int64_t pid) {
  TProcessIdentity identity;
  identity.boot = BootId();
  identity.host = HostName();
  if (pid <= 0) return identity;
  identity.start = StartTimeOf(pid);
  if (!identity.start.empty()) identity.pid = pid;
  return identity;
}

bool ProcessIsAlive(const TProcessIdentity& identity) {
  if (identity.pid <= 0) return false;
  const TProcessIdentity& self = CurrentProcessIdentity();
  // The boot id is unique to one boot of one machine: the same id means
  // the same running system, whatever its host name is now.
  if (identity.boot == self.boot) return ProcessIdentityOf(identity.pid).start == identity.start;
  return identity.host != self.host;
}

}  // namespace veltrano
