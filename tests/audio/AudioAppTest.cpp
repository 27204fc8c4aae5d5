// Application enumeration: processes gathered into applications with their keys and names.
#include <gtest/gtest.h>

#include "audio/AudioApp.h"
#include "audio/NaturalOrder.h"
#include "platform/sim/SimulatedMachine.h"

namespace {

using namespace velmora::audio;
using namespace velmora::platform;
using namespace velmora::platform::sim;

ScenarioProcess process(int32_t pid, std::string bundleID, std::string executable, bool playing) {
  ScenarioProcess p;
  p.pid = pid;
  p.bundleID = std::move(bundleID);
  p.executable = std::move(executable);
  p.tones = {{440.0, 0.5f}};
  p.playing = playing;
  return p;
}

ScenarioBundle bundle(std::string path, std::string identifier, std::map<std::string, InfoValue> info) {
  ScenarioBundle b;
  b.path = std::move(path);
  b.identifier = std::move(identifier);
  b.info = std::move(info);
  return b;
}

const AudioApp* find(const std::vector<AudioApp>& apps, const std::string& id) {
  for (const AudioApp& app : apps) {
    if (app.id == id) return &app;
  }
  return nullptr;
}

TEST(AudioApp, ProcessesAreGatheredIntoTheirApplications) {
  Scenario s;
  s.ownProcessID = 77;
  s.ownBundleIdentifier = "com.local.Ombrel";
  s.bundles = {bundle("/Applications/Browser.app", "org.example.browser",
                      {{"CFBundleName", std::string("Browser")}, {"CFBundleDisplayName", std::string("浏览器")}}),
               bundle("/Applications/Tunes.app", "com.example.tunes", {{"CFBundleName", std::string("Tunes")}}),
               bundle("/Applications/Velmora.app", "com.local.Ombrel", {})};
  s.processes = {
      process(10, "org.example.browser", "/Applications/Browser.app/Contents/MacOS/Browser", false),
      process(11, "org.example.browser.helper.renderer", "/opt/helpers/renderer", true),
      process(12, "", "", true),                                         // nothing known at all
      process(13, "com.example.cli", "/usr/local/bin/tone-cli", false),  // no bundle anywhere
      process(14, "", "/usr/bin/aplay", true),
      process(15, "com.local.Ombrel.helper", "/Applications/Velmora.app/Contents/MacOS/velmora", true),
      process(77, "com.local.Ombrel", "/Applications/Velmora.app/Contents/MacOS/velmora", true),
      process(16, "", "", true),
  };
  s.processes[7].application = RunningApplication{"/Applications/Tunes.app", "com.example.tunes", "Tunes Player", {}};
  s.processes[2].tones.clear();
  SimulatedMachine machine(s);

  const auto apps = AudioApp::all();
  const AudioApp* browser = find(apps, "org.example.browser");
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->name, "浏览器");
  EXPECT_EQ(browser->path, "/Applications/Browser.app");
  EXPECT_EQ(browser->processes, (std::vector<AudioObjectID>{machine.audio().processObjectID(10),
                                                            machine.audio().processObjectID(11)}))
      << "the helper with a longer identifier belongs to the browser";
  EXPECT_TRUE(browser->audible) << "audible when either process plays";

  const AudioApp* unknown = find(apps, "process:12");
  ASSERT_NE(unknown, nullptr);
  EXPECT_FALSE(unknown->audible);
  EXPECT_EQ(unknown->name, "");

  const AudioApp* cli = find(apps, "com.example.cli");
  ASSERT_NE(cli, nullptr);
  EXPECT_FALSE(cli->path.has_value());
  EXPECT_EQ(cli->name, "com.example.cli");

  const AudioApp* player = find(apps, "process:/usr/bin/aplay");
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(player->name, "aplay");

  const AudioApp* tunes = find(apps, "com.example.tunes");
  ASSERT_NE(tunes, nullptr) << "found through the running-application record";
  EXPECT_EQ(tunes->name, "Tunes") << "the bundle's name before the record's";

  EXPECT_EQ(find(apps, "com.local.Ombrel"), nullptr) << "this program is never listed";
  EXPECT_EQ(apps.size(), 5u);
  for (size_t i = 1; i < apps.size(); ++i) EXPECT_FALSE(naturalLess(apps[i].name, apps[i - 1].name));
}

}  // namespace
