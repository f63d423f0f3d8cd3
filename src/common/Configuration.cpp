#include "common/Configuration.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/ObjectXml.h"
#include "platform/AppFolders.h"
#include "platform/AtomicFile.h"
#include "platform/Priority.h"

namespace veltrano {

const TPropList& TPerformanceOptions::Properties() const {
  using C = TPerformanceOptions;
  static const TPropList list{
      MakeProperty<C>("ThreadCount", TPropKind::Integer, &C::ThreadCount, &C::SetThreadCount),
      MakeProperty<C>("ThreadPrority", TPropKind::Integer, &C::ThreadPrority, &C::SetThreadPrority),
  };
  return list;
}

TAVConfiguration::TAVConfiguration() : FOutputFolder(GetDefaultOutputFolder()) {}

const TPropList& TAVConfiguration::Properties() const {
  using C = TAVConfiguration;
  using K = TPropKind;
  static const TPropList list{
      MakeObjectProperty<C, TPerformanceOptions>("PerformanceOptions", &C::PerformanceOptions),
      MakeProperty<C>("ShutdownWhenDone", K::Boolean, &C::ShutdownWhenDone, &C::SetShutdownWhenDone,
                      0),
      MakeProperty<C>("OutputFolder", K::String, &C::OutputFolder, &C::SetOutputFolder),
      MakeProperty<C>("ShowAlert", K::Boolean, &C::ShowAlert, &C::SetShowAlert, 1),
      MakeProperty<C>("Language", K::String, &C::Language, &C::SetLanguage),
      MakeProperty<C>("CopyFittingStreams", K::Boolean, &C::CopyFittingStreams,
                      &C::SetCopyFittingStreams, 1),
  };
  return list;
}

void TAVConfiguration::Load() {
  std::error_code error;
  if (!std::filesystem::exists(GetConfigFile(), error)) Save();
  LoadFromFile(GetConfigFile());
}

void TAVConfiguration::LoadFromFile(const std::string& AFile) {
  std::ifstream file(AFile, std::ios::binary);
  if (!file) return;
  std::ostringstream text;
  text << file.rdbuf();
  ObjectFromXml(*this, text.str());
}

void TAVConfiguration::Save() {
  std::error_code ignored;  // a missing folder shows when the file is written
  std::filesystem::create_directories(GetAppDataFolder(), ignored);
  SetProcessPriorityLevel(FPerformanceOptions.ThreadPrority());
  SaveToFile(GetConfigFile());
}

void TAVConfiguration::SaveToFile(const std::string& AFile) const {
  WriteFileAtomicallyOrThrow(AFile, ToXml());
}

std::string TAVConfiguration::ToXml() const {
  // The file's lines end in CR LF. Only the line ends of the layout change:
  // they always follow a tag's '>' (a value's own '>' is written "&gt;"), so
  // line ends inside values stay as they are.
  const std::string text = ObjectToXml(*this, TXmlWriteStyle{true, true});
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && i > 0 && text[i - 1] == '>') crlf += '\r';
    crlf += text[i];
  }
  return crlf;
}

TAVConfiguration& AVConfiguration() {
  static TAVConfiguration configuration;
  return configuration;
}

}  // namespace veltrano
