// veltrano-cli profiles: the output profiles by category, as the
// new-conversion wizard lists them (the catalogue, with the user's stored
// profiles in place of its parametric ones when Profiles.ini exists).
#include "cli/ProfilesCommand.h"

#include <fmt/format.h>

#include <memory>
#include <string>

#include "common/ProfileStore.h"
#include "converter/AVProfile.h"
#include "converter/NumberText.h"

namespace veltrano {
namespace {

struct TProfilesArgs {
  std::string category;
  bool details = false;
  bool all = false;
};

// The values the wizard's profile information frame shows.
std::string ProfileDetails(const TAVProfile& profile) {
  std::string text;
  if (const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(&profile)) {
    text += fmt::format("video {} {}x{} {:.2f} fps {} kbit/s; ", video->VideoEncoderName(),
                        video->FrameWidth(), video->FrameHeight(), video->VideoFrameRate(),
                        video->VideoBitrate());
  }
  if (const auto* audio = dynamic_cast<const TAVCustomAudioProfile*>(&profile)) {
    const bool mono = audio->AudioChannels() == TCustomAudioChannels::mono1;
    text += fmt::format("audio {} {} {} Hz {} kbit/s", audio->AudioEncoderName(),
                        mono ? "mono" : "stereo", audio->SampleRate(),
                        FloatToText(audio->AudioBitrate()));
  } else {
    text += profile.ClassName();
  }
  return text;
}

void PrintProfile(const TAVProfile& profile, const TProfilesArgs& args) {
  fmt::print("  {}  ({})\n", profile.Description(), profile.Extension());
  if (args.details) fmt::print("      {}\n", ProfileDetails(profile));
}

bool IsOffered(const TAVProfileList& list, const TAVProfile& profile) {
  for (const std::string& caption : list.Categories()) {
    if (SameTextIgnoringCase(caption, profile.Category())) return true;
  }
  return false;
}

void ListProfiles(const TProfilesArgs& args) {
  const std::unique_ptr<TAVProfileList> list = CreateProfileList();
  bool found = args.category.empty();
  for (const std::string& caption : list->Categories()) {
    if (!args.category.empty() && !SameTextIgnoringCase(caption, args.category)) continue;
    found = true;
    fmt::print("{}\n", caption);
    for (const TAVProfile* profile : list->ProfilesOfCategory(caption)) {
      PrintProfile(*profile, args);
    }
  }
  if (!found) {
    fmt::print(stderr, "Unknown category: {}\n", args.category);
    throw CLI::RuntimeError(1);
  }
  if (args.all && args.category.empty()) {
    fmt::print("(not offered by a category)\n");
    for (int i = 0; i < list->ProfileCount(); ++i) {
      const TAVProfile& profile = *list->Profiles(i);
      if (!IsOffered(*list, profile)) PrintProfile(profile, args);
    }
  }
}

}  // namespace

void AddProfilesCommand(CLI::App& app) {
  auto args = std::make_shared<TProfilesArgs>();
  CLI::App* command = app.add_subcommand(
      "profiles", "List the output profiles by category, as the new-conversion wizard does");
  command->add_option("-c,--category", args->category, "Only this category (letter case ignored)");
  command->add_flag("-d,--details", args->details,
                    "Show codecs, frame size, frame rate, sample rate and bitrates");
  command->add_flag("-a,--all", args->all,
                    "Also list the profiles that no category offers (disc standards, images)");
  command->callback([args] { ListProfiles(*args); });
}

}  // namespace veltrano
