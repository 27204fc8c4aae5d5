// The tray program against a session of its own (virtual X server, private session bus, a tray
// stand-in): start until the tray has the item, a click until the pop-over is mapped, the round
// trip of `velmora --action`, and the CPU the program uses while idle with the pop-over closed.
// Needs Xvfb, dbus-daemon and python3-dbusmock (scripts/install-deps.sh).
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/ChildProcess.h"

namespace {

using velmora::test::ChildProcess;

// Counts the tray stand-in's calls as they happen.
class CallCounter : public QObject {
  Q_OBJECT
 public:
  int calls = 0;
 public slots:
  void methodCalled(const QString&, const QVariantList&) { ++calls; }
};

struct Session {
  Session() {
    folder =
        std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "runtime");
    std::filesystem::permissions(folder / "runtime", std::filesystem::perms::owner_all);
    display = ":" + xvfb.startAndReadLine(
                        {"Xvfb", "-screen", "0", "1280x800x24", "-nolisten", "tcp"}, "-displayfd");
    bus = dbus.startAndReadLine({"dbus-daemon", "--session", "--nofork"}, "--print-address=");
    watcher.start({"/usr/bin/python3", "-m", "dbusmock", "--template", VELMORA_WATCHER_TEMPLATE},
                  {"DBUS_SESSION_BUS_ADDRESS=" + bus});
    connection = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QString::fromStdString(bus), QStringLiteral("bench")));
    connection->connect(QStringLiteral("org.kde.StatusNotifierWatcher"),
                        QStringLiteral("/StatusNotifierWatcher"),
                        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("MethodCalled"),
                        &counter, SLOT(methodCalled(QString, QVariantList)));
    velmora::test::eventually([&] {
      return connection->interface()->isServiceRegistered(
          QStringLiteral("org.kde.StatusNotifierWatcher"));
    });
  }
  ~Session() {
    connection.reset();
    std::filesystem::remove_all(folder);
  }
  std::vector<std::string> environment(const std::string& config) const {
    return {"DISPLAY=" + display,
            "DBUS_SESSION_BUS_ADDRESS=" + bus,
            "DBUS_SYSTEM_BUS_ADDRESS=" + bus,
            "XDG_CONFIG_HOME=" + (folder / config).string(),
            "XDG_RUNTIME_DIR=" + (folder / "runtime").string(),
            "QT_QPA_PLATFORM=xcb"};
  }
  // Lets the bus deliver until `condition` holds.
  void until(const std::function<bool()>& condition) {
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < 20000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
  }

  std::filesystem::path folder;
  std::string display, bus;
  ChildProcess xvfb, dbus, watcher;
  std::unique_ptr<QDBusConnection> connection;
  CallCounter counter;
};

Session& session() {
  static Session instance;
  return instance;
}

void startToRegistered(benchmark::State& state) {
  Session& s = session();
  for (auto _ : state) {
    ChildProcess program;
    const int before = s.counter.calls;
    program.start({VELMORA_PROGRAM}, s.environment("start"));
    s.until([&] { return s.counter.calls > before; });
    state.PauseTiming();
    program.stop();
    state.ResumeTiming();
  }
}
BENCHMARK(startToRegistered)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

// The pop-over's map notification on the root window after one Activate.
void activateToMapped(benchmark::State& state) {
  Session& s = session();
  ChildProcess program;
  program.start({VELMORA_PROGRAM}, s.environment("activate"));
  const int before = s.counter.calls;
  s.until([&] { return s.counter.calls > before; });
  const QString item = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(program.pid());
  xcb_connection_t* x = xcb_connect(s.display.c_str(), nullptr);
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(x);
  const auto activate = [&] {
    QDBusMessage call = QDBusMessage::createMethodCall(item, QStringLiteral("/StatusNotifierItem"),
                                                       QStringLiteral("org.kde.StatusNotifierItem"),
                                                       QStringLiteral("Activate"));
    call << 1200 << 10;
    s.connection->call(call, QDBus::NoBlock);
  };
  const auto waitFor = [&](uint8_t type) {
    while (xcb_generic_event_t* event = xcb_wait_for_event(x)) {
      const uint8_t got = event->response_type & 0x7f;
      free(event);
      if (got == type) return;
    }
  };
  for (auto _ : state) {
    activate();
    waitFor(XCB_MAP_NOTIFY);
    state.PauseTiming();
    activate();
    waitFor(XCB_UNMAP_NOTIFY);
    state.ResumeTiming();
  }
  xcb_disconnect(x);
  program.stop();
}
BENCHMARK(activateToMapped)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void actionRoundTrip(benchmark::State& state) {
  Session& s = session();
  ChildProcess program;
  program.start({VELMORA_PROGRAM}, s.environment("action"));
  const int before = s.counter.calls;
  s.until([&] { return s.counter.calls > before; });
  for (auto _ : state) {
    ChildProcess action;
    action.start({VELMORA_PROGRAM, "--action", "quieter"}, s.environment("action"));
    action.wait();
  }
  program.stop();
}
BENCHMARK(actionRoundTrip)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

// utime + stime of the running program over 60 s, the 1.5 s refresh included; reported as the
// percentage of one core.
void idleCpu(benchmark::State& state) {
  Session& s = session();
  const auto ticks = [](pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i == 14) utime = std::stoll(field);
      if (i == 15) stime = std::stoll(field);
    }
    return utime + stime;
  };
  for (auto _ : state) {
    ChildProcess program;
    program.start({VELMORA_PROGRAM}, s.environment("idle"));
    const int before = s.counter.calls;
    s.until([&] { return s.counter.calls > before; });
    std::this_thread::sleep_for(std::chrono::seconds(2));  // past the start
    const long long start = ticks(program.pid());
    std::this_thread::sleep_for(std::chrono::seconds(60));
    const long long used = ticks(program.pid()) - start;
    state.counters["cpu_percent"] = 100.0 * double(used) / double(::sysconf(_SC_CLK_TCK)) / 60.0;
    program.stop();
  }
}
BENCHMARK(idleCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

#include "TrayProgramBenchmark.moc"
