// The simulated disk of application bundles and the records served from a scenario.
#include <gtest/gtest.h>

#include "platform/sim/SimulatedApplicationServices.h"

namespace {

using velmora::platform::Image;
using velmora::platform::RunningApplication;
using velmora::platform::sim::Scenario;
using velmora::platform::sim::ScenarioBundle;
using velmora::platform::sim::SimulatedApplicationServices;
using Paths = std::vector<std::string>;

ScenarioBundle bundle(std::string path, std::string identifier, bool registered = true) {
  ScenarioBundle result;
  result.path = std::move(path);
  result.identifier = std::move(identifier);
  result.registered = registered;
  return result;
}

Scenario disk() {
  Scenario scenario;
  scenario.bundles = {
      bundle("/Applications/Editor.app", "com.example.editor"),
      bundle("/Applications/Editor.app/Contents/Frameworks/Helper.app", "com.example.helper"),
      bundle("/Applications/Beta/Editor.app", "com.example.editor"),
      bundle("/Applications/.Hidden.app", "com.example.hidden"),
      bundle("//Applications/./Zoo/../zoo.app/", "com.example.zoo", false),
      bundle("/Applications/Abacus.app", "com.example.abacus", false),
  };
  scenario.bundles[0].resourceFiles = {"Icon.icns"};
  scenario.bundles[0].imageResources = {"AppIcon"};
  scenario.bundles[0].info["CFBundleName"] = std::string("Editor");
  scenario.folders = {"/Applications/Empty", "/home/ann/Applications", "/home/ann/.config"};
  scenario.homeDirectory = "/home/ann";
  scenario.ownProcessID = 4242;
  scenario.ownBundleIdentifier = "com.local.Ombrel";
  return scenario;
}

TEST(SimulatedApplicationServices, ListsDirectChildrenByNameWithoutHiddenEntries) {
  SimulatedApplicationServices services(disk(), nullptr);
  const Paths applications{"/Applications/Abacus.app", "/Applications/Beta",
                           "/Applications/Editor.app", "/Applications/Empty",
                           "/Applications/zoo.app"};
  EXPECT_EQ(services.listDirectory("/Applications"), applications);
  EXPECT_EQ(services.listDirectory("//Applications/./"), applications);
  EXPECT_EQ(services.listDirectory("/"), (Paths{"/Applications", "/home"}));
  EXPECT_EQ(services.listDirectory("/home/ann"), (Paths{"/home/ann/Applications"}));
  EXPECT_EQ(services.listDirectory("/Applications/Editor.app/Contents"),
            (Paths{"/Applications/Editor.app/Contents/Frameworks"}));
  EXPECT_EQ(services.listDirectory("/Applications/Empty"), Paths{});
  EXPECT_EQ(services.listDirectory("/Applications/Editor.app/Contents/Resources"), Paths{})
      << "not a folder on this disk";
  EXPECT_EQ(services.listDirectory("Applications"), Paths{});

  EXPECT_TRUE(services.isDirectory("/Applications/Editor.app"));
  EXPECT_TRUE(services.isDirectory("/Applications/.Hidden.app")) << "hidden, not absent";
  EXPECT_TRUE(services.isDirectory("/home/ann/Applications/"));
  EXPECT_FALSE(services.isDirectory("/Applications/Editor"));
}

TEST(SimulatedApplicationServices, OpensBundlesOnlyAtBundlePaths) {
  SimulatedApplicationServices services(disk(), nullptr);
  const auto editor = services.bundle("/Applications/Tools/../Editor.app/");
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->path, "/Applications/Editor.app");
  EXPECT_EQ(editor->identifier, "com.example.editor");
  EXPECT_EQ(editor->resourcePath, "/Applications/Editor.app/Contents/Resources");
  EXPECT_EQ(editor->infoString("CFBundleName"), "Editor");
  EXPECT_EQ(services.bundle("/Applications/zoo.app")->identifier, "com.example.zoo");
  EXPECT_FALSE(services.bundle("/Applications"));
  EXPECT_FALSE(services.bundle("/Applications/Editor.app/Contents"));
  EXPECT_FALSE(services.bundle("/Applications/Missing.app"));
}

TEST(SimulatedApplicationServices, WorkspaceKnowsRegisteredBundlesFirstInScenarioOrder) {
  SimulatedApplicationServices services(disk(), nullptr);
  EXPECT_EQ(services.applicationPath("com.example.editor"), "/Applications/Editor.app");
  EXPECT_EQ(services.applicationPath("com.example.helper"),
            "/Applications/Editor.app/Contents/Frameworks/Helper.app");
  EXPECT_EQ(services.applicationPath("com.example.zoo"), std::nullopt) << "not registered";
  EXPECT_EQ(services.applicationPath("com.example"), std::nullopt);
}

TEST(SimulatedApplicationServices, ImagesLoadOnlyFromDeclaredResources) {
  SimulatedApplicationServices services(disk(), nullptr);
  const std::string icon = "/Applications/Editor.app/Contents/Resources/Icon.icns";
  EXPECT_EQ(services.imageAt(icon), (Image{icon, ""}));
  EXPECT_EQ(services.imageAt("/Applications/Editor.app/Contents/./Resources//Icon.icns"),
            (Image{icon, ""}));
  EXPECT_EQ(services.imageAt("/Applications/Beta/Editor.app/Contents/Resources/Icon.icns"),
            std::nullopt);
  EXPECT_EQ(services.imageAt("/Applications/Editor.app/Icon.icns"), std::nullopt);

  const auto editor = *services.bundle("/Applications/Editor.app");
  EXPECT_EQ(services.imageResource(editor, "AppIcon"),
            (Image{"/Applications/Editor.app", "AppIcon"}));
  EXPECT_EQ(services.imageResource(editor, "Icon"), std::nullopt);
  EXPECT_EQ(services.imageResource(*services.bundle("/Applications/Beta/Editor.app"), "AppIcon"),
            std::nullopt);
  EXPECT_EQ(services.fileIcon("/usr/bin/tool"), (Image{"/usr/bin/tool", ""}));
}

TEST(SimulatedApplicationServices, RunningApplicationsComeFromTheProcessTable) {
  std::vector<int32_t> asked;
  SimulatedApplicationServices services(
      disk(), [&](int32_t pid) -> std::optional<RunningApplication> {
        asked.push_back(pid);
        if (pid != 501) return std::nullopt;
        return RunningApplication{"/Applications/Editor.app", "com.example.editor", "Editor", {}};
      });
  EXPECT_EQ(services.runningApplication(501)->localizedName, "Editor");
  EXPECT_FALSE(services.runningApplication(502));
  EXPECT_EQ(asked, (std::vector<int32_t>{501, 502}));
  EXPECT_FALSE(SimulatedApplicationServices(disk(), nullptr).runningApplication(501));

  EXPECT_EQ(services.homeDirectory(), "/home/ann");
  EXPECT_EQ(services.ownProcessID(), 4242);
  EXPECT_EQ(services.ownBundleIdentifier(), "com.local.Ombrel");
}

}  // namespace
