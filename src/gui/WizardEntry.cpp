#include "gui/WizardEntry.h"

#include "gui/FormNewConversion.h"

namespace veltrano::gui {

std::vector<std::unique_ptr<TConversionSettings>> RunNewConversionWizard(
    QWidget* parent, TAVProfileList& profiles, const QStringList& sources,
    const std::vector<std::string>& reserved_targets) {
  TFormNewConversion wizard(profiles, reserved_targets, parent);
  wizard.SetSources(sources);
  if (wizard.exec() != QDialog::Accepted) return {};
  return wizard.TakeConversionSettings();
}

}  // namespace veltrano::gui
