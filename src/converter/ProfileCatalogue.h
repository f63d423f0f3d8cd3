// The built-in catalogue: 13 categories and 71 output profiles.
#pragma once

#include "converter/AVProfile.h"

namespace veltrano {

inline constexpr int kCatalogueProfileCount = 71;

// The 13 category captions in the order the user sees them.
const TStrings& CatalogueCategories();

// Sets the categories of `list` and appends the 71 profiles in catalogue
// order, each with its component name ("pfVcd", "pfAAC", …).
void BuildCatalogue(TAVProfileList& list);

}  // namespace veltrano
