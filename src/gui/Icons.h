// The window's icons: the desktop's icon theme first, the pictures bundled
// in the program (src/gui/icons, a Qt resource) where the theme has none, so
// the window looks complete on any desktop.
#pragma once

#include <QIcon>

namespace veltrano::gui {

enum class TIcon {
  NewConversion,
  Start,
  Pause,
  Stop,
  Finished,
  Failed,
  Home,
  Shutdown,
  Options,
  About,
  Exit,
  BugReport,
  Donate,
  Player,
  TaskList,
  Category,
  NewCategory,
  Delete,
  Properties,
  OpenFile,
  ExploreFile,
  ClearLog,
  Application,
  // The wizard and the profile editor.
  NewItem,
  AudioProfile,
  VideoProfile,
  Save,
};

// The theme's icon for `which`, or the bundled one.
QIcon Icon(TIcon which);

}  // namespace veltrano::gui
