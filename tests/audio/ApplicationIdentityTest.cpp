// Identity resolution and icons on a simulated disk of application bundles.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "audio/ApplicationIdentity.h"
#include "platform/sim/SimulatedApplicationServices.h"

namespace {

namespace identity = velmora::audio::ApplicationIdentity;
using velmora::platform::Image;
using velmora::platform::sim::Scenario;
using velmora::platform::sim::ScenarioBundle;
using velmora::platform::sim::SimulatedApplicationServices;

ScenarioBundle bundle(std::string path, std::string identifier, bool registered = true) {
  ScenarioBundle result;
  result.path = std::move(path);
  result.identifier = std::move(identifier);
  result.registered = registered;
  return result;
}

// Installs a simulated disk for one test and puts back whatever was installed before.
class ApplicationIdentityTest : public ::testing::Test {
 protected:
  void install(std::vector<ScenarioBundle> bundles, std::vector<std::string> folders = {}) {
    Scenario scenario;
    scenario.bundles = std::move(bundles);
    scenario.folders = std::move(folders);
    scenario.homeDirectory = "/home/ann";
    services_ = std::make_unique<SimulatedApplicationServices>(std::move(scenario), nullptr);
    const auto replaced = velmora::platform::installApplicationServices(services_.get());
    if (!restored_) previous_ = replaced;
    restored_ = true;
  }

  void TearDown() override {
    if (restored_) velmora::platform::installApplicationServices(previous_);
  }

 private:
  std::unique_ptr<SimulatedApplicationServices> services_;
  velmora::platform::ApplicationServices* previous_ = nullptr;
  bool restored_ = false;
};

TEST_F(ApplicationIdentityTest, OuterApplicationIsTheOutermostAppFolderOfTheStandardisedPath) {
  EXPECT_EQ(identity::outerApplication(
                "/Applications/Editor.app/Contents/Frameworks/Helper.app/Contents/MacOS/helper"),
            "/Applications/Editor.app");
  EXPECT_EQ(identity::outerApplication("/Applications/Editor.app"), "/Applications/Editor.app");
  EXPECT_EQ(identity::outerApplication("/Users/Old/../../Applications/./Tools//Grep.APP/Contents/"),
            "/Applications/Tools/Grep.APP");
  EXPECT_EQ(identity::outerApplication("/usr/bin/tool"), std::nullopt);
  EXPECT_EQ(identity::outerApplication("/opt/.app/bin/tool"), std::nullopt)
      << "a hidden name is not an extension";
  EXPECT_EQ(identity::outerApplication("/opt/app/application/bin"), std::nullopt);
  EXPECT_EQ(identity::outerApplication("Editor.app/Contents/MacOS/editor"), std::nullopt)
      << "a relative path has no place to start from";
  EXPECT_EQ(identity::outerApplication(""), std::nullopt);
}

TEST_F(ApplicationIdentityTest, ResolveTriesExecutableThenRunningBundleThenIdentifier) {
  install({bundle("/Applications/Editor.app", "com.example.editor"),
           bundle("/Applications/Editor.app/Contents/Frameworks/Helper.app",
                  "com.example.editor.helper"),
           bundle("/Applications/Player.app", "com.example.player")});
  const auto noLookup = [](const std::string&) -> std::optional<std::string> {
    ADD_FAILURE() << "looked up although a location was known";
    return std::nullopt;
  };
  EXPECT_EQ(identity::resolve(
                "/Applications/Editor.app/Contents/Frameworks/Helper.app/Contents/MacOS/helper",
                std::nullopt, "com.example.editor.helper", noLookup),
            "/Applications/Editor.app");
  EXPECT_EQ(identity::resolve("/usr/bin/player-daemon", "/Applications/Player.app", "", noLookup),
            "/Applications/Player.app");
  EXPECT_EQ(identity::resolve("", "/Applications/Player.app/Contents/../", "", noLookup),
            "/Applications/Player.app");
  // An ".app" folder where no bundle opens is no answer; the next source is asked.
  EXPECT_EQ(identity::resolve("/opt/Ghost.app/bin/ghost", "/Applications/Player.app", "", noLookup),
            "/Applications/Player.app");
  EXPECT_EQ(identity::resolve("/opt/Ghost.app/bin/ghost", "/opt/Ghost.app", "com.example.player",
                              [](const std::string& id) -> std::optional<std::string> {
                                if (id == "com.example.player") return "/Applications/Player.app";
                                return std::nullopt;
                              }),
            "/Applications/Player.app");
}

TEST_F(ApplicationIdentityTest, ResolveShortensTheIdentifierUntilTheLookupFindsABundle) {
  install(
      {bundle("/Applications/Browser.app", "a.b.c"), bundle("/Applications/Stale.app", "other")});
  std::vector<std::string> asked;
  const auto lookup = [&](const std::string& id) -> std::optional<std::string> {
    asked.push_back(id);
    if (id == "a.b.c.helper") return "/Applications/Gone.app";  // no bundle opens there
    if (id == "a.b.c") return "/Applications/Browser.app/Contents/MacOS/browser";
    return std::nullopt;
  };
  EXPECT_EQ(identity::resolve("", std::nullopt, "a.b.c.helper.renderer", lookup),
            "/Applications/Browser.app");
  EXPECT_EQ(asked, (std::vector<std::string>{"a.b.c.helper.renderer", "a.b.c.helper", "a.b.c"}));

  const auto cases = std::vector<std::pair<std::string, std::vector<std::string>>>{
      {"x.y.z", {"x.y.z", "x.y"}}, {"single", {}}, {"", {}},
      {"a..b", {"a..b"}},  // "a." has one non-empty part left
      {".a.b", {".a.b"}},
  };
  for (const auto& [identifier, expected] : cases) {
    asked.clear();
    EXPECT_EQ(identity::resolve("", std::nullopt, identifier, lookup), std::nullopt);
    EXPECT_EQ(asked, expected) << identifier;
  }
}

TEST_F(ApplicationIdentityTest, UnknownProcessResolvesToNothing) {
  install({bundle("/Applications/Player.app", "com.example.player")});
  const auto installed = identity::scanInstalledApplications();
  const auto lookup = [&](const std::string& id) {
    return identity::lookupApplication(id, installed);
  };
  EXPECT_EQ(identity::resolve("/usr/local/bin/synth", std::nullopt, "org.nowhere.synth", lookup),
            std::nullopt);
  EXPECT_EQ(identity::resolve("/usr/local/bin/synth", std::nullopt, "", lookup), std::nullopt);
}

TEST_F(ApplicationIdentityTest, LookupAsksTheWorkspaceBeforeTheInstalledMap) {
  install({bundle("/Applications/Old/Mail.app", "com.example.mail", false),
           bundle("/Applications/Mail.app", "com.example.mail"),
           bundle("/Applications/Tools/Unlisted.app", "com.example.unlisted", false)});
  const auto installed = identity::scanInstalledApplications();
  ASSERT_EQ(installed.at("com.example.mail"), "/Applications/Mail.app");
  const identity::InstalledApplications stale{{"com.example.mail", "/Applications/Old/Mail.app"}};
  EXPECT_EQ(identity::lookupApplication("com.example.mail", stale), "/Applications/Mail.app");
  EXPECT_EQ(identity::lookupApplication("com.example.unlisted", installed),
            "/Applications/Tools/Unlisted.app")
      << "unknown to the workspace, found by the scan";
  EXPECT_EQ(identity::lookupApplication("com.example.none", installed), std::nullopt);

  // A helper of an application only the scan knows is still attributed to it.
  EXPECT_EQ(identity::resolve(
                "", std::nullopt, "com.example.unlisted.helper",
                [&](const std::string& id) { return identity::lookupApplication(id, installed); }),
            "/Applications/Tools/Unlisted.app");
}

TEST_F(ApplicationIdentityTest, ScanFindsApplicationsOneFolderDownAndKeepsTheFirstLocation) {
  install(
      {
          bundle("/System/Applications/Music.app", "com.example.music"),
          bundle("/Applications/Music.app", "com.example.music"),
          bundle("/home/ann/Applications/Music.app", "com.example.music"),
          bundle("/System/Applications/Utilities/Terminal.app", "com.example.terminal"),
          bundle("/Applications/Utilities/Console.app", "com.example.console"),
          bundle("/Applications/Utilities/More/Deep.app", "com.example.deep"),
          bundle("/Applications/Loud.APP", "com.example.loud"),
          bundle("/Applications/.Secret.app", "com.example.secret"),
          bundle("/Applications/.cache/Cached.app", "com.example.cached"),
          bundle("/Applications/Plugin.bundle", "com.example.plugin"),
          bundle("/Applications/Editor.app", "com.example.editor"),
          bundle("/Applications/Editor.app/Contents/Frameworks/Helper.app", "com.example.helper"),
          bundle("/Applications/Anonymous.app", ""),
          bundle("/Users/Shared/Elsewhere.app", "com.example.elsewhere"),
      },
      {"/Applications/Empty"});
  const identity::InstalledApplications expected{
      {"com.example.music", "/home/ann/Applications/Music.app"},
      {"com.example.terminal", "/System/Applications/Utilities/Terminal.app"},
      {"com.example.console", "/Applications/Utilities/Console.app"},
      {"com.example.loud", "/Applications/Loud.APP"},
      {"com.example.editor", "/Applications/Editor.app"},
  };
  EXPECT_EQ(identity::scanInstalledApplications(), expected);
}

TEST_F(ApplicationIdentityTest, IconPrefersTheIconFileThenTheNamedImageThenTheFileIcon) {
  ScenarioBundle bare = bundle("/Applications/Bare.app", "com.example.bare");
  bare.info["CFBundleIconFile"] = 3.0;  // not text: ignored
  ScenarioBundle byFile = bundle("/Applications/File.app", "com.example.file");
  byFile.info["CFBundleIconFile"] = std::string("AppIcon");
  byFile.info["CFBundleIconName"] = std::string("AppIcon");
  byFile.resourceFiles = {"AppIcon.icns"};
  byFile.imageResources = {"AppIcon"};
  ScenarioBundle withExtension = bundle("/Applications/Png.app", "com.example.png");
  withExtension.info["CFBundleIconFile"] = std::string("icon.png");
  withExtension.resourceFiles = {"icon.png.icns", "icon.png"};
  ScenarioBundle byName = bundle("/Applications/Named.app", "com.example.named");
  byName.info["CFBundleIconFile"] = std::string("Missing");
  byName.info["CFBundleIconName"] = std::string("AppIcon");
  byName.imageResources = {"AppIcon"};
  ScenarioBundle unnamed = bundle("/Applications/Unnamed.app", "com.example.unnamed");
  unnamed.info["CFBundleIconName"] = std::string("AppIcon");
  unnamed.imageResources = {"Other"};
  install({bare, byFile, withExtension, byName, unnamed});

  EXPECT_EQ(identity::icon("/Applications/File.app"),
            (Image{"/Applications/File.app/Contents/Resources/AppIcon.icns", ""}));
  EXPECT_EQ(identity::icon("/Applications/Png.app"),
            (Image{"/Applications/Png.app/Contents/Resources/icon.png", ""}));
  EXPECT_EQ(identity::icon("/Applications/Named.app"),
            (Image{"/Applications/Named.app", "AppIcon"}));
  EXPECT_EQ(identity::icon("/Applications/Unnamed.app"), (Image{"/Applications/Unnamed.app", ""}));
  EXPECT_EQ(identity::icon("/Applications/Bare.app"), (Image{"/Applications/Bare.app", ""}));
  EXPECT_EQ(identity::icon("/usr/bin/tool"), (Image{"/usr/bin/tool", ""}));
}

// The only test that touches the process-wide map, so that it sees the map's first use.
TEST_F(ApplicationIdentityTest, InstalledApplicationsIsBuiltOnceFromTheFirstServicesSeen) {
  install({bundle("/Applications/Gem.app", "com.example.gem", false)});
  const identity::InstalledApplications& first = identity::installedApplications();
  ASSERT_EQ(first.at("com.example.gem"), "/Applications/Gem.app");
  EXPECT_EQ(identity::resolve("", std::nullopt, "com.example.gem.renderer"),
            "/Applications/Gem.app")
      << "the default lookup falls back to the installed map";

  install({bundle("/Applications/Gem.app", "com.example.gem", false),
           bundle("/Applications/New.app", "com.example.new", false)});
  EXPECT_EQ(&identity::installedApplications(), &first);
  EXPECT_FALSE(identity::installedApplications().contains("com.example.new")) << "never refreshed";
  EXPECT_EQ(identity::resolve("", std::nullopt, "com.example.new"), std::nullopt);
}

}  // namespace
