// Target names for new tasks that never overwrite anything: neither a file
// that exists nor the target of another unfinished task; and the check of a
// target the user names for a new task.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace veltrano {

// `wanted` when no file of that name exists and it is not in `reserved`;
// otherwise the first of "name (2).ext", "name (3).ext", … that is free in
// the same sense. The extension is the part after the last dot of the file
// name (none: the number goes at the end). `reserved` holds the targets of
// other unfinished tasks, compared as the files they name.
std::string FreeTargetName(const std::string& wanted, const std::vector<std::string>& reserved);

// What stands against `target` as the target of a new task, in this order:
// it is (or lies inside) one of its `sources` by any name, it names the same
// file as a `reserved` target (another unfinished task's; `index` says
// which), or a file exists under it (which the user may allow to replace).
struct TTargetCheck {
  enum TProblem { None, IsSource, Reserved, Exists };
  TProblem problem = None;
  size_t index = 0;
};
TTargetCheck CheckNewTarget(const std::string& target, const std::vector<std::string>& sources,
                            const std::vector<std::string>& reserved);

}  // namespace veltrano
