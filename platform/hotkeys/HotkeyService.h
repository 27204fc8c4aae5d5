// The system's global hot keys: a program registers key combinations under ids of its own and
// installs a handler that the system calls when one of them is pressed, whichever application is
// in front. A desktop backend reaches the session's key grabs; the simulated one records what is
// held and presses keys on request.
//
// Threading: every call, and every call of an installed handler, on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace velmora::platform {

// The id a hot key is registered under and handed back with on a press: the registering
// program's four-character signature and a number of its choosing.
struct HotKeyID {
  uint32_t signature = 0;
  uint32_t id = 0;

  bool operator==(const HotKeyID&) const = default;
};

// One registration held with the system; value 0 is the empty reference.
struct HotKeyReference {
  uint64_t value = 0;

  bool empty() const { return value == 0; }
  bool operator==(const HotKeyReference&) const = default;
};

// Statuses of registerHotKey: 0 is success.
inline constexpr int32_t kHotKeyNoError = 0;
inline constexpr int32_t kHotKeyExistsError = -9878;   // the combination is held elsewhere
inline constexpr int32_t kHotKeyInvalidError = -9879;  // the system cannot grab it

struct HotKeyRegistration {
  int32_t status = kHotKeyInvalidError;
  HotKeyReference reference;

  // Success needs both a zero status and a reference that can later be released.
  bool succeeded() const { return status == kHotKeyNoError && !reference.empty(); }
};

// What a handler answers: `notHandled` passes the press on to the next handler.
enum class HotKeyEventResult { handled, notHandled };

class HotkeyService {
 public:
  // Receives the id record of the pressed hot key; absent when the event carries none that can be
  // read.
  using PressedHandler = std::function<HotKeyEventResult(std::optional<HotKeyID> pressed)>;
  // Names one installed handler; 0 names none.
  using HandlerToken = uint64_t;

  virtual ~HotkeyService() = default;

  // Installs a handler for hot-key-pressed events. Handlers are asked newest first until one
  // answers handled.
  virtual HandlerToken installPressedHandler(PressedHandler handler) = 0;
  virtual void removePressedHandler(HandlerToken token) = 0;

  // Registers `key` (virtual key code) with `modifiers` (Command 0x100, Shift 0x200, Option 0x800,
  // Control 0x1000) under `signature` and `id`.
  virtual HotKeyRegistration registerHotKey(uint32_t key, uint32_t modifiers, uint32_t signature,
                                            uint32_t id) = 0;
  virtual void unregisterHotKey(HotKeyReference reference) = 0;

  // While a shortcut is being recorded every key must reach the recorder, the held combinations
  // included: paused, the registrations stay but no press is taken from the other windows.
  // Services whose presses cannot reach the program's windows anyway need not do anything.
  virtual void pauseGrabs(bool paused) { (void)paused; }
};

// Installs `service` for the whole process (null uninstalls) and returns the one it replaces.
// The caller keeps ownership.
HotkeyService* installHotkeyService(HotkeyService* service);

// The installed service; without one, a neutral service that refuses every registration and
// never reports a press.
HotkeyService& hotkeyService();

}  // namespace velmora::platform
