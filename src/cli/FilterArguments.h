// The --filter arguments of convert and queue add: filter entries in the
// form tasks store them, plus a short form for text overlays.
#pragma once

#include <string>

namespace veltrano::cli {

// The stored entry for one --filter argument. Entries in the stored forms
// are checked (form, files) and kept as they are; the short text overlay
//   drawtext=text='你好'[:x=N][:y=N][:size=N][:color=NAME|#RRGGBB][:font=FILE]
// becomes the full stored entry, with the system's default font for Chinese
// text, position 10,10, size 24 and white unless given. Throws EUsageError
// that explains the accepted form of the entry's kind with an example.
std::string FilterEntryFromArgument(const std::string& argument);

// One example of every filter kind, for the help of convert.
std::string FilterExamples();

}  // namespace veltrano::cli
