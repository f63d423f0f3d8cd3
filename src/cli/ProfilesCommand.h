// veltrano-cli profiles: lists the output profiles by category.
#pragma once

#include <CLI/CLI.hpp>

namespace veltrano {

// Adds the "profiles" subcommand to `app`.
void AddProfilesCommand(CLI::App& app);

}  // namespace veltrano
