#include "common/ConversionSettings.h"

#include "common/ObjectXml.h"

namespace veltrano {

const std::vector<std::string>& SourceTypeNames() {
  static const std::vector<std::string> names{"stFile", "stDvd"};
  return names;
}

const TPropList& TConversionSettings::Properties() const {
  using C = TConversionSettings;
  using K = TPropKind;
  static const TPropList list{
      MakeProperty<C>("SourceFile", K::String, &C::SourceFile, &C::SetSourceFile),
      MakeProperty<C>("SourceType", K::Enumeration, &C::SourceType, &C::SetSourceType, std::nullopt,
                      SourceTypeNames()),
      MakeProperty<C>("DvdDriver", K::String, &C::DvdDriver, &C::SetDvdDriver),
      MakeProperty<C>("DvdTitle", K::Integer, &C::DvdTitle, &C::SetDvdTitle),
      MakeProperty<C>("DvdChapter", K::Integer, &C::DvdChapter, &C::SetDvdChapter),
      MakeProperty<C>("DvdThrough", K::Integer, &C::DvdThrough, &C::SetDvdThrough),
      MakeProperty<C>("DvdAngle", K::Integer, &C::DvdAngle, &C::SetDvdAngle),
      MakeProperty<C>("DvdVolume", K::String, &C::DvdVolume, &C::SetDvdVolume),
      MakeProperty<C>("TargetFile", K::String, &C::TargetFile, &C::SetTargetFile),
      MakeProperty<C>("Profile", K::String, &C::Profile, &C::SetProfile),
      MakeProperty<C>("CategoryId", K::Integer, &C::CategoryId, &C::SetCategoryId),
      MakeObjectProperty<C, TAVConvertOptions>("ConvertOptions", &C::ConvertOptions),
      MakeProperty<C>("Duration", K::Double, &C::Duration, &C::SetDuration),
      MakeProperty<C>("SourceFileSize", K::Int64, &C::SourceFileSize, &C::SetSourceFileSize),
      // Written only when set, so settings without it read as before.
      MakeProperty<C>("Overwrite", K::Boolean, &C::Overwrite, &C::SetOverwrite, 0),
      MakeProperty<C>("EstimatedSizeLow", K::Int64, &C::EstimatedSizeLow, &C::SetEstimatedSizeLow,
                      0),
      MakeProperty<C>("EstimatedSizeHigh", K::Int64, &C::EstimatedSizeHigh,
                      &C::SetEstimatedSizeHigh, 0),
  };
  return list;
}

std::string SettingsToXml(const TConversionSettings& settings) {
  return ObjectToXml(settings);
}

void SettingsFromXml(TConversionSettings& settings, std::string_view text) {
  ObjectFromXml(settings, text);
}

}  // namespace veltrano
