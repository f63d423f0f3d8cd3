#include "converter/ProfileIds.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "converter/DeviceCatalogue.h"
#include "converter/ProfileCatalogue.h"
#include "converter/Utf8.h"

namespace veltrano {
namespace {

// Component name and id of every catalogue profile. Ids are part of the
// command line that people write into scripts: never change one.
const std::map<std::string, std::string, std::less<>>& CatalogueIds() {
  static const std::map<std::string, std::string, std::less<>> ids{
      {"pfVcd", "vcd"},
      {"pfDv", "dv"},
      {"pfDv50", "dv50"},
      {"pfDvd_old", "dvd"},
      {"pfSVcd", "svcd"},
      {"pfImage", "image-sequence"},
      {"pfAAC", "aac"},
      {"pfMp3", "mp3"},
      {"pfTV264_320", "appletv-h264-320"},
      {"pfTV264_480", "appletv-h264-640"},
      {"pfTV264_720", "appletv-h264-720p"},
      {"pfTVMP4_480", "appletv-mpeg4-hq"},
      {"pfTVMP4_480_hq", "appletv-mpeg4"},
      {"pfTVMP4_480_lq", "appletv-mpeg4-lq"},
      {"pfZuneMP4", "zune-mpeg4"},
      {"pfZuneAVC", "zune-h264"},
      {"pfZuneWMV", "zune-wmv"},
      {"pfWMX51", "axim-x51"},
      {"pfWMX51v", "axim-x51v"},
      {"pfWMPocketPC", "pocketpc"},
      {"pfWMPocketPC_lq", "pocketpc-lq"},
      {"pfWMHP_hw6500", "ipaq-hw6500"},
      {"pfWMHP_hx2000", "ipaq-hx2000"},
      {"pfWMHP_hx4700", "ipaq-hx4700"},
      {"pfPS3_hd", "ps3-1080p"},
      {"pfPS3_720", "ps3-720p"},
      {"pfPS3_480", "ps3-480p"},
      {"pfPSP_Mpeg4", "psp-mpeg4"},
      {"pfPSP_AVC", "psp-h264"},
      {"pfPSP_HQ", "psp-480p"},
      {"pfIPhone_264", "iphone-h264"},
      {"pfIPhone_264_tele", "iphone-h264-tv"},
      {"pfIPhone_mpeg4", "iphone-mpeg4"},
      {"pfIPhone_mpeg4_tele", "iphone-mpeg4-tv"},
      {"pfIPhone_mpeg4_wide", "iphone-mpeg4-wide"},
      {"pfIPod", "ipod"},
      {"pfIPod_HQ", "ipod-hq"},
      {"pfIPod_LQ", "ipod-lq"},
      {"pf3gp", "3gp"},
      {"pfAC3", "ac3"},
      {"pf3gp2", "3g2"},
      {"pf3gp2_hq", "3g2-hq"},
      {"pfIPad_H264", "ipad-h264"},
      {"pfIPad_H264_HQ", "ipad-h264-hq"},
      {"pfXb_H264_HD", "xbox-h264"},
      {"pfXb_MPEG_MCE", "xbox-mpeg2"},
      {"pfMKV", "mkv"},
      {"pfDVD_PAL", "dvd-pal"},
      {"pfDVD_NTSC", "dvd-ntsc"},
      {"pfFlash", "flash-video"},
      {"pfMOV", "mov"},
      {"pfJpeg", "jpeg"},
      {"pfGif", "gif"},
      {"pfPng", "png"},
      {"pfBmp", "bmp"},
      {"pfTiff", "tiff"},
      {"pfdWMA128", "wma"},
      {"pfdM4A128", "m4a"},
      {"pfdWAV128", "wav"},
      {"pfdMKA128", "mka"},
      {"pfdMP4Normal", "mp4"},
      {"pfdM4V", "m4v"},
      {"pfdAVINormal", "avi"},
      {"pfdAVIXviD", "xvid-avi"},
      {"pfdWMVNormal", "wmv"},
      {"pfdWMVhd", "wmv-hd"},
      {"pfdM2ts", "m2ts"},
      {"pfdASF", "asf"},
      {"pfdFLVNormal", "flv"},
      {"pfdF4V", "f4v"},
      {"pfdSWFNormal", "swf"},
      // Today's devices and formats.
      {"pfPhone1080", "phone-1080p"},
      {"pfPhone720", "phone-720p"},
      {"pfTv4kHevc", "tv-4k-hevc"},
      {"pfTv4kHevcMkv", "tv-4k-hevc-mkv"},
      {"pfWebVp9", "web-vp9"},
      {"pfWebAv1", "web-av1"},
      {"pfWebAv1Mkv", "web-av1-mkv"},
      {"pfArchiveHevc", "archive-hevc"},
      {"pfArchiveAv1", "archive-av1"},
      {"pfOpus", "opus"},
      {"pfAacLc", "aac-lc"},
      {"pfFlac", "flac"},
      {"pfAlac", "alac"},
      {"pfMp3Vbr", "mp3-vbr"},
      {"pfRemuxMp4", "remux-mp4"},
      {"pfRemuxMkv", "remux-mkv"},
  };
  return ids;
}

// Catalogue ids by description: the user's profile store keeps the
// catalogue's parametric profiles without their component names.
const std::map<std::string, std::string, std::less<>>& CatalogueIdsByDescription() {
  static const auto ids = [] {
    std::map<std::string, std::string, std::less<>> by_description;
    TAVProfileList catalogue;
    BuildCatalogue(catalogue);
    BuildDeviceCatalogue(catalogue);
    for (int i = 0; i < catalogue.ProfileCount(); ++i) {
      const TAVProfile& profile = *catalogue.Profiles(i);
      by_description.emplace(profile.Description(), CatalogueProfileId(profile.Name()));
    }
    return by_description;
  }();
  return ids;
}

std::string CatalogueIdOf(const TAVProfile& profile) {
  std::string id = CatalogueProfileId(profile.Name());
  if (!id.empty()) return id;
  const auto& by_description = CatalogueIdsByDescription();
  const auto found = by_description.find(profile.Description());
  return found == by_description.end() ? std::string() : found->second;
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Code points of UTF-8 text, ASCII letters lowered and blanks left out: the
// form in which names are compared.
std::u32string Normalised(std::string_view text) {
  std::u32string points;
  for (size_t i = 0, length = 0; i < text.size(); i += length) {
    const char32_t point = CodePointAt(text, i, length);
    if (point == U' ' || point == U'\t' || point == U'\u3000') continue;
    points += point < 0x80 ? static_cast<char32_t>(LowerAscii(static_cast<char>(point))) : point;
  }
  return points;
}

size_t EditDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// How far `wanted` is from `candidate`; a candidate that contains what was
// typed counts as near.
size_t Distance(const std::u32string& wanted, const std::u32string& candidate) {
  if (wanted.size() >= 3 && candidate.find(wanted) != std::u32string::npos) return 1;
  return EditDistance(wanted, candidate);
}

std::vector<std::string> Suggestions(const TAVProfileList& list,
                                     const std::vector<std::string>& ids, std::string_view name) {
  const std::u32string wanted = Normalised(name);
  const size_t limit = std::max<size_t>(2, wanted.size() / 3);
  std::vector<std::pair<size_t, int>> near;  // distance, profile index
  for (int i = 0; i < list.ProfileCount(); ++i) {
    const size_t distance = std::min(Distance(wanted, Normalised(ids[i])),
                                     Distance(wanted, Normalised(list.Profiles(i)->Description())));
    if (distance <= limit) near.emplace_back(distance, i);
  }
  std::stable_sort(near.begin(), near.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> suggestions;
  for (const auto& [distance, i] : near) {
    if (suggestions.size() == 5) break;
    suggestions.push_back(ids[i] + " (" + list.Profiles(i)->Description() + ")");
  }
  return suggestions;
}

}  // namespace

std::string CatalogueProfileId(std::string_view component_name) {
  const auto& ids = CatalogueIds();
  const auto found = ids.find(component_name);
  return found == ids.end() ? std::string() : found->second;
}

std::string ProfileIdFromDescription(std::string_view description) {
  std::string id;
  for (char c : description) {
    const char lower = LowerAscii(c);
    if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')) {
      id += lower;
    } else if (!id.empty() && id.back() != '-') {
      id += '-';
    }
  }
  if (!id.empty() && id.back() == '-') id.pop_back();
  return id.empty() ? "profile" : id;
}

std::vector<std::string> ProfileIds(const TAVProfileList& list) {
  const int count = list.ProfileCount();
  std::vector<std::string> ids(count);
  std::set<std::string> used;
  // Catalogue ids first, so that no other profile can take one of them.
  for (int i = 0; i < count; ++i) {
    std::string id = CatalogueIdOf(*list.Profiles(i));
    if (!id.empty() && used.insert(id).second) ids[i] = std::move(id);
  }
  for (int i = 0; i < count; ++i) {
    if (!ids[i].empty()) continue;
    const std::string base = [&] {
      std::string catalogue = CatalogueIdOf(*list.Profiles(i));
      return catalogue.empty() ? ProfileIdFromDescription(list.Profiles(i)->Description())
                               : catalogue;
    }();
    std::string id = base;
    for (int number = 2; !used.insert(id).second; ++number) {
      id = base + "-" + std::to_string(number);
    }
    ids[i] = std::move(id);
  }
  return ids;
}

TProfileLookup FindProfileByName(const TAVProfileList& list, std::string_view name) {
  const std::vector<std::string> ids = ProfileIds(list);
  TProfileLookup lookup;
  auto found = [&](int i) {
    lookup.profile = list.Profiles(i);
    lookup.id = ids[i];
    return lookup;
  };
  for (int i = 0; i < list.ProfileCount(); ++i) {
    if (SameTextIgnoringCase(ids[i], name)) return found(i);
  }
  for (int i = 0; i < list.ProfileCount(); ++i) {
    if (list.Profiles(i)->Description() == name) return found(i);
  }
  const std::u32string wanted = Normalised(name);
  for (int i = 0; i < list.ProfileCount(); ++i) {
    if (Normalised(list.Profiles(i)->Description()) == wanted) return found(i);
  }
  lookup.suggestions = Suggestions(list, ids, name);
  return lookup;
}

}  // namespace veltrano
