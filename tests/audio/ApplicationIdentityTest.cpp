// Identity resolution and icons on a simulated disk of application bundles.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "audio/ApplicationIdentity.h"
#include "platform/sim/SimulatedApplicationServices.h"

namespace {

namespace identity = velmora::audio::ApplicationIdentity;
using namespace velmora::platform;
using sim::ScenarioBundle;
using Ids = std::vector<std::string>;
using std::nullopt;

ScenarioBundle bundle(std::string path, std::string identifier, bool registered = true) {
  return {std::move(path), std::move(identifier), {}, {}, {}, registered};
}

// Installs a simulated disk and puts back whatever was installed before the test.
class ApplicationIdentityTest : public ::testing::Test {
 protected:
  void install(std::vector<ScenarioBundle> bundles) {
    sim::Scenario scenario;
    scenario.bundles = std::move(bundles);
    scenario.homeDirectory = "/home/ann";
    services_ = std::make_unique<sim::SimulatedApplicationServices>(std::move(scenario), nullptr);
    installApplicationServices(services_.get());
  }
  void TearDown() override { installApplicationServices(previous_); }

 private:
  ApplicationServices* previous_ = installApplicationServices(nullptr);
  std::unique_ptr<ApplicationServices> services_;
};

TEST_F(ApplicationIdentityTest, OuterApplicationIsTheOutermostAppFolderOfTheStandardisedPath) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"/../Users/Old/../../Applications/./Tools//Grep.APP/", "/Applications/Tools/Grep.APP"},
      {"/usr/bin/tool", nullopt},
      {"/opt/.app/bin/tool", nullopt},  // ".app" is a hidden name
      {"Editor.app/Contents/MacOS/editor", nullopt}};
  for (const auto& [path, expected] : cases)
    EXPECT_EQ(identity::outerApplication(path), expected) << path;
}

TEST_F(ApplicationIdentityTest, ResolveTriesExecutableThenRunningBundleThenTheShortIdentifier) {
  install({bundle("/Applications/Editor.app", "com.example.editor"),
           bundle("/Applications/Editor.app/Contents/Frameworks/Helper.app", "com.example.helper"),
           bundle("/Applications/Player.app", "com.example.player"),
           bundle("/Applications/Browser.app", "a.b.c")});
  const std::string player = "/Applications/Player.app";
  // An identifier with fewer than two non-empty parts is never looked up: "single", "a." and ".a"
  // would find the player.
  const std::map<std::string, std::string> known = {
      {"com.example.player", player},
      {"x.y", player},
      {"single", player},
      {"a.", player},
      {".a", player},
      {"a.b.c.helper", "/Applications/Gone.app"},  // no bundle opens there
      {"a.b.c", "/Applications/Browser.app/Contents/MacOS/browser"}};
  const identity::Lookup lookup = [&](const std::string& id) -> std::optional<std::string> {
    const auto found = known.find(id);
    return found == known.end() ? nullopt : std::optional(found->second);
  };
  using Path = std::optional<std::string>;
  const std::tuple<const char*, Path, const char*, Path> cases[] = {
      // A nested helper bundle belongs to the outer application.
      {"/Applications/Editor.app/Contents/Frameworks/Helper.app/Contents/MacOS/helper", player,
       "com.example.player", "/Applications/Editor.app"},
      {"/usr/bin/d", "/Applications/Player.app/Contents/../", "", player},
      // An ".app" folder where no bundle opens is no answer; the next source is asked.
      {"/opt/Ghost.app/bin/ghost", "/opt/Ghost.app", "com.example.player", player},
      {"", nullopt, "a.b.c.helper.renderer", "/Applications/Browser.app"},
      {"", nullopt, "x.y.z", player},
      {"", nullopt, "single", nullopt},
      {"", nullopt, "a..b", nullopt},
      {"", nullopt, ".a.b", nullopt}};
  for (const auto& [executable, running, identifier, expected] : cases) {
    EXPECT_EQ(identity::resolve(executable, running, identifier, lookup), expected) << identifier;
  }
}

// The only test that uses the process-wide map, so that it sees the map's first use.
TEST_F(ApplicationIdentityTest, LookupAsksTheWorkspaceThenTheInstalledMap) {
  install({bundle("/Applications/Mail.app", "mail"),
           bundle("/Applications/Gem.app", "com.example.gem", false)});
  const identity::InstalledApplications installed{{"mail", "/Old/Mail.app"}};
  EXPECT_EQ(identity::lookupApplication("mail", installed), "/Applications/Mail.app");
  EXPECT_EQ(identity::lookupApplication("nowhere", installed), nullopt);
  EXPECT_EQ(identity::resolve("", nullopt, "com.example.gem.renderer"), "/Applications/Gem.app")
      << "the default lookup falls back to the map of installed applications";
}

TEST_F(ApplicationIdentityTest, ScanLooksOneFolderDownAndKeepsTheFirstLocation) {
  install({bundle("/System/Applications/Music.app", "music"),
           bundle("/home/ann/Applications/Music.app", "music"),
           bundle("/System/Applications/Utilities/Terminal.app", "terminal"),
           bundle("/Applications/Utilities/More/Deep.app", "deep"),
           bundle("/Applications/Loud.APP", "loud"), bundle("/Applications/.Secret.app", "secret"),
           bundle("/Applications/Plugin.bundle", "plugin"),
           bundle("/Applications/Anonymous.app", ""),
           bundle("/Users/Shared/Elsewhere.app", "elsewhere")});
  EXPECT_EQ(
      identity::scanInstalledApplications(),
      (identity::InstalledApplications{{"music", "/home/ann/Applications/Music.app"},
                                       {"terminal", "/System/Applications/Utilities/Terminal.app"},
                                       {"loud", "/Applications/Loud.APP"}}));
}

TEST_F(ApplicationIdentityTest, IconPrefersTheIconFileThenTheNamedImageThenTheFileIcon) {
  const auto app = [](std::string path, InfoValue file, std::string name, Ids files, Ids images) {
    std::map<std::string, InfoValue> info{{"CFBundleIconFile", file}};
    if (!name.empty()) info.emplace("CFBundleIconName", name);
    return ScenarioBundle{std::move(path), "id", info, std::move(images), std::move(files), true};
  };
  install({app("/A/File.app", "AppIcon", "AppIcon", {"AppIcon.icns"}, {"AppIcon"}),
           app("/A/Png.app", "icon.png", "", {"icon.png.icns", "icon.png"}, {}),
           app("/A/Named.app", "Missing", "AppIcon", {}, {"AppIcon"}),
           app("/A/Neither.app", 3.0, "AppIcon", {"3.icns"}, {})});
  const std::pair<const char*, Image> cases[] = {
      {"/A/File.app", {"/A/File.app/Contents/Resources/AppIcon.icns", ""}},
      {"/A/Png.app", {"/A/Png.app/Contents/Resources/icon.png", ""}},
      {"/A/Named.app", {"/A/Named.app", "AppIcon"}},
      {"/A/Neither.app", {"/A/Neither.app", ""}}};
  for (const auto& [path, expected] : cases) EXPECT_EQ(identity::icon(path), expected) << path;
}

}  // namespace
