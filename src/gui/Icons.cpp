#include "gui/Icons.h"

#include <QString>

#include <map>

// The bundled pictures live in a static library: their resource must be
// registered by hand (outside any namespace, as Qt's macro requires).
static void RegisterBundledIcons() {
  Q_INIT_RESOURCE(icons);
}

namespace veltrano::gui {
namespace {

struct TIconSource {
  const char* theme;    // freedesktop icon name; nullptr: always the bundled picture
  const char* bundled;  // file name under :/icons/
};

TIconSource SourceOf(TIcon which) {
  switch (which) {
    case TIcon::NewConversion:
      return {"list-add", "add"};
    case TIcon::Start:
      return {"media-playback-start", "start"};
    case TIcon::Pause:
      return {"media-playback-pause", "pause"};
    case TIcon::Stop:
      return {"media-playback-stop", "stop"};
    case TIcon::Finished:
      return {"emblem-default", "finished"};
    case TIcon::Failed:
      return {nullptr, "failed"};  // themes draw errors red, like the stop sign
    case TIcon::Home:
      return {"go-home", "home"};
    case TIcon::Shutdown:
      return {"system-shutdown", "shutdown"};
    case TIcon::Options:
      return {"preferences-system", "options"};
    case TIcon::About:
      return {"help-about", "about"};
    case TIcon::Exit:
      return {"application-exit", "exit"};
    case TIcon::BugReport:
      return {"mail-send", "mail"};
    case TIcon::Donate:
      return {nullptr, "donate"};
    case TIcon::Player:
      return {"video-x-generic", "video"};
    case TIcon::TaskList:
      return {nullptr, "tasks"};
    case TIcon::Category:
      return {"folder", "folder"};
    case TIcon::NewCategory:
      return {"folder-new", "folder-new"};
    case TIcon::Delete:
      return {"edit-delete", "delete"};
    case TIcon::Properties:
      return {"document-properties", "properties"};
    case TIcon::OpenFile:
      return {"document-open", "open-file"};
    case TIcon::ExploreFile:
      return {"system-file-manager", "explore"};
    case TIcon::ClearLog:
      return {"edit-clear", "clear"};
    case TIcon::Application:
      return {nullptr, "veltrano"};
    case TIcon::NewItem:
      return {"document-new", "add"};
    case TIcon::AudioProfile:
      return {"audio-x-generic", "audio"};
    case TIcon::VideoProfile:
      return {"video-x-generic", "video"};
    case TIcon::Save:
      return {"document-save", "save"};
  }
  return {nullptr, "veltrano"};
}

}  // namespace

QIcon Icon(TIcon which) {
  // Views ask for icons every time they paint a row: each is looked up once.
  static std::map<TIcon, QIcon> icons;
  auto known = icons.find(which);
  if (known != icons.end()) return known->second;
  static const bool registered = (RegisterBundledIcons(), true);
  (void)registered;
  const TIconSource source = SourceOf(which);
  const QIcon bundled(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(source.bundled)));
  const QIcon icon =
      source.theme == nullptr ? bundled : QIcon::fromTheme(QLatin1String(source.theme), bundled);
  return icons.emplace(which, icon).first->second;
}

}  // namespace veltrano::gui
