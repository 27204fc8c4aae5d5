// The velmora program: the tray program, `--diagnose` (the read-only report, with no display,
// bus or settings file needed), `--show`, and `--action NAME` for the desktop's own shortcuts.
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "platform/apps/ApplicationInfo.h"
#include "platform/desktop/AutostartLoginItem.h"
#include "platform/hotkeys/HotkeyService.h"
#include "platform/sim/ScenarioFile.h"
#include "settings/PreferencesLocation.h"
#include "settings/Shortcut.h"
#include "shell/AppDelegate.h"
#include "shell/AudioSystem.h"
#include "shell/DiagnosticReport.h"
#include "shell/LogindPowerEvents.h"
#include "shell/QtMainQueue.h"
#include "shell/SignalQuit.h"
#include "shell/SingleInstance.h"
#include "shell/X11HotkeyService.h"

namespace {

using namespace velmora;

struct Arguments {
  bool diagnose = false;
  bool show = false;
  std::optional<std::string> action;
  bool actionMissing = false;
};

Arguments parse(int argc, char** argv) {
  Arguments arguments;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--diagnose") == 0) arguments.diagnose = true;
    if (std::strcmp(argv[i], "--show") == 0) arguments.show = true;
    if (std::strcmp(argv[i], "--action") == 0) {
      if (i + 1 < argc) {
        arguments.action = argv[++i];
      } else {
        arguments.actionMissing = true;
      }
    }
  }
  return arguments;
}

int badAction(const std::string& name) {
  std::cerr << "velmora: unknown action \"" << name << "\"; valid actions:";
  for (const settings::HotkeyAction action : settings::allHotkeyActions)
    std::cerr << " " << settings::rawValue(action);
  std::cerr << "\n";
  return 2;
}

int diagnose() {
  try {
    auto audio = shell::installAudioSystem();
    // The report is read once: give a socket-activated server a moment to answer.
    if (!audio->waitUntilConnected(2000)) std::cerr << "velmora: 未连接到 PipeWire，正在重试…\n";
    std::cout << shell::diagnosticReport() << std::flush;
  } catch (const platform::sim::ScenarioError& error) {
    std::cerr << "velmora: " << error.what() << "\n";
    return 1;
  }
  return 0;
}

QString runtimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/') return QString::fromLocal8Bit(runtime);
  return QStringLiteral("/tmp");
}

std::filesystem::path settingsFile() {
  return settings::defaultPreferencesLocation(
      settings::processEnvironment,
      platform::applicationInfo().string(settings::kDataDirectoryInfoKey));
}

std::filesystem::path settingsFolder() { return settingsFile().parent_path(); }

bool waylandSession() {
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (type != nullptr && std::strcmp(type, "wayland") == 0) ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
}

// Grabs on X11. Under Wayland X grabs through XWayland succeed but never fire: no service, so
// every registration is refused and the settings point to `velmora --action`.
std::unique_ptr<shell::X11HotkeyService> x11Hotkeys(QApplication& application) {
  if (waylandSession()) return nullptr;
  auto* x11 = application.nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return nullptr;
  xcb_connection_t* connection = x11->connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  auto service = std::make_unique<shell::X11HotkeyService>(connection, root);
  application.installNativeEventFilter(service.get());
  platform::installHotkeyService(service.get());
  return service;
}

int runTrayProgram(const Arguments& arguments, int argc, char** argv) {
  // The pop-over's placement and the key grabs need X11 (XWayland included).
  // Set before Qt starts any thread, so no other thread reads the environment meanwhile.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") != nullptr)
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);  // NOLINT(concurrency-mt-unsafe)
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  QApplication::setDesktopFileName(QStringLiteral("com.local.Ombrel"));
  QApplication::setQuitOnLastWindowClosed(false);

  std::unique_ptr<shell::AppDelegate> delegate;
  const QString action = arguments.action ? QString::fromStdString(*arguments.action) : QString();
  auto instance = shell::SingleInstance::claim({[&] {
                                                  if (delegate) delegate->show();
                                                },
                                                [&](const QString& name) {
                                                  if (delegate) delegate->perform(name);
                                                }},
                                               runtimeFolder());
  if (!instance) {
    // Another start won: hand over to it.
    return shell::SingleInstance::call(action, runtimeFolder()) ? 0 : 1;
  }
  shell::quitOnTerminationSignals();

  shell::QtMainQueue queue;
  // The simulated audio system brings stand-ins for every service; the desktop's own replace
  // those the session has. PipeWire comes with desktop entries and BlueZ.
  std::unique_ptr<shell::AudioSystem> audio;
  try {
    audio = shell::installAudioSystem();
  } catch (const platform::sim::ScenarioError& error) {
    std::cerr << "velmora: " << error.what() << "\n";
    return 1;
  }
  const auto hotkeys = x11Hotkeys(application);
  shell::LogindPowerEvents power(QDBusConnection::systemBus());
  platform::installPowerEvents(&power);
  platform::AutostartLoginItem login(
      platform::AutostartLoginItem::sessionEntry(shell::SingleInstance::kAppIdentifier),
      QCoreApplication::applicationFilePath().toStdString());
  platform::installLoginItemService(&login);

  shell::AppDelegate::Options options;
  options.simulated = audio->kind() == shell::AudioSystemKind::simulated;
  // Invented devices never reach the user's own settings.
  options.settingsFile =
      options.simulated ? settingsFolder() / "simulated" / "settings.json" : settingsFile();
  options.show = arguments.show;
  options.shellSettingsFile = settingsFolder() / "shell.conf";
  if (const char* wait = std::getenv("VELMORA_TRAY_WAIT_MS")) options.trayWaitMs = std::atoi(wait);
  delegate = std::make_unique<shell::AppDelegate>(queue, options);
  if (arguments.action) delegate->perform(action);

  QApplication::exec();
  delegate.reset();
  platform::installHotkeyService(nullptr);
  platform::installLoginItemService(nullptr);
  platform::installPowerEvents(nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments arguments = parse(argc, argv);
  if (arguments.diagnose) return diagnose();
  if (arguments.actionMissing) return badAction("");
  if (arguments.action) {
    if (!settings::hotkeyActionFromRawValue(*arguments.action)) return badAction(*arguments.action);
    // Runs on every key press: one call to the running program, no window system at all.
    QCoreApplication core(argc, argv);
    if (shell::SingleInstance::call(QString::fromStdString(*arguments.action), runtimeFolder()))
      return 0;
  }
  return runTrayProgram(arguments, argc, argv);
}
