// The panel over the desktop's accessibility bus, as a screen reader reaches it: the test starts
// its own X server, session bus and accessibility bus (at-spi2-core), finds the panel's controls
// by name and works two of them through the bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSlider>
#include <QTest>
#include <map>
#include <string>
#include <vector>

#include "PanelHarness.h"
#include "tests/support/ChildProcess.h"

namespace {

struct Node {
  QString service;
  QString path;
};

QDBusMessage call(const QDBusConnection& bus, const Node& node, const QString& interface,
                  const QString& method, const QList<QVariant>& args = {}) {
  QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface, method);
  message.setArguments(args);
  // The panel answers on this thread: wait with its events flowing.
  return bus.call(message, QDBus::BlockWithGui, 5000);
}

std::vector<Node> children(const QDBusConnection& bus, const Node& node) {
  const QDBusMessage reply = call(bus, node, "org.a11y.atspi.Accessible", "GetChildren");
  std::vector<Node> result;
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return result;
  const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
  argument.beginArray();
  while (!argument.atEnd()) {
    QString service;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> service >> path;
    argument.endStructure();
    result.push_back({service, path.path()});
  }
  argument.endArray();
  return result;
}

// Every named object under `root`, by name.
void collect(const QDBusConnection& bus, const Node& root, std::map<QString, Node>& named,
             int depth = 0) {
  if (depth > 30 || named.size() > 2000) return;
  for (const Node& child : children(bus, root)) {
    const QDBusMessage reply = call(bus, child, "org.freedesktop.DBus.Properties", "Get",
                                    {"org.a11y.atspi.Accessible", "Name"});
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
      named.emplace(reply.arguments().first().value<QDBusVariant>().variant().toString(), child);
    }
    collect(bus, child, named, depth + 1);
  }
}

TEST(AccessibilityBus, PanelControlsAreFoundByNameAndWorkedThroughTheBus) {
  velmora::test::PanelHarness h;
  h.panel->setWindowTitle("Velmora");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(h.panel.get()));

  const QDBusMessage addressReply = QDBusConnection::sessionBus().call(
      QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"),
      QDBus::BlockWithGui, 5000);
  ASSERT_EQ(addressReply.type(), QDBusMessage::ReplyMessage)
      << addressReply.errorMessage().toStdString();
  const QDBusConnection bus = QDBusConnection::connectToBus(
      addressReply.arguments().first().toString(), "velmora-accessibility-probe");
  ASSERT_TRUE(bus.isConnected());

  const Node registry{"org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"};
  std::map<QString, Node> named;
  // The panel registers with the registry once the bus answers it; each look lets it progress.
  for (int look = 0; look < 50 && !named.count("紧凑模式"); ++look) {
    named.clear();
    collect(bus, registry, named);
    QCoreApplication::processEvents();
  }
  for (const char* name :
       {"紧凑模式", "打开设置窗口", "系统输出音量", "输入音量", "当前输出：Speakers"}) {
    EXPECT_TRUE(named.count(name)) << name;
  }
  ASSERT_TRUE(named.count("紧凑模式") && named.count("系统输出音量"));

  // A screen reader toggles the compact button without a click: a button's first action is its
  // press or toggle.
  call(bus, named.at("紧凑模式"), "org.a11y.atspi.Action", "DoAction", {0});
  const auto& advanced = h.state().preferences.advanced;  // the model's, read as it changes
  EXPECT_TRUE(QTest::qWaitFor([&] { return advanced && advanced->interface.compact; }, 5000));

  // ...and sets the output volume through the slider's value.
  call(bus, named.at("系统输出音量"), "org.freedesktop.DBus.Properties", "Set",
       {"org.a11y.atspi.Value", "CurrentValue", QVariant::fromValue(QDBusVariant(250.0))});
  EXPECT_TRUE(QTest::qWaitFor([&] { return h.state().systemVolume == 0.25f; }, 5000));
  QDBusConnection::disconnectFromBus("velmora-accessibility-probe");
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  velmora::test::ChildProcess xvfb, session, launcher;
  for (auto* child : {&xvfb, &session, &launcher}) child->quiet = true;
  const auto failed = [](const char* what) {
    std::cerr << "cannot start " << what << "\n";
    return 1;
  };
  const std::string display = xvfb.startAndReadLine(
      {"Xvfb", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, "-displayfd");
  if (display.empty()) return failed("Xvfb");
  // main's own thread sets what the servers and Qt read before either starts a thread.
  // NOLINTBEGIN(concurrency-mt-unsafe)
  setenv("DISPLAY", (":" + display).c_str(), 1);
  const std::string address = session.startAndReadLine(
      {"dbus-daemon", "--session", "--nofork", "--nopidfile"}, "--print-address=");
  if (address.empty()) return failed("a session bus");
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  if (!launcher.start({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"})) {
    return failed("at-spi-bus-launcher");
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
  // NOLINTEND(concurrency-mt-unsafe)
  QApplication app(argc, argv);
  // The launcher owns its bus name a moment after it starts.
  const QDBusConnectionInterface* names = QDBusConnection::sessionBus().interface();
  const auto registered = [names] { return names->isServiceRegistered("org.a11y.Bus").value(); };
  if (!QTest::qWaitFor(registered, 10000)) {
    std::cerr << "at-spi-bus-launcher did not register org.a11y.Bus\n";
  }
  return RUN_ALL_TESTS();
}
