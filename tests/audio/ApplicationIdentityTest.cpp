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

ScenarioBundle bundle(std::string path, std::string identifier, bool registered = true) {
  return {std::move(path), std::move(identifier), {}, {}, {}, registered};
}

// Installs a simulated disk and puts back whatever was installed before the test.
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

 private:
  velmora::platform::ApplicationServices* previous_ =
      velmora::platform::installApplicationServices(nullptr);
  std::unique_ptr<velmora::platform::ApplicationServices> services_;
};

TEST_F(ApplicationIdentityTest, OuterApplicationIsTheOutermostAppFolderOfTheStandardisedPath) {
  EXPECT_EQ(identity::outerApplication(
                "/Applications/Editor.app/Contents/Frameworks/Helper.app/Contents/MacOS/helper"),
            "/Applications/Editor.app");
  EXPECT_EQ(identity::outerApplication("/../Users/Old/../../Applications/./Tools//Grep.APP/"),
            "/Applications/Tools/Grep.APP");
  EXPECT_EQ(identity::outerApplication("/usr/bin/tool"), std::nullopt);
  EXPECT_EQ(identity::outerApplication("/opt/.app/bin/tool"), std::nullopt) << "a hidden name";
  EXPECT_EQ(identity::outerApplication("Editor.app/Contents/MacOS/editor"), std::nullopt);
}

TEST_F(ApplicationIdentityTest, ResolveTriesExecutableThenRunningBundleThenIdentifier) {
  install({bundle("/Applications/Editor.app", "com.example.editor"),
           bundle("/Applications/Editor.app/Contents/Frameworks/Helper.app", "com.example.helper"),
           bundle("/Applications/Player.app", "com.example.player")});
  Ids asked;
  const auto lookup = [&](const std::string& id) -> std::optional<std::string> {
    asked.push_back(id);
    if (id == "com.example.player") return "/Applications/Player.app";
    return std::nullopt;
  };
  EXPECT_EQ(identity::resolve(
                "/Applications/Editor.app/Contents/Frameworks/Helper.app/Contents/MacOS/helper",
                "/Applications/Player.app", "com.example.player", lookup),
            "/Applications/Editor.app");
  EXPECT_EQ(
      identity::resolve("/usr/bin/playerd", "/Applications/Player.app/Contents/../", "", lookup),
      "/Applications/Player.app");
  EXPECT_EQ(asked, Ids{});
  // An ".app" folder where no bundle opens is no answer; the next source is asked.
  EXPECT_EQ(
      identity::resolve("/opt/Ghost.app/bin/ghost", "/opt/Ghost.app", "com.example.player", lookup),
      "/Applications/Player.app");
  EXPECT_EQ(asked, Ids{"com.example.player"});
}

TEST_F(ApplicationIdentityTest, ResolveShortensTheIdentifierUntilTheLookupFindsABundle) {
  install({bundle("/Applications/Browser.app", "a.b.c")});
  Ids asked;
  const auto lookup = [&](const std::string& id) -> std::optional<std::string> {
    asked.push_back(id);
    if (id == "a.b.c.helper") return "/Applications/Gone.app";  // no bundle opens there
    if (id == "a.b.c") return "/Applications/Browser.app/Contents/MacOS/browser";
    return std::nullopt;
  };
  EXPECT_EQ(identity::resolve("", std::nullopt, "a.b.c.helper.renderer", lookup),
            "/Applications/Browser.app");
  EXPECT_EQ(asked, (Ids{"a.b.c.helper.renderer", "a.b.c.helper", "a.b.c"}));

  // At least two non-empty parts are looked up; "a." and ".a" have one.
  const std::pair<std::string, Ids> cases[] = {
      {"x.y.z", {"x.y.z", "x.y"}}, {"single", {}}, {"a..b", {"a..b"}}, {".a.b", {".a.b"}}};
  for (const auto& [identifier, expected] : cases) {
    asked.clear();
    EXPECT_EQ(identity::resolve("", std::nullopt, identifier, lookup), std::nullopt);
    EXPECT_EQ(asked, expected) << identifier;
  }
}

TEST_F(ApplicationIdentityTest, LookupAsksTheWorkspaceThenTheInstalledMap) {
  install({bundle("/Applications/Old/Mail.app", "com.example.mail", false),
           bundle("/Applications/Mail.app", "com.example.mail"),
           bundle("/Applications/Tools/Unlisted.app", "com.example.unlisted", false)});
  const auto installed = identity::scanInstalledApplications();
  const auto lookup = [&](const std::string& id) {
    return identity::lookupApplication(id, installed);
  };
  const identity::InstalledApplications stale{{"com.example.mail", "/Applications/Old/Mail.app"}};
  EXPECT_EQ(identity::lookupApplication("com.example.mail", stale), "/Applications/Mail.app");
  EXPECT_EQ(identity::resolve("", std::nullopt, "com.example.unlisted.helper", lookup),
            "/Applications/Tools/Unlisted.app")
      << "a helper of an application only the scan knows";
  EXPECT_EQ(identity::resolve("/usr/local/bin/synth", std::nullopt, "org.nowhere.synth", lookup),
            std::nullopt)
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
  const identity::InstalledApplications expected{
      {"com.example.music", "/home/ann/Applications/Music.app"},
      {"com.example.terminal", "/System/Applications/Utilities/Terminal.app"},
      {"com.example.loud", "/Applications/Loud.APP"},
  };
  EXPECT_EQ(identity::scanInstalledApplications(), expected);
}

TEST_F(ApplicationIdentityTest, IconPrefersTheIconFileThenTheNamedImageThenTheFileIcon) {
  ScenarioBundle byFile = bundle("/A/File.app", "file");
  byFile.info = {{"CFBundleIconFile", std::string("AppIcon")},
                 {"CFBundleIconName", std::string("AppIcon")}};
  byFile.resourceFiles = {"AppIcon.icns"};
  byFile.imageResources = {"AppIcon"};
  ScenarioBundle withExtension = bundle("/A/Png.app", "png");
  withExtension.info = {{"CFBundleIconFile", std::string("icon.png")}};
  withExtension.resourceFiles = {"icon.png.icns", "icon.png"};
  ScenarioBundle byName = bundle("/A/Named.app", "named");
  byName.info = {{"CFBundleIconFile", std::string("Missing")},
                 {"CFBundleIconName", std::string("AppIcon")}};
  byName.imageResources = {"AppIcon"};
  ScenarioBundle neither = bundle("/A/Neither.app", "neither");
  neither.info = {{"CFBundleIconFile", 3.0}, {"CFBundleIconName", std::string("AppIcon")}};
  neither.resourceFiles = {"3.icns"};
  install({byFile, withExtension, byName, neither});

  EXPECT_EQ(identity::icon("/A/File.app"),
            (Image{"/A/File.app/Contents/Resources/AppIcon.icns", ""}));
  EXPECT_EQ(identity::icon("/A/Png.app"), (Image{"/A/Png.app/Contents/Resources/icon.png", ""}));
  EXPECT_EQ(identity::icon("/A/Named.app"), (Image{"/A/Named.app", "AppIcon"}));
  EXPECT_EQ(identity::icon("/A/Neither.app"), (Image{"/A/Neither.app", ""}));
  EXPECT_EQ(identity::icon("/usr/bin/tool"), (Image{"/usr/bin/tool", ""}));
}

// The only test that uses the process-wide map, so that it sees the map's first use.
TEST_F(ApplicationIdentityTest, InstalledApplicationsIsBuiltOnceFromTheFirstServicesSeen) {
  install({bundle("/Applications/Gem.app", "com.example.gem", false)});
  const identity::InstalledApplications& first = identity::installedApplications();
  EXPECT_EQ(identity::resolve("", std::nullopt, "com.example.gem.renderer"),
            "/Applications/Gem.app")
      << "the default lookup falls back to the installed map";

  install({bundle("/Applications/New.app", "com.example.new", false)});
  EXPECT_EQ(&identity::installedApplications(), &first);
  EXPECT_EQ(first, (identity::InstalledApplications{{"com.example.gem", "/Applications/Gem.app"}}));
  EXPECT_EQ(identity::resolve("", std::nullopt, "com.example.new"), std::nullopt);
}

}  // namespace
