// Outputs that never destroy anything: a target may not be one of the
// sources, is written under a work name of its own that no other run or
// program uses (created exclusively, never truncating what is there), exists
// under its own name only once a run has completed (or been stopped), and
// replaces an existing file only when the caller allows it. What a run
// creates it announces first (converter/OutputRecord.h), so that its owner
// can tell its files from anybody else's after any crash.
#pragma once

#include <optional>
#include <string>

#include "converter/FileIdentity.h"

namespace veltrano {

// A fresh tag for a work name: eight random hexadecimal digits.
std::string NewWorkTag();

// What the muxer writes while the run lasts: "<name>.<tag>.part" for a file;
// for numbered pictures, the pattern's file name inside the folder
// "<name>.<tag>.part" (its '%' left out). The file name of the work file or
// folder is shortened at a character boundary where it would pass the file
// system's limit, so that a target of the longest name still has one.
// Addresses (protocol://...) and devices such as /dev/null are written as
// named (WrittenInPlace).
std::string WorkName(const std::string& name, bool sequence, const std::string& tag);
bool WrittenInPlace(const std::string& name);

// The absolute form of `name` that names the file the system opens for it:
// ".." steps up from where the folder before it really is (through links,
// as the kernel resolves it, not as text); the last name, a link or not,
// stays. Addresses come back unchanged.
std::string ResolvedPath(const std::string& name);

// True when `a` and `b` name one file: the same device and inode when both
// exist, else the same path once ".", ".." and links are resolved.
bool NamesSameFile(const std::string& a, const std::string& b);

// True when writing `output` would touch `source`: the same file (see
// NamesSameFile), or a file inside `source` when that is a folder (a DVD's
// disc).
bool OutputTouchesSource(const std::string& output, const std::string& source);

// The file a target names first: the name itself, or the first picture of a
// numbered sequence.
std::string FirstTargetFile(const std::string& name, bool sequence);

// Moves the finished work file `work` (numbered pictures: every picture of
// the pattern `name` in the work folder `work`, which goes afterwards unless
// something else is in it) to `name` (for pictures: into the folder of
// `name`). Without `overwrite` an existing file there is
// never replaced: that fails with "目标文件已存在: PATH". Throws EAVError with
// the reason on failure.
void PublishOutput(const std::string& work, const std::string& name, bool sequence, bool overwrite);

// Removes the work file or folder `work` when it is the one this run (or a
// task's earlier run) created: the same device and inode as `created`; when
// only its name was recorded, when it is an empty file or folder. From a
// work folder only the pictures of the pattern `pictures` (the target's name)
// go, and the folder when nothing else is left in it. Returns whether `work`
// was removed; anything else under that name stays.
bool RemoveOwnWork(const std::string& work, const std::optional<TFileIdentity>& created,
                   const std::string& pictures = "");

}  // namespace veltrano
