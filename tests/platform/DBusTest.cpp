// D-Bus calls as dbus-send commands.
#include <gtest/gtest.h>

#include "platform/DBus.h"
#include "platform/ServiceDoubles.h"

namespace veltrano::test {
namespace {

using TArgs = std::vector<std::string>;

TEST(DBusSendCommand, EveryArgumentKindAndTheBus) {
  TDBusCall call;
  call.bus = TDBusBus::kSystem;
  call.destination = "org.example.Service";
  call.object_path = "/org/example/Service";
  call.interface_name = "org.example.Service";
  call.method = "Do";
  call.arguments = {true, std::string("a:b \"c\" 中"), TArgs{"x", "y"}, TArgs{}};
  call.timeout_ms = 1234;
  EXPECT_EQ(DBusSendCommand(call),
            (TArgs{"dbus-send", "--system", "--print-reply", "--reply-timeout=1234",
                   "--dest=org.example.Service", "/org/example/Service", "org.example.Service.Do",
                   "boolean:true", "string:a:b \"c\" 中", "array:string:x,y", "array:string:"}));
  call.bus = TDBusBus::kSession;
  EXPECT_EQ(DBusSendCommand(call)->at(1), "--session");
}

TEST(DBusSendCommand, ArraysDbusSendCannotSayAreRefusedNotMangled) {
  TDBusCall call;
  call.arguments = {TArgs{"a,b"}};
  EXPECT_FALSE(DBusSendCommand(call));  // would arrive as two elements
  call.arguments = {TArgs{""}};
  EXPECT_FALSE(DBusSendCommand(call));  // would arrive as an empty array
}

TEST(CallDBus, RunsDbusSendAndAcceptsOnlyAMethodReturn) {
  const auto launcher = std::make_shared<TRecordingLauncher>();
  TScopedLauncher scope(launcher);
  TScopedDBusHandler real_dbus(nullptr);
  TDBusCall call;
  call.destination = "org.example.Service";
  call.object_path = "/";
  call.interface_name = "org.example.Service";
  call.method = "Do";

  launcher->run_result = {true, 0, "method return"};
  EXPECT_TRUE(CallDBus(call).accepted);
  ASSERT_EQ(launcher->ran.size(), 1u);
  EXPECT_EQ(launcher->ran[0], *DBusSendCommand(call));

  launcher->run_result = {true, 1, "Error org.freedesktop.DBus.Error.ServiceUnknown"};
  EXPECT_FALSE(CallDBus(call).accepted);
  launcher->run_result = {false, -1, ""};  // no dbus-send on this machine
  EXPECT_FALSE(CallDBus(call).accepted);

  call.arguments = {TArgs{"a,b"}};
  EXPECT_FALSE(CallDBus(call).accepted);
  EXPECT_EQ(launcher->ran.size(), 3u);  // nothing run for a call that cannot be said
}

}  // namespace
}  // namespace veltrano::test
