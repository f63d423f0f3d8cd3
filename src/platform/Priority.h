// The process priority levels of the configuration (0 lowest … 5 highest),
// mapped to nice values 19, 10, 0, -5, -10, -15.
#pragma once

#include <optional>

namespace veltrano {

// The nice value of `level`; none outside 0 to 5.
std::optional<int> NiceValueOfPriorityLevel(int level);

// Gives every thread of the process the nice value of `level`. A level
// outside 0 to 5 changes nothing. Raising the priority above what the user
// may (a lower nice value without the privilege) is refused by the system;
// such refusals are ignored. Returns true when every thread took the value.
bool SetProcessPriorityLevel(int level);

}  // namespace veltrano
