// The tray program as a user's session meets it: a virtual X server, a private session bus and a
// stand-in for the desktop's tray (StatusNotifierWatcher), all started and stopped by the test.
// The program is driven from outside, as the tray, a second start and the desktop's shortcuts
// drive it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/support/ChildProcess.h"

namespace {

using velmora::test::ChildProcess;
using velmora::test::commandOutput;
using velmora::test::eventually;

class TrayProgram : public testing::Test {
 protected:
  void SetUp() override {
    VELMORA_REQUIRE_TOOLS(
        "command -v Xvfb && command -v dbus-daemon && command -v gdbus && command -v xdotool && "
        "/usr/bin/python3 -c 'import dbusmock'");
    folder_ =
        std::filesystem::temp_directory_path() / ("velmora-tray-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_ / "runtime");
    std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all);
    display_ = ":" + xvfb_.startAndReadLine(
                         {"Xvfb", "-screen", "0", "1280x800x24", "-nolisten", "tcp"}, "-displayfd");
    bus_ = dbus_.startAndReadLine({"dbus-daemon", "--session", "--nofork"}, "--print-address=");
    ASSERT_NE(display_, ":");
    ASSERT_FALSE(bus_.empty());
    // For the programs started below; no thread of this test reads the environment meanwhile.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    ::setenv("DISPLAY", display_.c_str(), 1);               // NOLINT(concurrency-mt-unsafe)
  }
  void TearDown() override {
    for (auto* child : {&second_, &program_, &watcher_, &dbus_, &xvfb_}) child->stop();
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  std::vector<std::string> environment() const {
    return {"DBUS_SYSTEM_BUS_ADDRESS=" + bus_,  // no logind there: nothing to inhibit
            "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
            "XDG_RUNTIME_DIR=" + (folder_ / "runtime").string(), "QT_QPA_PLATFORM=xcb",
            "VELMORA_TRAY_WAIT_MS=60000"};
  }
  bool startProgram(ChildProcess& child, std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), VELMORA_PROGRAM);
    return child.start(arguments, environment());
  }
  std::string gdbus(const std::string& destination, const std::string& path,
                    const std::string& method, const std::string& arguments = "") {
    return commandOutput("gdbus call --session -d " + destination + " -o " + path + " -m " +
                         method + " " + arguments + " 2>/dev/null");
  }
  std::string item() const {
    return "org.kde.StatusNotifierItem-" + std::to_string(program_.pid()) + "-1";
  }
  std::string callItem(const std::string& method, const std::string& arguments = "") {
    return gdbus(item(), "/StatusNotifierItem", method, arguments);
  }
  bool registered() {
    return gdbus("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                 "org.freedesktop.DBus.Mock.GetCalls")
               .find(item()) != std::string::npos;
  }
  bool owned(const std::string& name) {
    return gdbus("org.freedesktop.DBus", "/org/freedesktop/DBus",
                 "org.freedesktop.DBus.NameHasOwner", name)
               .find("true") != std::string::npos;
  }
  // The pop-over's frame on screen, or an empty text while it is not shown.
  std::string popover() {
    return commandOutput(
        "xdotool search --onlyvisible --name '^Velmora$' getwindowgeometry 2>/dev/null");
  }
  // The settings file after the program ended by a signal, which it must survive with 0.
  std::string settingsAfterQuit() {
    program_.signal(SIGTERM);
    EXPECT_EQ(program_.wait(), 0);
    std::stringstream text;
    text << std::ifstream(folder_ / "config" / "Ombrel" / "simulated" / "settings.json").rdbuf();
    return text.str();
  }

  std::filesystem::path folder_;
  std::string display_, bus_;
  ChildProcess xvfb_, dbus_, watcher_, program_, second_;
};

TEST_F(TrayProgram, RegistersOpensScrollsAndAnswersSecondStartsActionsAndHotkeys) {
  ASSERT_TRUE(startProgram(program_));
  ASSERT_TRUE(eventually([&] { return owned(item()); }));
  // The tray comes after the program, as at login.
  ASSERT_TRUE(
      watcher_.start({"/usr/bin/python3", "-m", "dbusmock", "--template", VELMORA_WATCHER_TEMPLATE},
                     environment()));
  ASSERT_TRUE(eventually([&] { return registered(); }));
  const std::string properties =
      callItem("org.freedesktop.DBus.Properties.GetAll", "org.kde.StatusNotifierItem");
  EXPECT_NE(properties.find("'Velmora — 音量与设备'"), std::string::npos) << properties;

  // The first launch opened the pop-over by itself; a click on the icon closes it, the next one
  // opens it under the click.
  ASSERT_TRUE(eventually([&] { return !popover().empty(); }));
  callItem("org.kde.StatusNotifierItem.Activate", "1200 10");
  ASSERT_TRUE(eventually([&] { return popover().empty(); }));
  callItem("org.kde.StatusNotifierItem.Activate", "1200 10");
  ASSERT_TRUE(eventually([&] { return !popover().empty(); }));
  std::smatch position;
  const std::string frame = popover();
  ASSERT_TRUE(std::regex_search(frame, position, std::regex(R"(Position: (\d+),(\d+))")));
  EXPECT_GE(std::stoi(position[1]), 1280 - 420 - 20) << frame;
  EXPECT_LE(std::stoi(position[2]), 60) << frame;

  // One notch up, then a quit by signal right away: the step is in the file.
  callItem("org.kde.StatusNotifierItem.Scroll", "120 vertical");
  callItem("org.kde.StatusNotifierItem.Scroll", "120 horizontal");
  std::string text = settingsAfterQuit();
  EXPECT_NE(text.find("\"BuiltInSpeakerDevice\": 0.5625"), std::string::npos) << text;

  // Started again with the tray there: it registers at once; the pop-over opens when
  // the panel's default hotkey or the panel action asks.
  ASSERT_TRUE(startProgram(program_));
  ASSERT_TRUE(eventually([&] { return owned("com.local.Ombrel") && registered(); }));
  commandOutput("xdotool key ctrl+alt+m");
  ASSERT_TRUE(eventually([&] { return !popover().empty(); }));
  gdbus("com.local.Ombrel", "/com/local/Ombrel", "com.local.Ombrel.Action", "panel");
  ASSERT_TRUE(eventually([&] { return popover().empty(); }));

  // A second start hands over: the first one's panel opens, the second ends with 0.
  ASSERT_TRUE(startProgram(second_));
  EXPECT_EQ(second_.wait(), 0);
  EXPECT_TRUE(eventually([&] { return !popover().empty(); }));
  ASSERT_TRUE(startProgram(second_, {"--action", "louder"}));
  EXPECT_EQ(second_.wait(), 0);
  ASSERT_TRUE(startProgram(second_, {"--action", "bogus"}));
  EXPECT_EQ(second_.wait(), 2);
  text = settingsAfterQuit();
  EXPECT_NE(text.find("\"BuiltInSpeakerDevice\": 0.55"), std::string::npos) << text;

  // A crashed instance blocks nothing; of two starts at once exactly one stays.
  ASSERT_TRUE(startProgram(program_));
  ASSERT_TRUE(eventually([&] { return owned("com.local.Ombrel"); }));
  program_.signal(SIGKILL);
  program_.wait();
  ASSERT_TRUE(startProgram(program_));
  ASSERT_TRUE(startProgram(second_));
  ASSERT_TRUE(eventually([&] { return !program_.running() || !second_.running(); }));
  ASSERT_TRUE(eventually([&] { return owned("com.local.Ombrel"); }));
  EXPECT_NE(program_.running(), second_.running());
}

}  // namespace
