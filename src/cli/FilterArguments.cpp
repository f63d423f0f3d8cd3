#include "cli/FilterArguments.h"

#include <fmt/format.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

#include "cli/UsageError.h"
#include "common/CFilters.h"
#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/FilterEntries.h"

namespace veltrano::cli {
namespace {

struct TFilterKind {
  const char* prefix;  // what an entry of this kind starts with
  const char* form;
  const char* example;
};

const std::vector<TFilterKind>& FilterKinds() {
  static const std::vector<TFilterKind> kinds{
      {"drawtext=", "drawtext=text='TEXT'[:x=N][:y=N][:size=N][:color=NAME|#RRGGBB][:font=FILE]",
       "drawtext=text='你好':x=20:y=20:size=32:color=Yellow"},
      {"logo=", "logo=X|Y|PICTURE", "logo=10|20|/path/logo.png"},
      {"ass=", "ass=filename$SUBTITLES#font$FONT#color$0xRRGGBB00[#codepage$CHARSET]",
       "ass=filename$/path/film.srt#font$#color$0xFFFFFF00#codepage$GBK"},
      {"drawbox=", "drawbox=X:Y:WIDTH:HEIGHT:COLOUR", "drawbox=10:10:100:50:Red"},
      {"rotate=", "rotate=DEGREES", "rotate=90"},
      {"vflip", "vflip", "vflip"},
      {"hflip", "hflip", "hflip"},
      {"negate", "negate", "negate"},
  };
  return kinds;
}

[[noreturn]] void Explain(const std::string& argument, const std::string& reason) {
  for (const TFilterKind& kind : FilterKinds()) {
    if (argument.rfind(kind.prefix, 0) == 0) {
      throw EUsageError(fmt::format("--filter '{}': {}; the form is {}, for example {}", argument,
                                    reason, kind.form, kind.example));
    }
  }
  std::string known;
  for (const TFilterKind& kind : FilterKinds()) {
    known += (known.empty() ? "" : ", ") + std::string(kind.prefix);
  }
  throw EUsageError(fmt::format("--filter '{}': {}; the filters are {} (see convert --help)",
                                argument, reason, known));
}

// The key=value parts of the short text form, split at ':' outside quotes;
// a quoted value takes \' for a quote and \\ for a backslash.
std::map<std::string, std::string> ShortFormParts(const std::string& argument) {
  std::map<std::string, std::string> parts;
  const std::string body = argument.substr(std::string("drawtext=").size());
  size_t i = 0;
  while (i < body.size()) {
    const size_t eq = body.find('=', i);
    if (eq == std::string::npos) Explain(argument, "'" + body.substr(i) + "' has no value");
    const std::string key = body.substr(i, eq - i);
    std::string value;
    i = eq + 1;
    if (i < body.size() && body[i] == '\'') {
      for (++i; i < body.size() && body[i] != '\''; ++i) {
        if (body[i] == '\\' && i + 1 < body.size()) ++i;
        value += body[i];
      }
      if (i >= body.size()) Explain(argument, "a quote is not closed");
      ++i;
    } else {
      while (i < body.size() && body[i] != ':') value += body[i++];
    }
    if (i < body.size() && body[i] != ':') Explain(argument, "expected ':' after " + key);
    if (i < body.size()) ++i;
    parts[key] = value;
  }
  return parts;
}

int NumberPart(const std::string& argument, const std::string& key, const std::string& value) {
  try {
    size_t used = 0;
    const int number = std::stoi(value, &used);
    if (used == value.size()) return number;
  } catch (const std::logic_error&) {
  }
  Explain(argument, key + " must be a whole number");
}

TColor ColourPart(const std::string& argument, const std::string& value) {
  const auto& names = StandardColorNames();
  for (size_t i = 0; i < names.size(); ++i) {
    if (SameTextIgnoringCase(names[i], value)) return StandardColor(i);
  }
  std::string digits = value;
  if (!digits.empty() && digits[0] == '#') digits.erase(0, 1);
  if (digits.rfind("0x", 0) == 0) digits.erase(0, 2);
  const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  if (digits.size() == 6 && std::all_of(digits.begin(), digits.end(), hex)) {
    return SwapRedBlue(static_cast<TColor>(std::stoul(digits, nullptr, 16)));
  }
  std::string known;
  for (const std::string& name : names) known += (known.empty() ? "" : ", ") + name;
  Explain(argument, "colour '" + value + "' is neither #RRGGBB nor one of " + known);
}

// The font fontconfig picks for Chinese text.
std::optional<std::string> DefaultCjkFont() {
  if (FcInit() == FcFalse) return std::nullopt;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(":lang=zh-cn"));
  if (pattern == nullptr) return std::nullopt;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return std::nullopt;
  std::optional<std::string> file;
  FcChar8* name = nullptr;
  FcLangSet* languages = nullptr;
  // A match without Chinese glyphs is the best of nothing: not taken.
  if (FcPatternGetString(match, FC_FILE, 0, &name) == FcResultMatch &&
      FcPatternGetLangSet(match, FC_LANG, 0, &languages) == FcResultMatch &&
      FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("zh-cn")) !=
          FcLangDifferentLang) {
    file = reinterpret_cast<const char*>(name);
  }
  FcPatternDestroy(match);
  return file;
}

std::string ExpandShortText(const std::string& argument) {
  std::map<std::string, std::string> parts = ShortFormParts(argument);
  if (parts.count("text") == 0) Explain(argument, "the text is missing");
  TOverlayTextFilter filter;
  filter.SetText(parts["text"]);
  filter.SetX(10);
  filter.SetY(10);
  filter.SetFontSize(24);
  filter.SetFontColor(StandardColor(15));  // white
  for (const auto& [key, value] : parts) {
    if (key == "text") continue;
    if (key == "x") {
      filter.SetX(NumberPart(argument, key, value));
    } else if (key == "y") {
      filter.SetY(NumberPart(argument, key, value));
    } else if (key == "size" || key == "fontsize") {
      filter.SetFontSize(NumberPart(argument, key, value));
    } else if (key == "color" || key == "colour" || key == "fontcolor") {
      filter.SetFontColor(ColourPart(argument, value));
    } else if (key == "font" || key == "fontfile") {
      filter.SetFontFile(value);
    } else {
      Explain(argument, "'" + key + "' is not a part of a text overlay");
    }
  }
  if (filter.FontFile().empty()) {
    const std::optional<std::string> font = DefaultCjkFont();
    if (!font) Explain(argument, "no font for Chinese text is installed; give one with font=FILE");
    filter.SetFontFile(*font);
  }
  return filter.GetFilterString();
}

bool IsStoredTextForm(const std::string& argument) {
  return argument.rfind("drawtext=fontfile=", 0) == 0;
}

}  // namespace

std::string FilterEntryFromArgument(const std::string& argument) {
  std::string entry = argument;
  if (argument.rfind("drawtext=", 0) == 0 && !IsStoredTextForm(argument)) {
    entry = ExpandShortText(argument);
  }
  try {
    // Translating checks the form and that the named files exist.
    TranslateVideoFilters(JoinFilterEntries({entry}));
  } catch (const EAVError& e) {
    Explain(argument, e.what());
  }
  return entry;
}

std::string FilterExamples() {
  std::string text = "Filters (--filter, repeatable, applied in order):\n";
  for (const TFilterKind& kind : FilterKinds()) {
    // Quoted for the shell: the text form holds single quotes, the others '$' or '|'.
    const char quote = std::string(kind.example).find('\'') != std::string::npos ? '"' : '\'';
    text +=
        fmt::format("  {}\n      e.g. --filter {}{}{}\n", kind.form, quote, kind.example, quote);
  }
  return text;
}

}  // namespace veltrano::cli
