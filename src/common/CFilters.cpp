#include "common/CFilters.h"

#include <fmt/format.h>

#include "converter/AVLib.h"
#include "converter/TextLists.h"

namespace veltrano {
namespace {

std::string DoubleBackslashes(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    result += c;
    if (c == '\\') result += '\\';
  }
  return result;
}

// Line breaks become the two characters backslash and "n": a CR LF pair (the
// Windows form) as well as a lone LF or CR, so that no raw line break reaches
// the graph text.
std::string EscapeLineBreaks(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      result += "\\n";
      ++i;
    } else if (text[i] == '\r' || text[i] == '\n') {
      result += "\\n";
    } else {
      result += text[i];
    }
  }
  return result;
}

uint32_t Rgb(TColor colour) {
  return SwapRedBlue(colour);
}

}  // namespace

const std::vector<std::string>& StandardColorNames() {
  static const std::vector<std::string> names{
      "Black",  "Maroon", "Green", "Olive",  "Navy", "Purple",  "Teal", "Gray",
      "Silver", "Red",    "Lime",  "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
  return names;
}

TColor StandardColor(size_t index) {
  static const TColor colours[] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                   0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF,
                                   0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
  return index < std::size(colours) ? colours[index] : 0;
}

std::string JoinFilterEntries(const TStrings& entries) {
  return DelimitedText(entries, ',', ' ');
}

const TPropList& TAVFilter::Properties() const {
  static const TPropList none;
  return none;
}

std::string TLogoFilter::GetFilterString() const {
  return fmt::format("logo={}|{}|{}", FX, FY, DoubleBackslashes(FLogoFile));
}

std::string TOverlayTextFilter::GetFilterString() const {
  return fmt::format(
      "drawtext=fontfile=\\'{}\\'#text='{}'#x={}#y={}#fontsize={}#fgcolor=0x{:06X}FF"
      "#bgcolor=0x{:06X}00",
      DoubleBackslashes(FFontFile), EscapeLineBreaks(FText), FX, FY, FFontSize, Rgb(FFontColor),
      Rgb(FBgColor));
}

std::string TSubtitleFilter::GetFilterString() const {
  std::string entry =
      fmt::format("ass=filename${}#font${}#color$0x{:X}00", DoubleBackslashes(FSubtitleFile),
                  DoubleBackslashes(FFontFile), Rgb(FFontColor));
  if (!FCodePage.empty()) entry += "#codepage$" + FCodePage;
  return entry;
}

std::string TVideoStdFilter::GetFilterString() const {
  TStrings entries;
  if (FVerticalFilp) entries.emplace_back("vflip");
  if (FHorizontalFilip) entries.emplace_back("hflip");
  if (FDrawBox) {
    entries.push_back(fmt::format("drawbox={}:{}:{}:{}:{}", FBX, FBY, FBWidth, FBHeight, FBColor));
  }
  if (FNegate) entries.emplace_back("negate");
  if (FRotate) entries.push_back(fmt::format("rotate={}", FDegree));
  return JoinFilterEntries(entries);
}

}  // namespace veltrano
