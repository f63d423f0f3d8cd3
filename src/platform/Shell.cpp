#include "platform/Shell.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/DBus.h"
#include "platform/Process.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

// How long a file manager may take to answer; starting one on demand can
// take a few seconds on a cold desktop.
constexpr int kFileManagerTimeoutMs = 10000;

// `path` made absolute from the current folder (kept as it is when the
// current folder cannot be read). An absolute path never starts with '-',
// so no program can take it for an option.
fs::path AbsolutePath(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(fs::path(path), error);
  return error ? fs::path(path) : absolute;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// Asks the file manager to show `uri` with ShowFolders or ShowItems.
bool ShowInFileManager(const std::string& method, const std::string& uri) {
  TDBusCall call;
  call.bus = TDBusBus::kSession;
  call.destination = "org.freedesktop.FileManager1";
  call.object_path = "/org/freedesktop/FileManager1";
  call.interface_name = "org.freedesktop.FileManager1";
  call.method = method;
  call.arguments = {std::vector<std::string>{uri}, std::string()};  // URIs, startup id
  call.timeout_ms = kFileManagerTimeoutMs;
  return CallDBus(call).accepted;
}

void OpenWithDesktop(const std::string& target) {
  StartProcess({"xdg-open", target});
}

// True for "scheme://…" and "mailto:…" addresses; anything else is a path.
bool IsAddress(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  const auto is_letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (!is_letter(text[0])) return false;
  for (const char c : text.substr(0, colon)) {
    if (!is_letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
  }
  const std::string_view rest = text.substr(colon + 1);
  return rest.starts_with("//") || text.substr(0, colon) == "mailto";
}

}  // namespace

std::string FileUri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : AbsolutePath(path).string()) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte) || c == '/') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0x0F];
    }
  }
  return uri;
}

void ExploreFolder(const std::string& folder, [[maybe_unused]] bool with_tree) {
  if (ShowInFileManager("ShowFolders", FileUri(folder))) return;
  OpenWithDesktop(AbsolutePath(folder).string());
}

void ExploreFile(const std::string& file, [[maybe_unused]] bool with_tree) {
  if (ShowInFileManager("ShowItems", FileUri(file))) return;
  OpenWithDesktop(AbsolutePath(file).parent_path().string());
}

void OpenDocument(const std::string& path_or_address) {
  OpenWithDesktop(IsAddress(path_or_address) ? path_or_address
                                             : AbsolutePath(path_or_address).string());
}

int64_t GetFileSize(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(fs::path(path), error)) return 0;
  const uintmax_t size = fs::file_size(fs::path(path), error);
  return error ? 0 : static_cast<int64_t>(size);
}

}  // namespace veltrano
