// Method calls to desktop services over D-Bus (the file manager, logind).
//
// The core links no D-Bus library: a call is made by running the reference
// client `dbus-send` with an argument vector, through the process launcher
// (platform/Process.h). Callers describe the call as data; the current
// handler carries it out, so tests can install a double that records the
// calls and answers them without touching any bus.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace veltrano {

enum class TDBusBus { kSession, kSystem };

// One argument of a call: a boolean ("b"), a string ("s") or an array of
// strings ("as").
using TDBusValue = std::variant<bool, std::string, std::vector<std::string>>;

struct TDBusCall {
  TDBusBus bus = TDBusBus::kSession;
  std::string destination;  // bus name, e.g. "org.freedesktop.login1"
  std::string object_path;
  std::string interface_name;
  std::string method;
  std::vector<TDBusValue> arguments;
  int timeout_ms = 25000;  // how long to wait for the reply
};

struct TDBusReply {
  bool accepted = false;  // the service answered with a method return, not an error
  std::string text;       // the reply or the error as the client reported it
};

using TDBusHandler = std::function<TDBusReply(const TDBusCall& call)>;

// Makes `call` through the current handler.
TDBusReply CallDBus(const TDBusCall& call);

// Replaces the handler and returns the previous one; an empty handler
// restores the default (dbus-send through the process launcher).
TDBusHandler SetDBusHandler(TDBusHandler handler);

// The dbus-send command for `call`. Empty when an argument cannot be said to
// dbus-send: it separates array elements with ',' and has no escape for it,
// and it cannot express an array holding just one empty string.
std::optional<std::vector<std::string>> DBusSendCommand(const TDBusCall& call);

}  // namespace veltrano
