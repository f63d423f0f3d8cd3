#include "converter/FilterEntries.h"

#include <fontconfig/fontconfig.h>
#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <regex>

#include "converter/AVError.h"

namespace veltrano {
namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Undoes the doubling of backslashes in stored paths.
std::string Undouble(const std::string& text) { return ReplaceAll(text, "\\\\", "\\"); }

void RequireFile(const std::string& path, const char* what) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
    throw EAVError(fmt::format("The {} file \"{}\" does not exist", what, path));
  }
}

// Backslash before every character the filter-graph parser treats specially.
std::string EscapeForGraph(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\' || c == '\'' || c == '[' || c == ']' || c == ',' || c == ';') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// Colour "RRGGBB" of the stored "0x…" form as the library writes it.
std::string HexColour(const std::string& digits) {
  const unsigned long value = std::stoul(digits, nullptr, 16);
  return fmt::format("0x{:06X}", value & 0xFFFFFF);
}

// The family name of a font file, for the subtitle renderer's style.
std::string FontFamily(const std::string& font_file) {
  int count = 0;
  FcPattern* pattern =
      FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(font_file.c_str()), 0, nullptr, &count);
  if (pattern == nullptr) return std::string();
  FcChar8* family = nullptr;
  std::string name;
  if (FcPatternGetString(pattern, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr) {
    name = reinterpret_cast<const char*>(family);
  }
  FcPatternDestroy(pattern);
  return name;
}

std::string TranslateLogo(const std::string& entry) {
  static const std::regex form(R"(logo=(-?\d+)\|(-?\d+)\|(.*))");
  std::smatch m;
  if (!std::regex_match(entry, m, form)) throw EAVError("Invalid logo filter: " + entry);
  const std::string file = Undouble(m[3]);
  RequireFile(file, "logo");
  return "movie=filename=" + EscapeFilterValue(file) + "[logo];[prev][logo]overlay=x=" +
         m[1].str() + ":y=" + m[2].str();
}

std::string TranslateDrawText(const std::string& entry) {
  static const std::regex form(
      R"(drawtext=fontfile=\\'([\s\S]*?)\\'#text='([\s\S]*)'#x=(-?\d+)#y=(-?\d+)#fontsize=(\d+)#fgcolor=0x([0-9A-Fa-f]{6,})FF#bgcolor=0x([0-9A-Fa-f]{6,})00)");
  std::smatch m;
  if (!std::regex_match(entry, m, form)) throw EAVError("Invalid text filter: " + entry);
  const std::string font = Undouble(m[1]);
  RequireFile(font, "font");
  const std::string text = ReplaceAll(m[2], "\\n", "\n");
  return "[prev]drawtext=fontfile=" + EscapeFilterValue(font) + ":text=" + EscapeFilterValue(text) +
         ":expansion=none:x=" + m[3].str() + ":y=" + m[4].str() + ":fontsize=" +
         std::to_string(std::max(1, std::stoi(m[5]))) + ":fontcolor=" + HexColour(m[6]) + "FF";
}

std::string TranslateSubtitles(const std::string& entry) {
  static const std::regex form(
      R"(ass=filename\$([\s\S]*?)#font\$([\s\S]*?)#color\$0x([0-9A-Fa-f]+)00(?:#codepage\$(.*))?)");
  std::smatch m;
  if (!std::regex_match(entry, m, form)) throw EAVError("Invalid subtitle filter: " + entry);
  const std::string file = Undouble(m[1]);
  const std::string font = Undouble(m[2]);
  RequireFile(file, "subtitle");
  const unsigned long rgb = std::stoul(m[3], nullptr, 16) & 0xFFFFFF;
  // Styles write colours as &HAABBGGRR.
  std::string style = fmt::format("PrimaryColour=&H00{:02X}{:02X}{:02X}", rgb & 0xFF,
                                  (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  std::string args = "filename=" + EscapeFilterValue(file);
  if (!font.empty()) {
    RequireFile(font, "font");
    const std::string family = FontFamily(font);
    args += ":fontsdir=" + EscapeFilterValue(std::filesystem::path(font).parent_path().string());
    if (!family.empty()) style = "FontName=" + family + "," + style;
  }
  if (m[4].matched && !m[4].str().empty()) args += ":charenc=" + EscapeFilterValue(m[4]);
  args += ":force_style=" + EscapeFilterValue(style);
  return "[prev]subtitles=" + args;
}

std::string TranslateDrawBox(const std::string& entry) {
  static const std::regex form(R"(drawbox=(-?\d+):(-?\d+):(-?\d+):(-?\d+):([A-Za-z]+))");
  std::smatch m;
  if (!std::regex_match(entry, m, form)) throw EAVError("Invalid box filter: " + entry);
  return fmt::format("[prev]drawbox=x={}:y={}:w={}:h={}:color={}", m[1].str(), m[2].str(),
                     m[3].str(), m[4].str(), m[5].str());
}

std::string TranslateRotate(const std::string& entry) {
  static const std::regex form(R"(rotate=(-?\d+))");
  std::smatch m;
  if (!std::regex_match(entry, m, form)) throw EAVError("Invalid rotate filter: " + entry);
  const double radians = std::stoi(m[1]) * M_PI / 180.0;
  // The output frame holds the whole rotated picture, in even dimensions.
  return fmt::format("[prev]rotate=a={:.17g}:ow=" "'2*ceil(rotw({:.17g})/2)'" ":oh="
                     "'2*ceil(roth({:.17g})/2)'",
                     radians, radians, radians);
}

// One filter entry as a graph segment reading from [prev].
std::string TranslateEntry(const std::string& entry) {
  if (entry == "negate" || entry == "vflip" || entry == "hflip") return "[prev]" + entry;
  if (StartsWith(entry, "logo=")) return TranslateLogo(entry);
  if (StartsWith(entry, "drawtext=")) return TranslateDrawText(entry);
  if (StartsWith(entry, "ass=")) return TranslateSubtitles(entry);
  if (StartsWith(entry, "drawbox=")) return TranslateDrawBox(entry);
  if (StartsWith(entry, "rotate=")) return TranslateRotate(entry);
  throw EAVError("Unknown video filter: " + entry);
}

// Entries of the chain; a group of standard filters is split into its parts.
TStrings FlattenEntries(const std::string& text) {
  TStrings flat;
  for (const std::string& entry : SplitFilterEntries(text)) {
    if (entry.empty()) continue;
    if (StartsWith(entry, "logo=") || StartsWith(entry, "drawtext=") || StartsWith(entry, "ass=")) {
      flat.push_back(entry);
      continue;
    }
    for (const std::string& part : SplitFilterEntries(entry)) {
      if (!part.empty()) flat.push_back(part);
    }
  }
  return flat;
}

}  // namespace

TStrings SplitFilterEntries(const std::string& text) {
  TStrings entries;
  size_t i = 0;
  const size_t n = text.size();
  if (n == 0) return entries;
  while (true) {
    std::string entry;
    if (i < n && text[i] == ' ') {
      // A framed entry: doubled spaces are spaces, a single space ends it.
      ++i;
      while (i < n) {
        if (text[i] == ' ') {
          if (i + 1 < n && text[i + 1] == ' ') {
            entry += ' ';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        entry += text[i++];
      }
      while (i < n && text[i] != ',') entry += text[i++];
    } else {
      while (i < n && text[i] != ',') entry += text[i++];
    }
    entries.push_back(entry);
    if (i >= n) break;
    ++i;  // the comma
    if (i == n) {
      entries.emplace_back();
      break;
    }
  }
  return entries;
}

std::string EscapeFilterValue(const std::string& value) {
  // Inside quotes the option parser takes everything literally; a quote is
  // closed, escaped and reopened. The graph parser then needs its own escapes.
  return EscapeForGraph("'" + ReplaceAll(value, "'", "'\\''") + "'");
}

std::string TranslateVideoFilters(const std::string& text) {
  const TStrings entries = FlattenEntries(text);
  if (entries.empty()) return "[in]null[out]";
  std::string graph;
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string segment = TranslateEntry(entries[i]);
    const std::string input = i == 0 ? "in" : fmt::format("f{}", i);
    const std::string output = i + 1 == entries.size() ? "out" : fmt::format("f{}", i + 1);
    segment = ReplaceAll(segment, "[prev]", "[" + input + "]");
    segment = ReplaceAll(segment, "[logo]", fmt::format("[logo{}]", i));
    if (!graph.empty()) graph += ';';
    graph += segment + "[" + output + "]";
  }
  return graph;
}

}  // namespace veltrano
