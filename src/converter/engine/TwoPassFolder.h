// The folder in which the two passes of one output file meet: pass 1 writes
// each encoder's statistics there, pass 2 reads them and, once it has
// completed, removes them.
//
// The folder lies in the temp folder, which other users and programs share,
// under a name anyone can predict. It is therefore used only when it is
// provably this program's: a folder (not a link) of the user running it,
// closed to everyone else, holding the mark pass 1 left when it made it (the
// output file's full name). Anything else under that name is refused and left
// exactly as it is.
#pragma once

#include <string>
#include <vector>

namespace veltrano {

// The statistics folder of `output_file` for pass 1: made now (mode 0700,
// with its mark), or the one an earlier pass 1 of the same output made.
// Throws EAVError naming the folder when it cannot be made or is not ours.
std::string TwoPassFolderForPass1(const std::string& output_file);

// The statistics folder of `output_file` for pass 2. A missing folder is
// returned as it is (reading the statistics then fails and says so); one
// that is not ours throws EAVError.
std::string TwoPassFolderForPass2(const std::string& output_file);

// After a completed pass 2: removes the statistics files it read (and the
// companion an encoder writes beside one, "<file>.mbtree"), then the mark,
// then the folder when nothing else is left in it. Does nothing to a folder
// that is no longer ours, and never removes anything but plain files of
// those names.
void ReleaseTwoPassFolder(const std::string& output_file,
                          const std::vector<std::string>& stats_files);

}  // namespace veltrano
