#include "converter/AVError.h"

#include <cstdio>
#include <cstdlib>

namespace veltrano {

void AssertionFailure(const char* unit, int line, const char* condition) {
  std::fprintf(stderr, "Assertion failure (%s, line %d): %s\n", unit, line, condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace veltrano
