#include "shell/X11HotkeyService.h"

#include <QByteArray>
#include <cstdlib>

#include "shell/KeyCodes.h"

namespace velmora::shell {
namespace {

constexpr uint16_t kLockStates[] = {0, kX11Lock, kX11NumLock, kX11Lock | kX11NumLock};
constexpr uint16_t kCombinationMask = kX11Shift | kX11Control | kX11Alt | kX11Super;
constexpr uint8_t kBadAccess = 10;

}  // namespace

X11HotkeyService::X11HotkeyService(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection), root_(root) {}

X11HotkeyService::~X11HotkeyService() {
  if (!paused_) {
    for (const auto& [reference, held] : grabs_) ungrab(held);
  }
  xcb_flush(connection_);
}

platform::HotkeyService::HandlerToken X11HotkeyService::installPressedHandler(
    PressedHandler handler) {
  handlers_.emplace(nextHandler_, std::move(handler));
  return nextHandler_++;
}

void X11HotkeyService::removePressedHandler(HandlerToken token) { handlers_.erase(token); }

bool X11HotkeyService::grab(const Grab& grab, bool* heldElsewhere) {
  xcb_void_cookie_t cookies[std::size(kLockStates)];
  for (size_t i = 0; i < std::size(kLockStates); ++i) {
    cookies[i] = xcb_grab_key_checked(connection_, 1, root_, grab.modifiers | kLockStates[i],
                                      grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
  }
  bool refused = false;
  for (const xcb_void_cookie_t& cookie : cookies) {
    if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
      *heldElsewhere = *heldElsewhere || error->error_code == kBadAccess;
      refused = true;
      std::free(error);
    }
  }
  // Half a grab would fire in some lock states only: all or nothing.
  if (refused) ungrab(grab);
  return !refused;
}

void X11HotkeyService::ungrab(const Grab& grab) {
  for (const uint16_t lock : kLockStates) {
    xcb_ungrab_key(connection_, grab.keycode, root_, grab.modifiers | lock);
  }
}

platform::HotKeyRegistration X11HotkeyService::registerHotKey(uint32_t key, uint32_t modifiers,
                                                              uint32_t signature, uint32_t id) {
  const auto keycode = x11Keycode(key);
  if (!keycode) return {platform::kHotKeyInvalidError, {}};
  const Grab wanted{*keycode, x11Modifiers(modifiers), {signature, id}};
  bool heldElsewhere = false;
  if (!paused_ && !grab(wanted, &heldElsewhere)) {
    return {heldElsewhere ? platform::kHotKeyExistsError : platform::kHotKeyInvalidError, {}};
  }
  const uint64_t reference = nextReference_++;
  grabs_.emplace(reference, wanted);
  return {platform::kHotKeyNoError, {reference}};
}

void X11HotkeyService::unregisterHotKey(platform::HotKeyReference reference) {
  const auto found = grabs_.find(reference.value);
  if (found == grabs_.end()) return;
  if (!paused_) ungrab(found->second);
  grabs_.erase(found);
  xcb_flush(connection_);
}

void X11HotkeyService::pauseGrabs(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  for (const auto& [reference, held] : grabs_) {
    bool heldElsewhere = false;
    if (paused) {
      ungrab(held);
    } else {
      grab(held, &heldElsewhere);
    }
  }
  xcb_flush(connection_);
}

bool X11HotkeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != QByteArrayLiteral("xcb_generic_event_t")) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const uint8_t type = event->response_type & 0x7f;
  if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
  // A press in one of our own windows (the pop-over holds the keyboard while open) comes to that
  // window rather than the root: a bound combination is the same hot key there. While paused
  // for the recorder, every key is the recorder's.
  const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
  if (paused_) return false;
  if (type == XCB_KEY_RELEASE) {
    repeats_.release(key->detail, key->time);
    return false;
  }
  if (!repeats_.press(key->detail, key->time)) return true;
  const uint16_t combination = key->state & kCombinationMask;
  for (const auto& [reference, held] : grabs_) {
    if (held.keycode != key->detail || held.modifiers != combination) continue;
    // Newest handler first, until one takes it.
    for (auto handler = handlers_.rbegin(); handler != handlers_.rend(); ++handler) {
      if (handler->second(held.id) == platform::HotKeyEventResult::handled) break;
    }
    return true;
  }
  return false;
}

}  // namespace velmora::shell
