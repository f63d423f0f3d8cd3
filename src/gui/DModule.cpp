#include "gui/DModule.h"

#include "common/AVNodes.h"
#include "common/PersistentManager.h"
#include "common/ProfileStore.h"
#include "gui/Icons.h"

namespace veltrano::gui {

TdmGlobal::TdmGlobal() {
  TPersistentManager::Connect();
  profiles_ = CreateProfileList();
}

TdmGlobal::~TdmGlobal() {
  TPersistentManager::Disconnect();
}

QIcon TdmGlobal::ExplorerImage(int index) {
  switch (index) {
    case 0:
      return Icon(TIcon::TaskList);
    case 1:
      return Icon(TIcon::Category);
    default:
      return QIcon();
  }
}

QIcon TdmGlobal::ListImage(int index) {
  switch (index) {
    case stRunning:
      return Icon(TIcon::Start);
    case stPaused:
      return Icon(TIcon::Pause);
    case stError:
      return Icon(TIcon::Stop);
    case stFinished:
      return Icon(TIcon::Finished);
    case kFailedImageIndex:
      return Icon(TIcon::Failed);
    default:
      return QIcon();
  }
}

QIcon TdmGlobal::AlertImage() {
  return Icon(TIcon::Application);
}

}  // namespace veltrano::gui
