// A folder of media files as sources of new tasks: the files under it
// (recursively) whose type the program opens, in natural order ("ep2"
// before "ep10"), the files left out and why, and targets that keep each
// file's sub-folder under the output folder.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace veltrano {

// The media types the program declares it opens (its desktop entry's
// MimeType), each with the file extensions that stand for it, lower case and
// without the dot. The one place that maps types to extensions.
const std::vector<std::pair<std::string, std::vector<std::string>>>& MediaTypeExtensions();
// True when `path`'s extension (any letter case) is one of them.
bool HasMediaExtension(const std::string& path);

// "ep2" < "ep10": runs of digits compare by their value, everything else by
// character with ASCII letters in any case alike; ties keep a stable order.
bool NaturalLess(const std::string& a, const std::string& b);

struct TSkippedFile {
  enum TReason { NotMedia, Unreadable };
  std::string path;  // the full path
  TReason reason = NotMedia;
  std::string detail;  // the system's reason for an unreadable file or folder
};

struct TFolderScan {
  std::string root;                // the folder as given, without a trailing '/'
  std::vector<std::string> files;  // full paths, in natural order of their relative paths
  std::vector<TSkippedFile> skipped;
};

// The readable media files under `folder` and every sub-folder (symbolic
// links to folders are not followed, so a link loop cannot trap the scan).
// A file of another type is skipped as NotMedia, one that cannot be opened
// for reading (a link to nothing among them) and a sub-folder that cannot
// be entered as Unreadable.
TFolderScan ScanMediaFolder(const std::string& folder);

// `source`'s path relative to `root` ("" when it does not lie under it).
std::string RelativeToFolder(const std::string& source, const std::string& root);

// The target of `source` found under `root`: its name with `extension`, in
// the same sub-folder under `output_folder`, made free of existing files and
// of `taken` (FreeTargetName). A source outside `root` goes straight into
// `output_folder`.
std::string FolderTarget(const std::string& source, const std::string& root,
                         const std::string& output_folder, const std::string& extension,
                         const std::vector<std::string>& taken);

}  // namespace veltrano
