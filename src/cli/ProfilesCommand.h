// veltrano-cli profiles: lists the output profiles by category, with the
// short ids that --profile takes.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "converter/AVProfile.h"

namespace veltrano {

// Adds the "profiles" subcommand to `app`.
void AddProfilesCommand(CLI::App& app);

namespace cli {

// The profile `name` means in `list`: its id, its description, or its
// description with letter case and blanks ignored. EUsageError that names
// the nearest profiles when there is none.
const TAVProfile& ChooseProfile(const TAVProfileList& list, const std::string& name);

}  // namespace cli

}  // namespace veltrano
