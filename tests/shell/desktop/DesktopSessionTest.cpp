// The tray program as a user's session meets it: a virtual X server, a private session bus and a
// stand-in for the desktop's tray (StatusNotifierWatcher), all started and stopped by the test.
// The program is driven from outside, as the tray, a second start and the desktop's shortcuts
// drive it. The global hot keys are also tried on their own against that X server: a
// combination another client holds is refused at once; a held key acts once; paused grabs let
// every key through.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QByteArray>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "settings/Shortcut.h"
#include "shell/KeyCodes.h"
#include "shell/X11HotkeyService.h"
#include "tests/support/ChildProcess.h"

namespace velmora::shell {
namespace {

using platform::HotKeyEventResult;
using platform::HotKeyID;
using test::ChildProcess;
using test::commandOutput;
using test::eventually;

class DesktopSession : public testing::Test {
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
    ASSERT_TRUE(display_ != ":" && !bus_.empty()) << display_ << " " << bus_;
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

TEST_F(DesktopSession, TheTrayProgramRegistersOpensScrollsAndAnswersSecondStartsAndActions) {
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

TEST_F(DesktopSession, HotkeysRefuseWhatOthersHoldActOncePerPressAndPauseForTheRecorder) {
  xcb_connection_t* other = xcb_connect(display_.c_str(), nullptr);
  xcb_connection_t* ours = xcb_connect(display_.c_str(), nullptr);
  ASSERT_FALSE(xcb_connection_has_error(other) || xcb_connection_has_error(ours));
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(ours)).data->root;

  // Another program already holds Ctrl+Alt+M.
  xcb_grab_key(other, 1, root, kX11Control | kX11Alt, *x11Keycode(46), XCB_GRAB_MODE_ASYNC,
               XCB_GRAB_MODE_ASYNC);
  xcb_flush(other);
  std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));  // grabbed

  X11HotkeyService service(ours, root);
  std::vector<uint32_t> pressed;
  service.installPressedHandler([&](std::optional<HotKeyID> id) {
    pressed.push_back(id ? id->id : 0);
    return HotKeyEventResult::handled;
  });
  const uint32_t ctrlAlt = settings::kCommandKey | settings::kOptionKey;
  EXPECT_EQ(service.registerHotKey(46, ctrlAlt, 1, 1).status, platform::kHotKeyExistsError);
  EXPECT_EQ(service.registerHotKey(0x34, ctrlAlt, 1, 1).status, platform::kHotKeyInvalidError)
      << "no such key";
  const auto up = service.registerHotKey(126, ctrlAlt, 1, 4);
  ASSERT_TRUE(up.succeeded());

  // Types `keys`, then hands the filter what Qt's event loop would: everything our connection
  // receives.
  const auto type = [&](const std::string& keys) {
    ASSERT_EQ(std::system(("xdotool " + keys).c_str()), 0);
    std::free(xcb_get_input_focus_reply(ours, xcb_get_input_focus(ours), nullptr));  // round trip
    while (xcb_generic_event_t* event = xcb_poll_for_event(ours)) {
      service.nativeEventFilter(QByteArray("xcb_generic_event_t"), event, nullptr);
      std::free(event);
    }
  };
  type("key ctrl+alt+Up");
  EXPECT_EQ(pressed, std::vector<uint32_t>{4});
  type("keydown ctrl+alt+Up sleep 0.8 keyup ctrl+alt+Up");  // held long enough to repeat
  EXPECT_EQ(pressed, (std::vector<uint32_t>{4, 4})) << "one action per press";
  type("keydown Caps_Lock keyup Caps_Lock key ctrl+alt+Up keydown Caps_Lock keyup Caps_Lock");
  EXPECT_EQ(pressed.size(), 3u) << "Caps Lock on changes nothing";

  service.pauseGrabs(true);
  type("key ctrl+alt+Up");
  EXPECT_EQ(pressed.size(), 3u) << "paused: the key goes to whoever has the focus";
  service.pauseGrabs(false);
  type("key ctrl+alt+Up");
  EXPECT_EQ(pressed.size(), 4u);

  service.unregisterHotKey(up.reference);
  type("key ctrl+alt+Up");
  EXPECT_EQ(pressed.size(), 4u);
  xcb_disconnect(other);
  xcb_disconnect(ours);
}

}  // namespace
}  // namespace velmora::shell
