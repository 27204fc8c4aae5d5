// Identity resolution and icons on a simulated disk of application bundles.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "audio/ApplicationIdentity.h"
#include "platform/sim/SimulatedApplicationServices.h"

namespace {

namespace identity = velmora::audio::ApplicationIdentity;
using velmora::platform::Image;
using velmora::platform::sim::ScenarioBundle;
using Ids = std::vector<std::string>;
using std::nullopt;

using Info = std::map<std::string, velmora::platform::InfoValue>;

ScenarioBundle bundle(std::string path, std::string identifier, bool registered = true,
                      Info info = {}, Ids resourceFiles = {}, Ids imageResources = {}) {
  return {std::move(path), std::move(identifier), std::move(info), std::move(imageResources),
          std::move(resourceFiles), registered};
}

// Installs a simulated disk and puts back whatever was installed before the test; `lookup`
// records what it is asked and answers from `known`.
class ApplicationIdentityTest : public ::testing::Test {
 protected:
  void install(std::vector<ScenarioBundle> bundles) {
    velmora::platform::sim::Scenario scenario;
    scenario.bundles = std::move(bundles);
    scenario.homeDirectory = "/home/ann";
    auto services = std::make_unique<velmora::platform::sim::SimulatedApplicationServices>(
        std::move(scenario), nullptr);
    velmora::platform::installApplicationServices(services.get());
    services_ = std::move(services);
  }
  void TearDown() override { velmora::platform::installApplicationServices(previous_); }

  std::map<std::string, std::string> known;
  Ids asked;
  const identity::Lookup lookup = [this](const std::string& id) -> std::optional<std::string> {
    asked.push_back(id);
    if (const auto found = known.find(id); found != known.end()) return found->second;
    return nullopt;
  };

 private:
  velmora::platform::ApplicationServices* previous_ =
      velmora::platform::installApplicationServices(nullptr);
  std::unique_ptr<velmora::platform::ApplicationServices> services_;
};

// A helper bundle nested in an application is checked through resolve() below.
TEST_F(ApplicationIdentityTest, OuterApplicationIsTheOutermostAppFolderOfTheStandardisedPath) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"/../Users/Old/../../Applications/./Tools//Grep.APP/", "/Applications/Tools/Grep.APP"},
      {"/usr/bin/tool", nullopt},
      {"/opt/.app/bin/tool", nullopt},  // a hidden name
      {"Editor.app/Contents/MacOS/editor", nullopt},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(identity::outerApplication(path), expected) << path;
  }
}

TEST_F(ApplicationIdentityTest, ResolveTriesExecutableThenRunningBundleThenIdentifier) {
  install({bundle("/Applications/Editor.app", "com.example.editor"),
           bundle("/Applications/Editor.app/Contents/Frameworks/Helper.app", "com.example.helper"),
           bundle("/Applications/Player.app", "com.example.player")});
  known = {{"com.example.player", "/Applications/Player.app"}};
  const std::string helper =
      "/Applications/Editor.app/Contents/Frameworks/Helper.app/Contents/MacOS/helper";
  EXPECT_EQ(identity::resolve(helper, "/Applications/Player.app", "com.example.player", lookup),
            "/Applications/Editor.app")
      << "a nested helper bundle belongs to the outer application";
  EXPECT_EQ(identity::resolve("/usr/bin/d", "/Applications/Player.app/Contents/../", "", lookup),
            "/Applications/Player.app");
  // An ".app" folder where no bundle opens is no answer; the next source is asked.
  EXPECT_EQ(identity::resolve("/opt/Ghost.app/bin/ghost", "/opt/Ghost.app", "com.example.player",
                              lookup),
            "/Applications/Player.app");
}

TEST_F(ApplicationIdentityTest, ResolveShortensTheIdentifierUntilTheLookupFindsABundle) {
  install({bundle("/Applications/Browser.app", "a.b.c")});
  known = {{"a.b.c.helper", "/Applications/Gone.app"},  // no bundle opens there
           {"a.b.c", "/Applications/Browser.app/Contents/MacOS/browser"}};
  // At least two non-empty parts are looked up; "a." and ".a" have one.
  const std::tuple<std::string, std::optional<std::string>, Ids> cases[] = {
      {"a.b.c.helper.renderer", "/Applications/Browser.app",
       {"a.b.c.helper.renderer", "a.b.c.helper", "a.b.c"}},
      {"x.y.z", nullopt, {"x.y.z", "x.y"}},
      {"single", nullopt, {}},
      {"a..b", nullopt, {"a..b"}},
      {".a.b", nullopt, {".a.b"}}};
  for (const auto& [identifier, expected, lookedUp] : cases) {
    asked.clear();
    EXPECT_EQ(identity::resolve("", nullopt, identifier, lookup), expected) << identifier;
    EXPECT_EQ(asked, lookedUp) << identifier;
  }
}

TEST_F(ApplicationIdentityTest, LookupAsksTheWorkspaceThenTheInstalledMap) {
  install({bundle("/Applications/Old/Mail.app", "com.example.mail", false),
           bundle("/Applications/Mail.app", "com.example.mail"),
           bundle("/Applications/Tools/Unlisted.app", "com.example.unlisted", false)});
  const auto installed = identity::scanInstalledApplications();
  const identity::InstalledApplications stale{{"com.example.mail", "/Applications/Old/Mail.app"}};
  EXPECT_EQ(identity::lookupApplication("com.example.mail", stale), "/Applications/Mail.app");
  const auto scanned = [&](const std::string& id) {
    return identity::lookupApplication(id, installed);
  };
  EXPECT_EQ(identity::resolve("", nullopt, "com.example.unlisted.helper", scanned),
            "/Applications/Tools/Unlisted.app")
      << "a helper of an application only the scan knows";
  EXPECT_EQ(identity::resolve("/usr/local/bin/synth", nullopt, "org.nowhere.synth", scanned),
            nullopt)
      << "outside any application and unknown to both";
}

TEST_F(ApplicationIdentityTest, ScanLooksOneFolderDownAndKeepsTheFirstLocation) {
  install({
      bundle("/System/Applications/Music.app", "com.example.music"),
      bundle("/Applications/Music.app", "com.example.music"),
      bundle("/home/ann/Applications/Music.app", "com.example.music"),
      bundle("/System/Applications/Utilities/Terminal.app", "com.example.terminal"),
      bundle("/Applications/Utilities/More/Deep.app", "com.example.deep"),
      bundle("/Applications/Loud.APP", "com.example.loud"),
      bundle("/Applications/.Secret.app", "com.example.secret"),
      bundle("/Applications/.cache/Cached.app", "com.example.cached"),
      bundle("/Applications/Plugin.bundle", "com.example.plugin"),
      bundle("/Applications/Anonymous.app", ""),
      bundle("/Users/Shared/Elsewhere.app", "com.example.elsewhere"),
  });
  EXPECT_EQ(identity::scanInstalledApplications(),
            (identity::InstalledApplications{
                {"com.example.music", "/home/ann/Applications/Music.app"},
                {"com.example.terminal", "/System/Applications/Utilities/Terminal.app"},
                {"com.example.loud", "/Applications/Loud.APP"}}));
}

TEST_F(ApplicationIdentityTest, IconPrefersTheIconFileThenTheNamedImageThenTheFileIcon) {
  const auto keys = [](velmora::platform::InfoValue file, std::string name = "") {
    Info info{{"CFBundleIconFile", file}};
    if (!name.empty()) info.emplace("CFBundleIconName", name);
    return info;
  };
  install({bundle("/A/File.app", "file", true, keys("AppIcon", "AppIcon"), {"AppIcon.icns"},
                  {"AppIcon"}),
           bundle("/A/Png.app", "png", true, keys("icon.png"), {"icon.png.icns", "icon.png"}),
           bundle("/A/Named.app", "named", true, keys("Missing", "AppIcon"), {}, {"AppIcon"}),
           bundle("/A/Neither.app", "neither", true, keys(3.0, "AppIcon"), {"3.icns"})});
  const std::pair<const char*, Image> cases[] = {
      {"/A/File.app", {"/A/File.app/Contents/Resources/AppIcon.icns", ""}},
      {"/A/Png.app", {"/A/Png.app/Contents/Resources/icon.png", ""}},
      {"/A/Named.app", {"/A/Named.app", "AppIcon"}},
      {"/A/Neither.app", {"/A/Neither.app", ""}},
      {"/usr/bin/tool", {"/usr/bin/tool", ""}},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(identity::icon(path), expected) << path;
}

// The only test that uses the process-wide map, so that it sees the map's first use.
TEST_F(ApplicationIdentityTest, InstalledApplicationsIsBuiltOnceFromTheFirstServicesSeen) {
  install({bundle("/Applications/Gem.app", "com.example.gem", false)});
  EXPECT_EQ(identity::resolve("", nullopt, "com.example.gem.renderer"), "/Applications/Gem.app")
      << "the default lookup falls back to the installed map";
  install({bundle("/Applications/New.app", "com.example.new", false)});
  EXPECT_EQ(identity::resolve("", nullopt, "com.example.new"), nullopt) << "never refreshed";
  EXPECT_EQ(identity::installedApplications(),
            (identity::InstalledApplications{{"com.example.gem", "/Applications/Gem.app"}}));
}

}  // namespace
