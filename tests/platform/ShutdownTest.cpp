// The shutdown request, answered by a D-Bus double: never a real one.
#include "platform/Shutdown.h"

#include <gtest/gtest.h>

#include "platform/ServiceDoubles.h"

namespace veltrano::test {
namespace {

TEST(ShutdownComputer, AsksLogindToPowerOffWithoutInteractionAndReportsTheAnswer) {
  {
    TDBusRecorder dbus(true);
    EXPECT_TRUE(ShutdownComputer());
    ASSERT_EQ(dbus.Calls().size(), 1u);
    const TDBusCall& call = dbus.Calls()[0];
    EXPECT_EQ(call.bus, TDBusBus::kSystem);
    EXPECT_EQ(call.destination, "org.freedesktop.login1");
    EXPECT_EQ(call.object_path, "/org/freedesktop/login1");
    EXPECT_EQ(call.interface_name, "org.freedesktop.login1.Manager");
    EXPECT_EQ(call.method, "PowerOff");
    ASSERT_EQ(call.arguments.size(), 1u);
    EXPECT_EQ(call.arguments[0], TDBusValue(false));
  }
  TDBusRecorder refusing(false);
  EXPECT_FALSE(ShutdownComputer());
}

}  // namespace
}  // namespace veltrano::test
