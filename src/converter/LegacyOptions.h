// Option and encoder names of the profiles that today's library spells
// differently. Profiles keep their stored spellings; the engine translates
// them when a conversion starts, so every option still has its effect.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace veltrano {

using TOptionList = std::vector<std::pair<std::string, std::string>>;

// Today's spelling of the option line `name`=`value`: one or more lines
// (a flags line may split into generic flags and encoder options).
TOptionList TranslateCodecOption(const std::string& name, const std::string& value);

// The part of the option line `name`=`value` that names a file an encoder
// would write or read ("stats=PATH", "passlogfile=PATH", "x264opts=
// dump-yuv=PATH", a "...file" option and the like), empty when there is none.
// Such options are not taken from stored settings or the command line.
std::string FileNamingOption(const std::string& name, const std::string& value);

// The encoder to use for `name`: the name itself when the library has it,
// else its replacement ("libfaac" -> "aac"). Empty when there is none.
std::string ReplacementEncoder(const std::string& name);

}  // namespace veltrano
