// The simulated disk of application bundles. Identity resolution on top of it is tested in
// tests/audio; here what a test scenario relies on: folders, hidden entries, path spellings.
#include <gtest/gtest.h>

#include "platform/sim/SimulatedApplicationServices.h"

namespace {

using velmora::platform::Image;
using velmora::platform::sim::Scenario;
using velmora::platform::sim::ScenarioBundle;
using velmora::platform::sim::SimulatedApplicationServices;
using Paths = std::vector<std::string>;

SimulatedApplicationServices disk() {
  Scenario scenario;
  const auto add = [&](std::string path, std::string identifier, bool registered = true) {
    scenario.bundles.push_back({std::move(path), std::move(identifier), {}, {}, {}, registered});
  };
  add("/Applications/Editor.app", "com.example.editor");
  add("/Applications/Editor.app/Contents/Frameworks/Helper.app", "com.example.helper");
  add("/Applications/Beta/Editor.app", "com.example.editor");
  add("/Applications/.Hidden.app", "com.example.hidden");
  add("//Applications/./Zoo/../zoo.app/", "com.example.zoo", false);
  add("/Applications/Abacus.app", "com.example.abacus");
  scenario.bundles[0].resourceFiles = {"Icon.icns"};
  scenario.folders = {"/Applications/Empty", "/home/ann/.config"};
  return SimulatedApplicationServices(std::move(scenario), nullptr);
}

TEST(SimulatedApplicationServices, FoldersAreBundlesTheirParentsAndDeclaredFolders) {
  auto services = disk();
  const Paths applications{"/Applications/Abacus.app", "/Applications/Beta",
                           "/Applications/Editor.app", "/Applications/Empty",
                           "/Applications/zoo.app"};
  EXPECT_EQ(services.listDirectory("/Applications"), applications);
  EXPECT_EQ(services.listDirectory("//Applications/./Beta/.."), applications);
  EXPECT_EQ(services.listDirectory("/home/ann"), Paths{}) << "only hidden entries";
  EXPECT_EQ(services.listDirectory("/Applications/Editor.app/Contents"),
            (Paths{"/Applications/Editor.app/Contents/Frameworks"}));
  EXPECT_EQ(services.listDirectory("/Applications/Editor.app/Contents/Resources"), Paths{});
  EXPECT_TRUE(services.isDirectory("/Applications/.Hidden.app")) << "hidden, not absent";
}

TEST(SimulatedApplicationServices, BundlesOpenOnlyAtTheirStandardisedPath) {
  auto services = disk();
  const auto editor = services.bundle("/Applications/Tools/../Editor.app/");
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->path, "/Applications/Editor.app");
  EXPECT_EQ(editor->resourcePath, "/Applications/Editor.app/Contents/Resources");
  EXPECT_EQ(services.bundle("/Applications/zoo.app")->identifier, "com.example.zoo");
  EXPECT_FALSE(services.bundle("/Applications/Editor.app/Contents"));
  EXPECT_FALSE(services.bundle("/Applications"));

  EXPECT_EQ(services.applicationPath("com.example.editor"), "/Applications/Editor.app")
      << "the first registered bundle wins";
  EXPECT_EQ(services.applicationPath("com.example.zoo"), std::nullopt) << "not registered";

  const std::string icon = "/Applications/Editor.app/Contents/Resources/Icon.icns";
  EXPECT_EQ(services.imageAt("/Applications/Editor.app/Contents/./Resources//Icon.icns"),
            (Image{icon, ""}));
  EXPECT_EQ(services.imageAt("/Applications/Beta/Editor.app/Contents/Resources/Icon.icns"),
            std::nullopt);
}

}  // namespace
