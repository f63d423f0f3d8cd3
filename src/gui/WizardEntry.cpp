#include "gui/WizardEntry.h"

namespace veltrano::gui {

// Until the wizard exists the command creates nothing.
std::vector<std::unique_ptr<TConversionSettings>> RunNewConversionWizard(
    QWidget*, TAVProfileList&, const QStringList&, const std::vector<std::string>&) {
  return {};
}

}  // namespace veltrano::gui
