// Global hot keys on X11 (XWayland included, though there they never fire: see main): each
// combination is grabbed on the root window in all four Caps Lock / Num Lock states, with checked
// requests, so a combination another client holds is known at once instead of failing silently.
// Presses reach the handlers through Qt's native event filter, once per press.
//
// Threading: the main thread, where Qt reads the X connection.
#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <map>

#include "platform/hotkeys/HotkeyService.h"
#include "shell/KeyRepeatFilter.h"

namespace velmora::shell {

class X11HotkeyService final : public QAbstractNativeEventFilter, public platform::HotkeyService {
 public:
  X11HotkeyService(xcb_connection_t* connection, xcb_window_t root);
  ~X11HotkeyService() override;

  HandlerToken installPressedHandler(PressedHandler handler) override;
  void removePressedHandler(HandlerToken token) override;
  platform::HotKeyRegistration registerHotKey(uint32_t key, uint32_t modifiers, uint32_t signature,
                                              uint32_t id) override;
  void unregisterHotKey(platform::HotKeyReference reference) override;
  void pauseGrabs(bool paused) override;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  struct Grab {
    uint8_t keycode = 0;
    uint16_t modifiers = 0;
    platform::HotKeyID id;
  };
  // Grabs in every lock state; false (with nothing left grabbed) when the server refuses one.
  bool grab(const Grab& grab, bool* heldElsewhere);
  void ungrab(const Grab& grab);

  xcb_connection_t* connection_;
  xcb_window_t root_;
  std::map<HandlerToken, PressedHandler> handlers_;
  HandlerToken nextHandler_ = 1;
  std::map<uint64_t, Grab> grabs_;
  uint64_t nextReference_ = 1;
  bool paused_ = false;
  KeyRepeatFilter repeats_;
};

}  // namespace velmora::shell
