// Application enumeration: processes gathered into applications with their keys and names.
#include <gtest/gtest.h>

#include "audio/AudioApp.h"
#include "platform/sim/SimulatedMachine.h"

namespace {

using namespace velmora::audio;
using namespace velmora::platform;
using namespace velmora::platform::sim;

ScenarioProcess process(int32_t pid, std::string bundleID, std::string executable, bool playing) {
  return {pid, std::move(bundleID), std::move(executable), {{440.0, 0.5f}}, playing, {}};
}

ScenarioBundle bundle(std::string path, std::string identifier,
                      std::map<std::string, InfoValue> info) {
  return {std::move(path), std::move(identifier), std::move(info), {}, {}, true};
}

TEST(AudioApp, ProcessesAreGatheredIntoTheirApplicationsInNameOrder) {
  Scenario s;
  s.ownProcessID = 77;
  s.ownBundleIdentifier = "com.local.Ombrel";
  s.bundles = {bundle("/Applications/Browser.app", "org.example.browser",
                      {{"CFBundleName", std::string("Browser")},
                       {"CFBundleDisplayName", std::string("浏览器")}}),
               bundle("/Applications/Tunes.app", "com.example.tunes",
                      {{"CFBundleName", std::string("Tunes")}}),
               bundle("/Applications/Velmora.app", "com.local.Ombrel", {})};
  s.processes = {
      process(10, "org.example.browser", "/Applications/Browser.app/Contents/MacOS/Browser", false),
      process(11, "org.example.browser.helper.renderer", "/opt/helpers/renderer", true),
      process(12, "", "", true),                                         // nothing known at all
      process(13, "com.example.cli", "/usr/local/bin/tone-cli", false),  // no bundle anywhere
      process(14, "", "/usr/bin/aplay", true),
      process(15, "com.local.Ombrel.helper", "/Applications/Velmora.app/Contents/MacOS/velmora",
              true),
      process(77, "com.local.Ombrel", "/Applications/Velmora.app/Contents/MacOS/velmora", true),
      process(16, "", "", true),  // known only by its running-application record
  };
  s.processes[7].application =
      RunningApplication{"/Applications/Tunes.app", "com.example.tunes", "Tunes Player", {}};
  s.processes[2].tones.clear();
  const SimulatedMachine machine(s);

  std::vector<std::string> listed;  // id | name | path | how many processes | audible
  for (const AudioApp& app : AudioApp::all()) {
    listed.push_back(app.id + " | " + app.name + " | " + app.path.value_or("-") + " | " +
                     std::to_string(app.processes.size()) + (app.audible ? " | audible" : ""));
  }
  // This program and its helper are never listed; the bundle's name comes before the record's.
  EXPECT_EQ(listed, (std::vector<std::string>{
                        "process:12 |  | - | 1",
                        "process:/usr/bin/aplay | aplay | - | 1 | audible",
                        "com.example.cli | com.example.cli | - | 1",
                        "com.example.tunes | Tunes | /Applications/Tunes.app | 1 | audible",
                        "org.example.browser | 浏览器 | /Applications/Browser.app | 2 | audible",
                    }));
}

}  // namespace
