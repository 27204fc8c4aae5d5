// The autostart entry: its Exec line survives any path, and its status follows the file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/desktop/AutostartLoginItem.h"

namespace velmora::platform {
namespace {

TEST(AutostartLoginItem, ExecQuotesEveryPathByTheDesktopEntryRules) {
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/bin/velmora", R"("/usr/bin/velmora")"},
      {R"(/opt/say "hi"\now/velmora)", R"("/opt/say \\"hi\\"\\\\now/velmora")"},
      {"/opt/100%$HOME/velmora", R"("/opt/100%%\\$HOME/velmora")"},
  };
  for (const auto& [path, exec] : cases) EXPECT_EQ(execArgument(path), exec) << path;
}

TEST(AutostartLoginItem, RegisteringWritesTheEntryAndTheStatusReadsItBack) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("velmora-autostart-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  const auto entry = folder / "autostart" / "com.local.Ombrel.desktop";
  AutostartLoginItem item(entry, "/opt/my apps/velmora");
  EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
  ASSERT_EQ(item.registerMainApp(), std::nullopt);
  EXPECT_EQ(item.status(), LoginItemStatus::enabled);
  std::stringstream text;
  text << std::ifstream(entry).rdbuf();
  EXPECT_NE(text.str().find("\nExec=\"/opt/my apps/velmora\"\n"), std::string::npos) << text.str();

  // A session switches an entry off without deleting it; a broken file is no entry.
  const std::pair<std::string, LoginItemStatus> files[] = {
      {"[Desktop Entry]\nHidden=true\n", LoginItemStatus::notRegistered},
      {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", LoginItemStatus::notRegistered},
      {"not a desktop entry", LoginItemStatus::notRegistered},
  };
  for (const auto& [contents, status] : files) {
    std::ofstream(entry) << contents;
    EXPECT_EQ(item.status(), status) << contents;
  }
  ASSERT_EQ(item.unregisterMainApp(), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);

  // A file where the folder should be: the refusal is reported, not swallowed.
  std::ofstream(folder / "blocked") << "";
  AutostartLoginItem blocked(folder / "blocked" / "com.local.Ombrel.desktop", "/usr/bin/velmora");
  EXPECT_TRUE(blocked.registerMainApp().has_value());
  EXPECT_EQ(blocked.status(), LoginItemStatus::notRegistered);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace velmora::platform
