// Every test of this program runs with HOME and XDG_CONFIG_HOME in a
// temporary folder, so it never touches the real user's files.
#pragma once

#include <filesystem>
#include <string>

namespace veltrano::test {

// Points XDG_CONFIG_HOME at a fresh empty folder and returns it.
std::filesystem::path UseFreshConfigHome(const std::string& hint);

// Reads a whole file.
std::string ReadWholeFile(const std::filesystem::path& path);

// Makes av.cfg in the application-data folder as an older program made it:
// the two tables, the root category and one unfinished task (ID 1), then runs
// `more` (SQL) on it. Returns the file.
std::string CreateOlderStore(const std::string& more = std::string());

}  // namespace veltrano::test
