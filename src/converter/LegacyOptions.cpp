#include "converter/LegacyOptions.h"

#include <cctype>
#include <map>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include "converter/FFmpegPtr.h"

namespace veltrano {
namespace {

// x264 options that used to be generic option names.
const std::map<std::string, std::string>& RenamedOptions() {
  static const std::map<std::string, std::string> table{
      {"me_method", "motion-est"}, {"directpred", "direct-pred"}, {"wpredp", "weightp"},
      {"cqp", "qp"},
  };
  return table;
}

// Former flags that are encoder options today; the value is the option
// name and, per sign, the value it takes.
struct TFlagOption {
  std::string option;
  std::string on;
  std::string off;
};
const std::map<std::string, TFlagOption>& FlagOptions() {
  static const std::map<std::string, TFlagOption> table{
      {"mixed_refs", {"mixed-refs", "1", "0"}},
      {"wpred", {"weightb", "1", "0"}},
      {"dct8x8", {"8x8dct", "1", "0"}},
      {"fastpskip", {"fast-pskip", "1", "0"}},
      {"mbtree", {"mbtree", "1", "0"}},
      {"bpyramid", {"b-pyramid", "normal", "none"}},
      {"scan_offset", {"scan_offset", "1", "0"}},
      {"aic", {"aic", "1", "0"}},
      {"umv", {"umv", "1", "0"}},
      {"aiv", {"aiv", "1", "0"}},
      {"obmc", {"obmc", "1", "0"}},
      {"ss", {"structured_slices", "1", "0"}},
      {"alt", {"alternate_scan", "1", "0"}},
  };
  return table;
}

// True when `token` is a constant of the generic codec option `unit`.
bool IsGenericFlag(const std::string& unit, const std::string& token) {
  static const CodecContextPtr generic(avcodec_alloc_context3(nullptr));
  const AVOption* o = av_opt_find(generic.get(), token.c_str(), unit.c_str(), 0, 0);
  return o != nullptr && o->type == AV_OPT_TYPE_CONST;
}

// "+a-b+c" (a leading sign may be missing) into signed tokens.
std::vector<std::pair<char, std::string>> FlagTokens(const std::string& value) {
  std::vector<std::pair<char, std::string>> tokens;
  char sign = '+';
  std::string name;
  for (char c : value) {
    if (c == '+' || c == '-') {
      if (!name.empty()) tokens.emplace_back(sign, name);
      name.clear();
      sign = c;
    } else {
      name += c;
    }
  }
  if (!name.empty()) tokens.emplace_back(sign, name);
  return tokens;
}

TOptionList TranslateFlags(const std::string& unit, const std::string& value) {
  TOptionList lines;
  std::string generic;
  for (const auto& [sign, token] : FlagTokens(value)) {
    auto it = FlagOptions().find(token);
    if (it != FlagOptions().end() && !IsGenericFlag(unit, token)) {
      lines.emplace_back(it->second.option, sign == '+' ? it->second.on : it->second.off);
    } else {
      generic += sign + token;
    }
  }
  if (!generic.empty()) lines.insert(lines.begin(), {unit, generic});
  return lines;
}

// "+parti8x8+parti4x4-partp4x4" -> "i8x8,i4x4"; nothing enabled -> "none".
std::string TranslatePartitions(const std::string& value) {
  std::string list;
  for (const auto& [sign, token] : FlagTokens(value)) {
    if (sign != '+' || token.rfind("part", 0) != 0) continue;
    if (!list.empty()) list += ',';
    list += token.substr(4);
  }
  return list.empty() ? "none" : list;
}

}  // namespace

TOptionList TranslateCodecOption(const std::string& name, const std::string& value) {
  if (name == "flags" || name == "flags2") return TranslateFlags(name, value);
  if (name == "partitions" && (value.find("part") != std::string::npos)) {
    return {{"partitions", TranslatePartitions(value)}};
  }
  auto renamed = RenamedOptions().find(name);
  if (renamed != RenamedOptions().end()) return {{renamed->second, value}};
  return {{name, value}};
}

std::string ReplacementEncoder(const std::string& name) {
  if (name.empty() || avcodec_find_encoder_by_name(name.c_str()) != nullptr) return name;
  static const std::map<std::string, std::string> replacements{
      {"libfaac", "aac"},         {"libvo_aacenc", "aac"}, {"libaacplus", "aac"},
      {"libfdk_aac", "aac"},      {"libmp3lame", "mp2"},   {"libxvid", "mpeg4"},
      {"libopencore_amrnb", ""},  {"libtheora", ""},
  };
  auto it = replacements.find(name);
  if (it == replacements.end() || it->second.empty()) return std::string();
  return avcodec_find_encoder_by_name(it->second.c_str()) != nullptr ? it->second : std::string();
}

namespace {

bool NamesAFile(std::string key) {
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!key.empty() && (key.front() == '-' || key.front() == '_')) key.erase(0, 1);
  // An encoder's "profile" (High, Main) names none.
  const bool names_file = key.find("file") != std::string::npos && key != "profile";
  return names_file || key.find("path") != std::string::npos ||
         key.find("dump") != std::string::npos || key.find("stats") != std::string::npos ||
         key.find("passlog") != std::string::npos || key == "csv" || key == "qpfile" ||
         key == "tcfile-in" || key == "tcfile-out";
}

// The keys of an encoder's own parameter list ("a=1:b=2", or with commas).
std::vector<std::string> ParameterKeys(const std::string& list) {
  std::vector<std::string> keys;
  std::string item;
  for (size_t i = 0; i <= list.size(); ++i) {
    if (i == list.size() || list[i] == ':' || list[i] == ',') {
      keys.push_back(item.substr(0, item.find('=')));
      item.clear();
    } else {
      item += list[i];
    }
  }
  return keys;
}

}  // namespace

std::string FileNamingOption(const std::string& name, const std::string& value) {
  if (NamesAFile(name)) return name + "=" + value;
  // Parameter lists handed whole to an encoder library (x264opts,
  // x264-params, x265-params, svtav1-params, ...).
  if (name.find("opts") != std::string::npos || name.find("params") != std::string::npos) {
    for (const std::string& key : ParameterKeys(value)) {
      if (NamesAFile(key)) return name + "=" + value;
    }
  }
  return {};
}

}  // namespace veltrano
