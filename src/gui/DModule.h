// The global data module: what the windows share. It is created first at
// start-up, before the main window, and destroyed last: the task store's
// connection (av.cfg, created when missing), the profile list (the built-in
// catalogue with the user's Profiles.ini) and the image lists.
#pragma once

#include <QIcon>

#include <memory>

#include "converter/AVProfile.h"

namespace veltrano::gui {

class TdmGlobal {
 public:
  // Connects the store on this (the user-interface) thread and reads the
  // profiles. Errors of the database layer are raised.
  TdmGlobal();
  // Closes the store: every conversion must have ended before.
  ~TdmGlobal();
  TdmGlobal(const TdmGlobal&) = delete;
  TdmGlobal& operator=(const TdmGlobal&) = delete;

  TAVProfileList& Profiles() const { return *profiles_; }

  // ilExplorer: 0 the node of unfiled tasks, 1 a category.
  static QIcon ExplorerImage(int index);
  // ilList: the task status icons, index = TAVTaskStatus.
  static QIcon ListImage(int index);
  // ilImages 0: the completion alert's picture.
  static QIcon AlertImage();

 private:
  std::unique_ptr<TAVProfileList> profiles_;
};

}  // namespace veltrano::gui
