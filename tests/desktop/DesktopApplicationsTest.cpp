// Applications on a freedesktop session, from fixture folders: which desktop entry a running
// process gets (Flatpak, Snap, the audio server's application id, StartupWMClass, Exec), what
// hides an entry, translated names, icons, and which settings tool a page opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/desktop/DesktopApplicationServices.h"
#include "platform/sim/SimulatedMachine.h"

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = VELMORA_DESKTOP_FIXTURES;

std::string entryPath(const std::string& name) {
  return (kFixtures / "system/applications" / name).string();
}

DesktopApplicationServices services(const std::string& locale,
                                    const std::map<int32_t, AudioClientApplication>& clients) {
  DesktopEntries entries({kFixtures / "home/applications", kFixtures / "system/applications"},
                         locale);
  return DesktopApplicationServices(
      std::move(entries),
      [&clients](int32_t pid) {
        const auto found = clients.find(pid);
        return found != clients.end() ? found->second : AudioClientApplication{};
      },
      (kFixtures / "proc").string());
}

TEST(DesktopApplications, EachProcessFindsItsEntryByTheFirstSignThatNamesOne) {
  struct Case {
    int32_t pid;
    std::string executable;
    AudioClientApplication client;
    std::optional<RunningApplication> expected;
  };
  // The entry `file` (under the system folder, ".desktop" left off) with `name` and `icon`.
  auto entry = [](std::string file, const std::string& name, const char* icon = nullptr) {
    const std::string path = entryPath(file + ".desktop");
    std::replace(file.begin(), file.end(), '/', '-');
    return RunningApplication{path, file, name,
                              icon ? std::optional<Image>(Image{{}, icon}) : std::nullopt};
  };
  const Case cases[] = {
      // Exec's program is quoted and followed by arguments and a field code; the NoDisplay helper
      // with the same program is passed over; the icon file is missing, the server's name stays.
      {501,
       "/opt/Example Apps/recorder-bin",
       {"", "", "audio-x-generic"},
       entry("recorder", "Recorder", "audio-x-generic")},
      {502, "/opt/chat/ChatClient", {}, entry("chat", "Chat", "chat")},
      {503,
       "/app/bin/synth",
       {"", "Synth", ""},
       entry("org.example.Sandboxed", "Sandboxed Synth", "org.example.Sandboxed")},
      {504, "/snap/radio/77/bin/radio", {}, entry("radio_radio", "Radio")},
      {505,
       "/usr/bin/player-engine",
       {"org.example.Player", "player", ""},
       entry("org.example.Player", "示例播放器", "org.example.Player")},
      {506,
       "/usr/bin/unknown-tool",
       {"org.unknown.Tool", "Unknown Tool", "unknown-tool"},
       RunningApplication{std::nullopt, std::nullopt, "Unknown Tool", Image{{}, "unknown-tool"}}},
      {507, "/usr/bin/gone-bin", {}, std::nullopt},         // hidden by the user's own entry
      {508, "/usr/bin/uninstalled-bin", {}, std::nullopt},  // TryExec names no program
      {509, "/usr/bin/tuner", {}, entry("kde4/tuner", "Tuner")},
  };
  sim::Scenario scenario;
  std::map<int32_t, AudioClientApplication> clients;
  for (const Case& c : cases) {
    scenario.processes.push_back({c.pid, "", c.executable, {}, false, std::nullopt});
    clients[c.pid] = c.client;
  }
  sim::SimulatedMachine machine(scenario);  // answers for the processes' executables
  DesktopApplicationServices chinese = services("zh_CN.UTF-8", clients);
  for (const Case& c : cases) EXPECT_EQ(chinese.runningApplication(c.pid), c.expected) << c.pid;
  EXPECT_EQ(services("C", clients).runningApplication(505)->localizedName, "Example Player");

  EXPECT_EQ(chinese.applicationPath("org.example.Player"), entryPath("org.example.Player.desktop"));
  for (const char* absent : {"org.example.Gone", "org.example.Link", "broken", "uninstalled"})
    EXPECT_EQ(chinese.applicationPath(absent), std::nullopt) << absent;
  EXPECT_EQ(chinese.ownBundleIdentifier(), "com.local.Ombrel");
}

TEST(DesktopSettingsPages, TheDesktopsOwnToolElseTheBluetoothManagerElseNothing) {
  const std::set<std::string> everything = {"gnome-control-center", "systemsettings",
                                            "cinnamon-settings", "blueman-manager"};
  struct Case {
    SettingsPage page;
    std::string desktop;
    std::set<std::string> installed;
    std::optional<std::vector<std::string>> command;
  };
  using Args = std::vector<std::string>;
  using enum SettingsPage;
  const Case cases[] = {
      {bluetooth, "ubuntu:GNOME", everything, Args{"gnome-control-center", "bluetooth"}},
      {bluetooth, "KDE", everything, Args{"systemsettings", "kcm_bluetooth"}},
      {bluetooth, "X-Cinnamon", everything, Args{"cinnamon-settings", "bluetooth"}},
      {bluetooth, "XFCE", everything, Args{"blueman-manager"}},
      {bluetooth, "GNOME", {"blueman-manager"}, Args{"blueman-manager"}},
      {bluetooth, "", {}, std::nullopt},
      {audioCapturePermission, "GNOME", everything, std::nullopt},
      {loginItems, "KDE", everything, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(settingsPageCommand(
                  c.page, c.desktop,
                  [&](const std::string& program) { return c.installed.count(program) > 0; }),
              c.command)
        << c.desktop;
  }

  // A page with nothing to open starts nothing.
  DesktopApplicationServices desktop(DesktopEntries({}), {});
  bool launched = false;
  desktop.setLauncher([&](const std::vector<std::string>&) { return launched = true; });
  desktop.openSettingsPage(SettingsPage::loginItems);
  EXPECT_FALSE(desktop.canOpenSettingsPage(SettingsPage::audioCapturePermission));
  EXPECT_FALSE(launched);
}

}  // namespace
}  // namespace velmora::platform
