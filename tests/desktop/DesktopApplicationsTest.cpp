// Applications on a freedesktop session, from fixture folders: which desktop entry a running
// process gets (Flatpak, Snap, the audio server's application id, StartupWMClass, Exec), what
// hides an entry, translated names, icons, and which settings tool a page opens; and the mixer's
// row of such an application, with the entry's name and themed icon.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <algorithm>
#include <filesystem>

#include "platform/desktop/DesktopApplicationServices.h"
#include "platform/sim/SimulatedMachine.h"
#include "tests/ui/PanelHarness.h"

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
    std::string program;  // the executable's name
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
  const char* sandboxed = "org.example.Sandboxed";
  const char* player = "org.example.Player";
  const Case cases[] = {
      // Exec's program is quoted and followed by arguments and a field code; the NoDisplay helper
      // with the same program is passed over; the icon file is missing, the server's name stays.
      {501, "recorder-bin", {"", "", "tape"}, entry("recorder", "Recorder", "tape")},
      {502, "ChatClient", {}, entry("chat", "Chat", "chat")},  // StartupWMClass
      {503, "synth", {"", "Synth", ""}, entry(sandboxed, "Sandboxed Synth", sandboxed)},
      {504, "radio-engine", {}, entry("radio_radio", "Radio")},  // a snap
      {505, "player-engine", {player, "player", ""}, entry(player, "示例播放器", player)},
      {506, "tool", {"x", "Tool", "tool"}, RunningApplication{{}, {}, "Tool", Image{{}, "tool"}}},
      {507, "gone-bin", {}, std::nullopt},         // hidden by the user's own entry
      {508, "uninstalled-bin", {}, std::nullopt},  // TryExec names no program
      {509, "tuner", {}, entry("kde4/tuner", "Tuner")},
  };
  sim::Scenario scenario;
  std::map<int32_t, AudioClientApplication> clients;
  for (const Case& c : cases) {
    scenario.processes.push_back({c.pid, "", "/opt/x/" + c.program, {}, false, std::nullopt});
    clients[c.pid] = c.client;
  }
  sim::SimulatedMachine machine(scenario);  // answers for the processes' executables
  DesktopApplicationServices chinese = services("zh_CN.UTF-8", clients);
  for (const Case& c : cases) EXPECT_EQ(chinese.runningApplication(c.pid), c.expected) << c.pid;
  EXPECT_EQ(services("C", clients).runningApplication(505)->localizedName, "Example Player");

  EXPECT_EQ(chinese.applicationPath(player), entryPath("org.example.Player.desktop"));
  for (const char* absent : {"org.example.Gone", "org.example.Link", "broken", "uninstalled"})
    EXPECT_EQ(chinese.applicationPath(absent), std::nullopt) << absent;
}

TEST(DesktopSettingsPages, TheDesktopsOwnToolElseTheBluetoothManagerElseNothing) {
  const std::set<std::string> all = {"gnome-control-center", "blueman-manager"};
  struct Case {
    SettingsPage page;
    std::string desktop;
    std::set<std::string> installed;
    std::optional<std::vector<std::string>> command;
  };
  using Args = std::vector<std::string>;
  using enum SettingsPage;
  const Case cases[] = {
      {bluetooth, "ubuntu:GNOME", all, Args{"gnome-control-center", "bluetooth"}},
      {bluetooth, "XFCE", all, Args{"blueman-manager"}},
      {bluetooth, "GNOME", {"blueman-manager"}, Args{"blueman-manager"}},
      {bluetooth, "GNOME", {}, std::nullopt},
      {audioCapturePermission, "GNOME", all, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto installed = [&](const std::string& program) {
      return c.installed.contains(program);
    };
    EXPECT_EQ(settingsPageCommand(c.page, c.desktop, installed), c.command) << c.desktop;
  }
}

TEST(MixerDesktopEntry, ARowShowsTheNameAndIconOfTheApplicationsDesktopEntry) {
  QIcon::setThemeSearchPaths({QString::fromStdString((kFixtures / "system/icons").string())});
  QIcon::setThemeName("hicolor");
  test::PanelHarness h;  // the music player runs as pid 100
  const std::map<int32_t, AudioClientApplication> clients = {
      {100, {"org.example.Player", "player", ""}}};
  DesktopApplicationServices applications = services("zh_CN.UTF-8", clients);
  ApplicationServices* previous = installApplicationServices(&applications);
  h.settle(1.5);
  installApplicationServices(previous);

  QLabel* name = h.find<QLabel>("示例播放器");
  ASSERT_NE(name, nullptr);
  QImage icon;
  for (const QLabel* label : name->parentWidget()->findChildren<QLabel*>())
    if (!label->pixmap().isNull()) icon = label->pixmap().toImage();
  ASSERT_FALSE(icon.isNull());
  // The entry's icon is a magenta tile; the generic application icon is grey.
  const QColor left = icon.pixelColor(icon.width() / 8, icon.height() / 2);
  EXPECT_GT(left.red(), 160) << left.name().toStdString();
  EXPECT_LT(left.green(), 100) << left.name().toStdString();
}

}  // namespace
}  // namespace velmora::platform
