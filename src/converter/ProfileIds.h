// Short ids of the output profiles, for people who type them: lowercase
// ASCII letters, digits and dashes ("iphone-h264", "xvid-avi", "mp3").
//
// A catalogue profile's id comes from a fixed table and never changes, also
// when the user's profile store holds the profile (it is recognised by its
// description). Any other profile's id derives from its description; ids
// that would repeat one given before in the list get "-2", "-3", … so every
// id of a list is unique.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "converter/AVProfile.h"

namespace veltrano {

// The id of a catalogue profile by its component name ("pfMp3" → "mp3");
// empty for a name the catalogue does not have.
std::string CatalogueProfileId(std::string_view component_name);

// The id a profile that is not the catalogue's gets from its description:
// runs of anything but ASCII letters and digits become one dash; "profile"
// when nothing is left.
std::string ProfileIdFromDescription(std::string_view description);

// The ids of the profiles of `list`, in list order.
std::vector<std::string> ProfileIds(const TAVProfileList& list);

struct TProfileLookup {
  const TAVProfile* profile = nullptr;  // nullptr when nothing matched
  std::string id;                       // the matched profile's id
  // When nothing matched: the nearest profiles as "id (Description)", best first.
  std::vector<std::string> suggestions;
};

// Finds the profile that `name` means: its id (letter case ignored), its
// description exactly, or its description with letter case and blanks
// ignored. Otherwise suggests the nearest ids and descriptions.
TProfileLookup FindProfileByName(const TAVProfileList& list, std::string_view name);

}  // namespace veltrano
