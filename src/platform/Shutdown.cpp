#include "platform/Shutdown.h"

#include "platform/DBus.h"

namespace veltrano {

bool ShutdownComputer() {
  TDBusCall call;
  call.bus = TDBusBus::kSystem;
  call.destination = "org.freedesktop.login1";
  call.object_path = "/org/freedesktop/login1";
  call.interface_name = "org.freedesktop.login1.Manager";
  call.method = "PowerOff";
  call.arguments = {false};  // interactive: never wait for a password prompt
  return CallDBus(call).accepted;
}

}  // namespace veltrano
