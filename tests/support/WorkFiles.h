// The work files a run writes before an output gets its name
// ("<name>.<tag>.part"), found by their names: what a run left behind.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace veltrano::test {

// The work files and folders of `target` in its folder: names that begin
// with the target's name (or a shortened form of it) and end with ".part".
std::vector<std::filesystem::path> WorkFilesOf(const std::filesystem::path& target);

// Every work file or folder under `folder`, at any depth.
std::vector<std::filesystem::path> WorkFilesUnder(const std::filesystem::path& folder);

}  // namespace veltrano::test
