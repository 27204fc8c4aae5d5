// Global hot keys against a virtual X server of the test's own: a combination another client
// holds is refused at once; a held key acts once; paused grabs let every key through.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QByteArray>

#include "settings/Shortcut.h"
#include "shell/KeyCodes.h"
#include "shell/X11HotkeyService.h"
#include "tests/support/ChildProcess.h"

namespace velmora::shell {
namespace {

using platform::HotKeyEventResult;
using platform::HotKeyID;

TEST(X11HotkeyService, RefusesWhatOthersHoldActsOncePerPressAndPausesForTheRecorder) {
  VELMORA_REQUIRE_TOOLS("command -v Xvfb && command -v xdotool");
  test::ChildProcess xvfb;
  const std::string display =
      ":" + xvfb.startAndReadLine({"Xvfb", "-screen", "0", "640x480x24", "-nolisten", "tcp"},
                                  "-displayfd");
  xcb_connection_t* other = xcb_connect(display.c_str(), nullptr);
  xcb_connection_t* ours = xcb_connect(display.c_str(), nullptr);
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

  // What Qt's event loop would hand the filter: everything our connection receives.
  const auto deliver = [&] {
    std::free(xcb_get_input_focus_reply(ours, xcb_get_input_focus(ours), nullptr));  // round trip
    while (xcb_generic_event_t* event = xcb_poll_for_event(ours)) {
      service.nativeEventFilter(QByteArray("xcb_generic_event_t"), event, nullptr);
      std::free(event);
    }
  };
  const auto type = [&](const std::string& keys) {
    ASSERT_EQ(std::system(("DISPLAY=" + display + " xdotool " + keys).c_str()), 0);
    deliver();
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
