// The desktop's file manager and document opener, and file sizes.
//
// A folder or a file is shown by asking the desktop's file manager over D-Bus
// (org.freedesktop.FileManager1: ShowFolders, or ShowItems to open the
// file's folder with the file selected). Where no file manager offers that
// service, the folder is opened with xdg-open instead. Documents and
// addresses are opened with xdg-open. None of these report failures: a
// desktop without a file manager simply shows nothing.
//
// Paths are UTF-8; relative paths are taken from the current folder.
#pragma once

#include <cstdint>
#include <string>

namespace veltrano {

// Shows `folder` in the file manager. `with_tree` asked for the folder tree
// pane; the file manager's own layout decides that here.
void ExploreFolder(const std::string& folder, bool with_tree);

// Shows the folder of `file` in the file manager with `file` selected;
// without the service, opens the folder. `with_tree` as for ExploreFolder.
void ExploreFile(const std::string& file, bool with_tree);

// Opens a file, or an address such as "http://…" or "mailto:…", with the
// program the desktop associates with it.
void OpenDocument(const std::string& path_or_address);

// The size in bytes of the file at `path` (links followed), 0 when there is
// no such file or it is not a regular file.
int64_t GetFileSize(const std::string& path);

// The absolute "file://" URI of `path`, each byte other than the unreserved
// characters and '/' percent-encoded (so spaces, quotes, commas and
// non-ASCII names come through intact).
std::string FileUri(const std::string& path);

}  // namespace veltrano
