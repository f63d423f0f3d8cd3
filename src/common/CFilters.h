// Video filter descriptions. Each filter holds its parameters and renders
// itself as one entry of the filter-graph text that the conversion options
// carry in TFilterOptions.VideoFilters; the engine translates the entries to
// the library's filters when it builds the graph. The filter objects are not
// stored, only their text. (Their dialogs belong to the user interface.)
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "converter/Persistent.h"

namespace veltrano {

// A colour: red in the low byte, green in the second, blue in the third; the
// fourth byte is ignored.
using TColor = uint32_t;

// The 16 standard colours by display name ("Black" … "White") and value.
const std::vector<std::string>& StandardColorNames();
TColor StandardColor(size_t index);  // index into StandardColorNames()

// The list-join rule of the filter chain: entries joined with ","; an entry
// holding a space, a comma or a control character is framed by one space on
// each side with its own spaces doubled.
std::string JoinFilterEntries(const TStrings& entries);

class TAVFilter : public TPersistent {
 public:
  const TPropList& Properties() const override;

  // This filter's entry of the filter-graph text.
  virtual std::string GetFilterString() const = 0;
  // The caption shown in the wizard's filter list.
  virtual std::string GetDisplayName() const = 0;
  // A copy of this filter, of its class.
  virtual std::unique_ptr<TAVFilter> Clone() const = 0;
};

// A PNG picture drawn at X, Y.
class TLogoFilter : public TAVFilter {
 public:
  const char* ClassName() const override { return "TLogoFilter"; }
  std::unique_ptr<TAVFilter> Clone() const override { return std::make_unique<TLogoFilter>(*this); }
  std::string GetFilterString() const override;
  std::string GetDisplayName() const override { return "Logo Filter"; }

  int32_t X() const { return FX; }
  int32_t Y() const { return FY; }
  const std::string& LogoFile() const { return FLogoFile; }
  void SetX(int32_t value) { FX = value; }
  void SetY(int32_t value) { FY = value; }
  void SetLogoFile(const std::string& value) { FLogoFile = value; }

 private:
  int32_t FX = 0;
  int32_t FY = 0;
  std::string FLogoFile;
};

// Text drawn at X, Y with a TrueType font.
class TOverlayTextFilter : public TAVFilter {
 public:
  const char* ClassName() const override { return "TOverlayTextFilter"; }
  std::unique_ptr<TAVFilter> Clone() const override {
    return std::make_unique<TOverlayTextFilter>(*this);
  }
  std::string GetFilterString() const override;
  std::string GetDisplayName() const override { return "Overlay Text Filter"; }

  const std::string& Text() const { return FText; }  // may hold line breaks
  int32_t FontSize() const { return FFontSize; }
  int32_t X() const { return FX; }
  int32_t Y() const { return FY; }
  TColor FontColor() const { return FFontColor; }
  TColor BgColor() const { return FBgColor; }
  const std::string& FontFile() const { return FFontFile; }
  void SetText(const std::string& value) { FText = value; }
  void SetFontSize(int32_t value) { FFontSize = value; }
  void SetX(int32_t value) { FX = value; }
  void SetY(int32_t value) { FY = value; }
  void SetFontColor(TColor value) { FFontColor = value; }
  void SetBgColor(TColor value) { FBgColor = value; }
  void SetFontFile(const std::string& value) { FFontFile = value; }

 private:
  std::string FText;
  int32_t FFontSize = 0;
  int32_t FX = 0;
  int32_t FY = 0;
  TColor FFontColor = 0;
  TColor FBgColor = 0;
  std::string FFontFile;
};

// Subtitles from a file burnt into the picture.
class TSubtitleFilter : public TAVFilter {
 public:
  const char* ClassName() const override { return "TSubtitleFilter"; }
  std::unique_ptr<TAVFilter> Clone() const override {
    return std::make_unique<TSubtitleFilter>(*this);
  }
  std::string GetFilterString() const override;
  std::string GetDisplayName() const override { return "Hard Subtitle Filter"; }

  const std::string& SubtitleFile() const { return FSubtitleFile; }
  const std::string& FontFile() const { return FFontFile; }
  const std::string& CodePage() const { return FCodePage; }  // a character-set name
  TColor FontColor() const { return FFontColor; }
  void SetSubtitleFile(const std::string& value) { FSubtitleFile = value; }
  void SetFontFile(const std::string& value) { FFontFile = value; }
  void SetCodePage(const std::string& value) { FCodePage = value; }
  void SetFontColor(TColor value) { FFontColor = value; }

 private:
  std::string FSubtitleFile;
  std::string FFontFile;
  std::string FCodePage;
  TColor FFontColor = 0;
};

// Flips, box, negation and rotation; its entries are joined into one.
class TVideoStdFilter : public TAVFilter {
 public:
  const char* ClassName() const override { return "TVideoStdFilter"; }
  std::unique_ptr<TAVFilter> Clone() const override {
    return std::make_unique<TVideoStdFilter>(*this);
  }
  std::string GetFilterString() const override;
  std::string GetDisplayName() const override { return "Standar Filters"; }

  bool VerticalFilp() const { return FVerticalFilp; }
  bool HorizontalFilip() const { return FHorizontalFilip; }
  bool Negate() const { return FNegate; }
  bool Rotate() const { return FRotate; }
  bool DrawBox() const { return FDrawBox; }
  int32_t Degree() const { return FDegree; }  // 0 to 359
  int32_t BX() const { return FBX; }
  int32_t BY() const { return FBY; }
  int32_t BWidth() const { return FBWidth; }
  int32_t BHeight() const { return FBHeight; }
  const std::string& BColor() const { return FBColor; }  // a standard colour name
  void SetVerticalFilp(bool value) { FVerticalFilp = value; }
  void SetHorizontalFilip(bool value) { FHorizontalFilip = value; }
  void SetNegate(bool value) { FNegate = value; }
  void SetRotate(bool value) { FRotate = value; }
  void SetDrawBox(bool value) { FDrawBox = value; }
  void SetDegree(int32_t value) { FDegree = value; }
  void SetBX(int32_t value) { FBX = value; }
  void SetBY(int32_t value) { FBY = value; }
  void SetBWidth(int32_t value) { FBWidth = value; }
  void SetBHeight(int32_t value) { FBHeight = value; }
  void SetBColor(const std::string& value) { FBColor = value; }

 private:
  bool FVerticalFilp = false;
  bool FHorizontalFilip = false;
  bool FNegate = false;
  bool FRotate = false;
  bool FDrawBox = false;
  int32_t FDegree = 0;
  int32_t FBX = 0;
  int32_t FBY = 0;
  int32_t FBWidth = 0;
  int32_t FBHeight = 0;
  std::string FBColor;
};

}  // namespace veltrano
