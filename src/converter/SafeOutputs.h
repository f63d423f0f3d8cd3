// Outputs that never destroy anything: a target may not be one of the
// sources, exists only under its own name once a run has completed (or been
// stopped), and replaces an existing file only when the caller allows it.
#pragma once

#include <string>

namespace veltrano {

// What the muxer writes while the run lasts: "<name>.part" for a file; for
// numbered pictures, the folder "<name>.part" (its '%' left out) that holds
// them. Addresses (protocol://...) and devices such as /dev/null are written
// as named.
std::string WorkName(const std::string& name, bool sequence);

// True when writing `output` would touch `source`: the same file (same device
// and inode when both exist, else the same path once ".", ".." and links are
// resolved), or a file inside `source` when that is a folder (a DVD's disc).
bool OutputTouchesSource(const std::string& output, const std::string& source);

// The file a target names first: the name itself, or the first picture of a
// numbered sequence.
std::string FirstTargetFile(const std::string& name, bool sequence);

// Moves the finished work file (or folder of pictures) of `name` to its name.
// Without `overwrite` an existing file there is never replaced: that fails
// with "目标文件已存在: PATH". Throws EAVError with the reason on failure.
void PublishOutput(const std::string& name, bool sequence, bool overwrite);

// Removes what the work name of `name` holds; nothing when there is nothing.
void RemoveWorkFiles(const std::string& name, bool sequence);

}  // namespace veltrano
