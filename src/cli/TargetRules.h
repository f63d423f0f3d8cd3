// Where a conversion with a profile writes: the container is the profile's,
// so the target's name follows it.
//   no target           the configured output folder, the source's name with
//                       the profile's extension (a free name: " (2)" when
//                       taken);
//   a folder            the same name inside that folder;
//   no extension        the profile's extension is added (so is it when the
//                       name's last dot starts no container's extension,
//                       as in "Holiday 2.1");
//   another container   refused with a message naming the profile's
//                       extension, unless the extension is forced, in which
//                       case the name stays and the data is still the
//                       profile's container;
//   image sequences     the name gets the profile's numbered pattern
//                       ("shot.jpg" → "shot%1d.jpg").
// Paths come back absolute, ".." resolved through links as the system does.
#pragma once

#include <string>
#include <vector>

#include "converter/AVOptions.h"
#include "converter/AVProfile.h"

namespace veltrano::cli {

struct TTargetRequest {
  std::string target;       // as typed; empty when none was given
  std::string source_name;  // the name part a proposed target starts from
  bool force_extension = false;
  std::string output_folder;          // where a target that was not given goes
  std::vector<std::string> reserved;  // targets of other unfinished tasks
};

// The target for a conversion with `profile`, whose options (the profile
// applied) are `options`; sets their output format when a forced extension
// would otherwise make the engine choose another container. Throws
// EUsageError.
std::string ResolveTarget(const TTargetRequest& request, const TAVProfile& profile,
                          TAVConvertOptions& options);

// A target typed without a profile, made absolute; the output folder's
// proposal is not possible without a profile (EUsageError when empty).
std::string PlainTarget(const std::string& target);

}  // namespace veltrano::cli
