// The new-conversion command's entry into the wizard.
#pragma once

#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include "common/ConversionSettings.h"

class QWidget;

namespace veltrano {
class TAVProfileList;
}

namespace veltrano::gui {

// Runs the new-conversion wizard modally over `parent`. `sources` are the
// files handed in by the caller (a drop, the program's arguments; empty: the
// user picks the source); `reserved_targets` are the targets of the unfiled
// tasks, which proposed targets must not take. Returns the settings of the
// tasks to create, one per source, in order; empty when the wizard was
// cancelled.
std::vector<std::unique_ptr<TConversionSettings>> RunNewConversionWizard(
    QWidget* parent, TAVProfileList& profiles, const QStringList& sources,
    const std::vector<std::string>& reserved_targets);

}  // namespace veltrano::gui
