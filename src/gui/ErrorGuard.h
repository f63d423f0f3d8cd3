// Commands run from Qt's event handling, which cannot carry an exception: a
// failure of the core (a store error, a file that cannot be written) is
// shown in the error box instead.
#pragma once

#include <exception>
#include <utility>

#include "converter/MessageBoxes.h"

namespace veltrano::gui {

// Runs `action`; returns false when it raised (its message was shown).
template <class TAction>
bool Guarded(TAction&& action) {
  try {
    std::forward<TAction>(action)();
    return true;
  } catch (const std::exception& e) {
    ShowErrorBox(e.what());
    return false;
  }
}

}  // namespace veltrano::gui
