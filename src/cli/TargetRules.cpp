#include "cli/TargetRules.h"

#include <fmt/format.h>

#include <filesystem>
#include <set>

extern "C" {
#include <libavformat/avformat.h>
}

#include "cli/UsageError.h"
#include "common/TargetNames.h"
#include "converter/Persistent.h"
#include "converter/SafeOutputs.h"

namespace veltrano::cli {
namespace {

namespace fs = std::filesystem;

// The absolute path of the file the system opens for `path` (".." through
// links as the kernel resolves it).
fs::path Absolute(const std::string& path) {
  return fs::path(ResolvedPath(path));
}

// Muxers that write the same kind of file under different names: an .m4a
// target suits a profile that writes .mp4, a .mpg one a profile for .vob.
std::string Family(const AVOutputFormat* format) {
  static const std::set<std::string> iso{"mp4", "mov", "ipod", "psp", "3gp", "3g2", "ismv", "f4v"};
  static const std::set<std::string> program_stream{"mpeg", "vob", "svcd", "vcd", "dvd"};
  const std::string name = format->name;
  if (iso.count(name) != 0) return "mp4";
  if (program_stream.count(name) != 0) return "mpeg";
  return name;
}

const AVOutputFormat* FormatOfName(const std::string& file_name) {
  return av_guess_format(nullptr, file_name.c_str(), nullptr);
}

// The container the profile writes: its output format, else the one its
// extension names.
const AVOutputFormat* ProfileContainer(const TAVProfile& profile,
                                       const TAVConvertOptions& options) {
  if (!options.OutputFormat().empty()) {
    return av_guess_format(options.OutputFormat().c_str(), nullptr, nullptr);
  }
  return FormatOfName("name" + profile.Extension());
}

bool IsImageSequence(const TAVProfile& profile) {
  return profile.Extension().find('%') != std::string::npos;
}

// ".mp4"; ".jpg" of an image sequence's "%1d.jpg".
std::string FileExtension(const TAVProfile& profile) {
  const std::string& extension = profile.Extension();
  const size_t dot = extension.rfind('.');
  if (!IsImageSequence(profile)) return extension;
  return dot == std::string::npos ? std::string() : extension.substr(dot);
}

std::string Proposed(const fs::path& folder, const TTargetRequest& request,
                     const TAVProfile& profile) {
  std::error_code ignored;  // a folder that cannot be made fails the run with its reason
  fs::create_directories(folder, ignored);
  return FreeTargetName((folder / (request.source_name + profile.Extension())).string(),
                        request.reserved);
}

[[noreturn]] void RefuseExtension(const fs::path& target, const TAVProfile& profile,
                                  const std::string& wanted) {
  throw EUsageError(fmt::format(
      "the target '{}' does not fit the profile '{}', which writes {} files: name it '{}', "
      "or keep the name with --force-extension",
      target.filename().string(), profile.Description(), FileExtension(profile), wanted));
}

std::string ImageTarget(const fs::path& target, const TTargetRequest& request,
                        const TAVProfile& profile) {
  const std::string image_extension = FileExtension(profile);
  const std::string extension = target.extension().string();
  const bool numbered = av_filename_number_test(target.string().c_str()) != 0;
  const bool known = !extension.empty() && FormatOfName(target.filename().string()) != nullptr;
  const bool fits = SameTextIgnoringCase(extension, image_extension);
  fs::path stem = target;
  if (fits || known) stem.replace_extension();
  if (known && !fits) {
    if (!request.force_extension) {
      RefuseExtension(target, profile,
                      fs::path(stem.string() + profile.Extension()).filename().string());
    }
    return numbered ? target.string() : stem.string() + "%1d" + extension;
  }
  if (numbered) return fits ? target.string() : target.string() + image_extension;
  return stem.string() + profile.Extension();
}

}  // namespace

std::string ResolveTarget(const TTargetRequest& request, const TAVProfile& profile,
                          TAVConvertOptions& options) {
  if (request.target.empty()) return Proposed(Absolute(request.output_folder), request, profile);
  const fs::path target = Absolute(request.target);
  std::error_code error;
  if (request.target.back() == '/' || fs::is_directory(target, error)) {
    return Proposed(target, request, profile);
  }
  if (IsImageSequence(profile)) return ImageTarget(target, request, profile);

  const std::string extension = target.extension().string();
  const AVOutputFormat* named =
      extension.empty() ? nullptr : FormatOfName(target.filename().string());
  if (named == nullptr) return target.string() + profile.Extension();
  const AVOutputFormat* container = ProfileContainer(profile, options);
  if (SameTextIgnoringCase(extension, profile.Extension()) || container == nullptr ||
      Family(named) == Family(container)) {
    return target.string();
  }
  if (!request.force_extension) {
    fs::path fitting = target;
    RefuseExtension(target, profile,
                    fitting.replace_extension(profile.Extension()).filename().string());
  }
  // The name stays, the data is the profile's.
  if (options.OutputFormat().empty()) options.SetOutputFormat(container->name);
  return target.string();
}

std::string PlainTarget(const std::string& target) {
  if (target.empty()) {
    throw EUsageError("convert needs a TARGET, or a --profile that names the output folder");
  }
  return Absolute(target).string();
}

}  // namespace veltrano::cli
