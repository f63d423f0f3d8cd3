#include "platform/DBus.h"

#include <mutex>

#include "platform/Process.h"

namespace veltrano {
namespace {

std::string BusOption(TDBusBus bus) {
  return bus == TDBusBus::kSystem ? "--system" : "--session";
}

// dbus-send's "TYPE:VALUE" form of one argument.
std::optional<std::string> DBusSendArgument(const TDBusValue& value) {
  if (const bool* flag = std::get_if<bool>(&value)) {
    return std::string(*flag ? "boolean:true" : "boolean:false");
  }
  if (const std::string* text = std::get_if<std::string>(&value)) return "string:" + *text;
  const auto& items = std::get<std::vector<std::string>>(value);
  if (items.size() == 1 && items.front().empty()) return std::nullopt;
  std::string joined = "array:string:";
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].find(',') != std::string::npos) return std::nullopt;
    if (i > 0) joined += ',';
    joined += items[i];
  }
  return joined;
}

TDBusReply CallWithDBusSend(const TDBusCall& call) {
  const std::optional<std::vector<std::string>> command = DBusSendCommand(call);
  if (!command) return {false, "The call's arguments cannot be passed to dbus-send"};
  const TProcessOutput result = RunProcess(*command);
  if (!result.started) return {false, "dbus-send could not be started"};
  // dbus-send exits with 0 only for a method return; an error reply, a
  // missing service, a missing bus and a time-out all end with 1.
  return {result.exit_code == 0, result.output};
}

struct THandlerSlot {
  std::mutex mutex;
  TDBusHandler handler;
};

THandlerSlot& HandlerSlot() {
  static THandlerSlot slot;
  return slot;
}

}  // namespace

std::optional<std::vector<std::string>> DBusSendCommand(const TDBusCall& call) {
  std::vector<std::string> command = {
      "dbus-send",
      BusOption(call.bus),
      "--print-reply",
      "--reply-timeout=" + std::to_string(call.timeout_ms),
      "--dest=" + call.destination,
      call.object_path,
      call.interface_name + "." + call.method,
  };
  for (const TDBusValue& value : call.arguments) {
    std::optional<std::string> argument = DBusSendArgument(value);
    if (!argument) return std::nullopt;
    command.push_back(std::move(*argument));
  }
  return command;
}

TDBusReply CallDBus(const TDBusCall& call) {
  TDBusHandler handler;
  {
    std::lock_guard lock(HandlerSlot().mutex);
    handler = HandlerSlot().handler;
  }
  return handler ? handler(call) : CallWithDBusSend(call);
}

TDBusHandler SetDBusHandler(TDBusHandler handler) {
  std::lock_guard lock(HandlerSlot().mutex);
  std::swap(HandlerSlot().handler, handler);
  return handler;
}

}  // namespace veltrano
