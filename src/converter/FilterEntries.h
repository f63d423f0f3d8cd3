// The system's video filter entries and today's filter graph.
//
// Tasks store their filters as entries joined into one text: "logo=X|Y|file",
// "drawtext=fontfile=\'…\'#text='…'#x=…#y=…#fontsize=…#fgcolor=0x…FF#bgcolor=0x…00",
// "ass=filename$…#font$…#color$0x…00[#codepage$…]", "drawbox=x:y:w:h:Colour",
// "negate", "rotate=deg", "vflip", "hflip"; a group of standard filters is
// itself a comma-joined list. Entries are joined with "," and an entry holding
// a space, a comma or a control character is framed by spaces with its own
// spaces doubled. This unit splits that text and translates every entry to
// the library's filters, escaping file names and texts so that they reach the
// filters exactly as written.
#pragma once

#include <string>
#include <vector>

#include "converter/Persistent.h"

namespace veltrano {

// The entries of a stored chain: the inverse of JoinFilterEntries (the
// filter model's join), where a framed entry's doubled spaces are its spaces.
TStrings SplitFilterEntries(const std::string& text);

// Translates a stored filter chain into a filter-graph description whose
// open input is labelled [in] and open output [out]. Throws EAVError for an
// entry it does not know and for a missing logo, font or subtitle file.
std::string TranslateVideoFilters(const std::string& text);

// Escapes `value` so that a filter receives it unchanged as an option value
// inside a filter-graph description.
std::string EscapeFilterValue(const std::string& value);

}  // namespace veltrano
