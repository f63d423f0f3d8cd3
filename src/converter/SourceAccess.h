// Sources as the system finds them: those that can be read only once (a
// FIFO, a character device, a socket, standard input), opening them so that
// a stop ends a wait for data, and the words for a file that cannot be
// reached (a folder that cannot be entered, a file without permission).
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace veltrano {

class TStreamIO;

// True for sources whose data is gone once read: FIFOs, character devices,
// sockets, "pipe:", "pipe:N" and "-". Reading one of them to look at it
// leaves nothing for the conversion, so such a source is opened only once.
bool ReadOnlyOnce(const std::string& name);
// True for "pipe:", "pipe:N" and "-": a descriptor of the process, not a path.
bool IsPipeName(const std::string& name);

// Opens a source that ReadOnlyOnce names as a byte stream whose open and
// reads wait for data in slices of 100 ms, asking `stopped` in between; a
// stop makes the wait fail. Throws EAVError naming the source and the
// reason when it cannot be opened.
std::unique_ptr<TStreamIO> OpenOnceReadSource(const std::string& name,
                                              std::function<bool()> stopped);

// Why `path` cannot be read (or, with `for_writing`, created or written):
// "无法进入文件夹 DIR (Permission denied)", "文件夹 DIR 不存在", "Permission
// denied", "No such file or directory"; empty when nothing is in the way.
std::string AccessProblem(const std::string& path, bool for_writing = false);

// The reason to give for the library's error `code` in opening `path`: the
// AccessProblem where the library only says the file is missing or not
// permitted, else the library's own text.
std::string OpenFailureReason(int code, const std::string& path, bool for_writing = false);

}  // namespace veltrano
