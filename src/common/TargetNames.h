// Target names for new tasks that never overwrite anything: neither a file
// that exists nor the target of another unfinished task.
#pragma once

#include <string>
#include <vector>

namespace veltrano {

// `wanted` when no file of that name exists and it is not in `reserved`;
// otherwise the first of "name (2).ext", "name (3).ext", … that is free in
// the same sense. The extension is the part after the last dot of the file
// name (none: the number goes at the end). `reserved` holds the targets of
// other unfinished tasks, compared as written.
std::string FreeTargetName(const std::string& wanted, const std::vector<std::string>& reserved);

}  // namespace veltrano
