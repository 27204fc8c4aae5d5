// The panel over the desktop's accessibility bus, as a screen reader reaches it: the test starts
// its own X server, session bus and accessibility bus (at-spi2-core), finds the panel's controls
// by name and works two of them through the bus.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

// A helper program of the test, ended by its pid when the test is over.
struct Child {
  pid_t pid = 0;
  ~Child() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

// Starts `argv` quietly; it ends with the test even when the test dies, so no server outlives it
// or holds the test's output open. `keepFd` stays open in the child.
bool start(Child& child, std::vector<std::string> argv, int keepFd = -1) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  child.pid = fork();
  if (child.pid < 0) return false;
  if (child.pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int quiet = open("/dev/null", O_RDWR);
    dup2(quiet, STDIN_FILENO);
    dup2(quiet, STDOUT_FILENO);
    dup2(quiet, STDERR_FILENO);
    for (int fd = 3; fd < 256; ++fd) {
      if (fd != keepFd) close(fd);
    }
    execvp(args[0], args.data());
    _exit(127);
  }
  return true;
}

// Starts `argv` with a pipe whose descriptor `flag` names, joined to it ("--print-address=") or
// not ("-displayfd"), and returns the first line the program writes there.
std::string startWithPipe(Child& child, std::vector<std::string> argv, const std::string& flag) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  if (flag.back() == '=') {
    argv.push_back(flag + std::to_string(fds[1]));
  } else {
    argv.push_back(flag);
    argv.push_back(std::to_string(fds[1]));
  }
  const bool started = start(child, argv, fds[1]);
  close(fds[1]);
  std::string line;
  char c = 0;
  while (started && read(fds[0], &c, 1) == 1 && c != '\n') line += c;
  close(fds[0]);
  return line;
}

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

QVariant property(const QDBusConnection& bus, const Node& node, const QString& interface,
                  const QString& name) {
  const QDBusMessage reply =
      call(bus, node, "org.freedesktop.DBus.Properties", "Get", {interface, name});
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().first().value<QDBusVariant>().variant();
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
    const QString name = property(bus, child, "org.a11y.atspi.Accessible", "Name").toString();
    if (!name.isEmpty()) named.emplace(name, child);
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

  // A screen reader toggles the compact button without a click.
  const Node compact = named.at("紧凑模式");
  const QDBusMessage actions = call(bus, compact, "org.a11y.atspi.Action", "GetActions");
  ASSERT_EQ(actions.type(), QDBusMessage::ReplyMessage);
  const QDBusArgument list = actions.arguments().first().value<QDBusArgument>();
  int index = -1;
  int position = 0;
  list.beginArray();
  while (!list.atEnd()) {
    QString name, description, keys;
    list.beginStructure();
    list >> name >> description >> keys;
    list.endStructure();
    if (name == "Toggle" || (index < 0 && name == "Press")) index = position;
    ++position;
  }
  list.endArray();
  ASSERT_GE(index, 0);
  call(bus, compact, "org.a11y.atspi.Action", "DoAction", {index});
  const auto compacted = [&] {
    const auto& advanced = h.state().preferences.advanced;
    return advanced && advanced->interface.compact;
  };
  EXPECT_TRUE(QTest::qWaitFor(compacted, 5000));

  // ...and sets the output volume through the slider's value.
  QDBusMessage set = QDBusMessage::createMethodCall(named.at("系统输出音量").service,
                                                    named.at("系统输出音量").path,
                                                    "org.freedesktop.DBus.Properties", "Set");
  set << QString("org.a11y.atspi.Value") << QString("CurrentValue")
      << QVariant::fromValue(QDBusVariant(250.0));
  bus.call(set, QDBus::BlockWithGui, 5000);
  EXPECT_TRUE(QTest::qWaitFor([&] { return h.state().systemVolume == 0.25f; }, 5000));
  EXPECT_FLOAT_EQ(h.state().systemVolume, 0.25f);
  QDBusConnection::disconnectFromBus("velmora-accessibility-probe");
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  Child xvfb;
  Child session;
  Child launcher;
  const std::string display = startWithPipe(
      xvfb, {"Xvfb", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, "-displayfd");
  if (display.empty()) {
    std::cerr << "cannot start Xvfb\n";
    return 1;
  }
  // main's own thread sets what the servers and Qt read before either starts a thread.
  // NOLINTBEGIN(concurrency-mt-unsafe)
  setenv("DISPLAY", (":" + display).c_str(), 1);
  const std::string address = startWithPipe(
      session, {"dbus-daemon", "--session", "--nofork", "--nopidfile"}, "--print-address=");
  if (address.empty()) {
    std::cerr << "cannot start a session bus\n";
    return 1;
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  if (!start(launcher, {"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"})) {
    std::cerr << "cannot start at-spi-bus-launcher\n";
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
  // NOLINTEND(concurrency-mt-unsafe)
  int result = 0;
  {
    QApplication app(argc, argv);
    // The launcher owns its bus name a moment after it starts.
    const bool launched = QTest::qWaitFor(
        [] {
          return QDBusConnection::sessionBus()
              .interface()
              ->isServiceRegistered("org.a11y.Bus")
              .value();
        },
        10000);
    if (!launched) std::cerr << "at-spi-bus-launcher did not register org.a11y.Bus\n";
    result = RUN_ALL_TESTS();
  }
  return result;
}
