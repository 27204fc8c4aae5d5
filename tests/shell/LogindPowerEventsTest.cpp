// Sleep through logind, against python3-dbusmock's logind on a bus of the test's own: the
// observers (the model stopping its processing) run while the delay inhibitor still holds the
// sleep back, and the inhibitor is taken again on wake.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>

#include "shell/LogindPowerEvents.h"
#include "tests/support/ChildProcess.h"

namespace velmora::shell {
namespace {

TEST(LogindPowerEvents, ObserversRunBeforeTheSleepIsLetGoAndWakeHoldsItAgain) {
  VELMORA_REQUIRE_TOOLS(
      "command -v dbus-daemon && command -v gdbus && /usr/bin/python3 -c 'import dbusmock'");
  test::ChildProcess bus, logind;
  const std::string address =
      bus.startAndReadLine({"dbus-daemon", "--session", "--nofork"}, "--print-address=");
  ASSERT_FALSE(address.empty());
  ASSERT_TRUE(logind.start({"/usr/bin/python3", "-m", "dbusmock", "--template", "logind"},
                           {"DBUS_SYSTEM_BUS_ADDRESS=" + address}));
  QDBusConnection connection =
      QDBusConnection::connectToBus(QString::fromStdString(address), QStringLiteral("logind"));
  ASSERT_TRUE(test::eventually([&] {
    return connection.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1"));
  }));

  LogindPowerEvents events(connection);
  EXPECT_TRUE(events.holdsInhibitor());
  std::vector<std::pair<std::string, bool>> seen;
  events.observe([&] { seen.emplace_back("sleep", events.holdsInhibitor()); },
                 [&] { seen.emplace_back("wake", events.holdsInhibitor()); });
  const auto prepare = [&](const std::string& sleeping) {
    test::commandOutput("gdbus call --address '" + address +
                        "' -d org.freedesktop.login1 -o /org/freedesktop/login1 -m "
                        "org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.login1.Manager "
                        "PrepareForSleep b '[<" +
                        sleeping + ">]'");
  };
  prepare("true");
  ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == 1; }, 20000));
  EXPECT_EQ(seen[0], std::make_pair(std::string("sleep"), true)) << "still held while stopping";
  EXPECT_FALSE(events.holdsInhibitor()) << "let go once the observers are done";
  prepare("false");
  ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2; }, 20000));
  EXPECT_EQ(seen[1].first, "wake");
  EXPECT_TRUE(events.holdsInhibitor());
}

}  // namespace
}  // namespace velmora::shell
