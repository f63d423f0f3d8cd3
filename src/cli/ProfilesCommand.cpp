// veltrano-cli profiles: the output profiles by category, as the
// new-conversion wizard lists them (the catalogue, with the user's stored
// profiles in place of its parametric ones when Profiles.ini exists), each
// with its id. Profiles whose category the wizard does not offer ("Images")
// follow under their own category.
#include "cli/ProfilesCommand.h"

#include <fmt/format.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/UsageError.h"
#include "common/ProfileStore.h"
#include "converter/AVProfile.h"
#include "converter/NumberText.h"
#include "converter/ProfileIds.h"

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
    const bool bounded = video->FrameWidth() == 0 && video->FrameHeight() == 0 &&
                         video->MaxFrameWidth() > 0 && video->MaxFrameHeight() > 0;
    const std::string size =
        bounded ? fmt::format("max {}x{}", video->MaxFrameWidth(), video->MaxFrameHeight())
                : fmt::format("{}x{}", video->FrameWidth(), video->FrameHeight());
    const std::string rate = video->VideoFrameRate() == 0 && video->MaxFrameRate() > 0
                                 ? fmt::format("max {} fps", video->MaxFrameRate())
                                 : fmt::format("{:.2f} fps", video->VideoFrameRate());
    const std::string control = video->VideoQuality() > 0
                                    ? "quality " + FloatToText(video->VideoQuality())
                                    : fmt::format("{} kbit/s", video->VideoBitrate());
    text += fmt::format("video {} {} {} {}; ", video->VideoEncoderName(), size, rate, control);
  }
  if (const auto* audio = dynamic_cast<const TAVCustomAudioProfile*>(&profile)) {
    const TCustomAudioChannels channels = audio->AudioChannels();
    const char* layout = channels == TCustomAudioChannels::mono1        ? "mono"
                         : channels == TCustomAudioChannels::chOriginal ? "source channels"
                                                                        : "stereo";
    const std::string control = audio->AudioQuality() >= 0
                                    ? "VBR quality " + FloatToText(audio->AudioQuality())
                                    : FloatToText(audio->AudioBitrate()) + " kbit/s";
    const std::string rate =
        audio->SampleRate() == 0 ? "source rate" : fmt::format("{} Hz", audio->SampleRate());
    text += fmt::format("audio {} {} {} {}", audio->AudioEncoderName(), layout, rate, control);
    if (!audio->Device().empty()) text += "; device " + audio->Device();
  } else if (const auto* remux = dynamic_cast<const TAVRemuxProfile*>(&profile)) {
    text += "every stream copied into " + remux->Format();
  } else {
    text += profile.ClassName();
  }
  return text;
}

// The categories to list: the wizard's, then those of profiles it does not
// offer (in list order, letter case ignored); profiles without one are not
// listed by category.
std::vector<std::string> ListedCategories(const TAVProfileList& list) {
  std::vector<std::string> categories = list.Categories();
  for (int i = 0; i < list.ProfileCount(); ++i) {
    const std::string& category = list.Profiles(i)->Category();
    if (category.empty()) continue;
    const bool known = std::any_of(categories.begin(), categories.end(), [&](const std::string& c) {
      return SameTextIgnoringCase(c, category);
    });
    if (!known) categories.push_back(category);
  }
  return categories;
}

class TProfileListing {
 public:
  TProfileListing(const TAVProfileList& list, const TProfilesArgs& args)
      : list_(list), args_(args), ids_(ProfileIds(list)) {
    for (const std::string& id : ids_) width_ = std::max(width_, id.size());
  }

  void Category(const std::string& caption) const {
    fmt::print("{}\n", caption);
    for (int i = 0; i < list_.ProfileCount(); ++i) {
      if (SameTextIgnoringCase(list_.Profiles(i)->Category(), caption)) Profile(i);
    }
  }

  void Uncategorised() const {
    fmt::print("(no category)\n");
    for (int i = 0; i < list_.ProfileCount(); ++i) {
      if (list_.Profiles(i)->Category().empty()) Profile(i);
    }
  }

 private:
  void Profile(int index) const {
    const TAVProfile& profile = *list_.Profiles(index);
    fmt::print("  {:<{}}  {}  ({})\n", ids_[index], width_, profile.Description(),
               profile.Extension());
    if (args_.details) fmt::print("  {:<{}}      {}\n", "", width_, ProfileDetails(profile));
  }

  const TAVProfileList& list_;
  const TProfilesArgs& args_;
  std::vector<std::string> ids_;
  size_t width_ = 0;
};

void ListProfiles(const TProfilesArgs& args) {
  const std::unique_ptr<TAVProfileList> list = CreateProfileList();
  const std::vector<std::string> categories = ListedCategories(*list);
  const TProfileListing listing(*list, args);
  if (!args.category.empty()) {
    const auto chosen =
        std::find_if(categories.begin(), categories.end(),
                     [&](const std::string& c) { return SameTextIgnoringCase(c, args.category); });
    if (chosen == categories.end()) {
      std::string known;
      for (const std::string& c : categories) known += (known.empty() ? "" : ", ") + c;
      throw cli::EUsageError(
          fmt::format("there is no category '{}'; the categories are {}", args.category, known));
    }
    listing.Category(*chosen);
    return;
  }
  for (const std::string& caption : categories) listing.Category(caption);
  if (args.all) listing.Uncategorised();
}

}  // namespace

void AddProfilesCommand(CLI::App& app) {
  auto args = std::make_shared<TProfilesArgs>();
  CLI::App* command = app.add_subcommand(
      "profiles", "List the output profiles by category with the ids --profile takes");
  command->add_option("-c,--category", args->category, "Only this category (letter case ignored)");
  command->add_flag("-d,--details", args->details,
                    "Show codecs, frame size, frame rate, sample rate and bitrates");
  command->add_flag("-a,--all", args->all,
                    "Also list the profiles without a category (disc standards)");
  command->callback([args] { ListProfiles(*args); });
}

namespace cli {

const TAVProfile& ChooseProfile(const TAVProfileList& list, const std::string& name) {
  const TProfileLookup lookup = FindProfileByName(list, name);
  if (lookup.profile != nullptr) return *lookup.profile;
  std::string hint = "veltrano-cli profiles lists them";
  if (!lookup.suggestions.empty()) {
    std::string near;
    for (const std::string& s : lookup.suggestions) near += (near.empty() ? "" : ", ") + s;
    hint = "did you mean " + near + "?";
  }
  throw EUsageError(fmt::format("No profile is called \"{}\"; {}", name, hint));
}

}  // namespace cli

}  // namespace veltrano
