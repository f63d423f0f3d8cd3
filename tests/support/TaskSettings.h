// Settings of a task as the new-conversion wizard makes them, for tests that
// create tasks: a source, a target, a catalogue profile and a category.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "common/ConversionSettings.h"

namespace veltrano::test {

// A conversion of `source` into `target` with the catalogue profile of that
// description, filed under `category`. Its codec options carry an option no
// encoder takes, so every run writes at least one log line.
std::unique_ptr<TConversionSettings> MakeTaskSettings(
    const std::filesystem::path& source, const std::filesystem::path& target, int category = 1,
    const std::string& profile = "Zune MPEG4 Video(320x240)");

}  // namespace veltrano::test
