// Pictures for people: each screen shows one window in the state a user
// would see it, and the screens program grabs it from the (virtual) display.
//
// A source file of this folder registers its screens at static
// initialisation:
//   VELTRANO_SCREEN(main_window) { ...; return window; }
// The function runs with HOME and XDG_CONFIG_HOME pointing at a fresh
// folder (ctx.home) and returns the top-level widget to grab, shown. It may
// keep what it needs alive in ctx.keep. Screens are taken in name order.
#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace veltrano::screens {

struct TScreenContext {
  std::filesystem::path home;  // the fresh home and app-data root of this screen
  // Objects that must outlive the grab (destroyed after it, last first).
  std::vector<std::shared_ptr<void>> keep;
  // Milliseconds to let the window settle (animations, timers) before the grab.
  int settle_ms = 600;
};

using TScreenFunction = std::function<QWidget*(TScreenContext& ctx)>;

// Registers a screen; returns true so that it can initialise a static.
bool RegisterScreen(const std::string& name, TScreenFunction show);

}  // namespace veltrano::screens

#define VELTRANO_SCREEN(name)                                                              \
  static QWidget* Screen_##name(veltrano::screens::TScreenContext& ctx);                   \
  static const bool screen_registered_##name =                                             \
      veltrano::screens::RegisterScreen(#name, Screen_##name);                             \
  static QWidget* Screen_##name([[maybe_unused]] veltrano::screens::TScreenContext& ctx)
