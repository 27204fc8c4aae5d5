// One running program per session. The first instance owns the session-bus name of the app
// identifier and serves `Show` and `Action` on it; a later start (or `velmora --action`) calls
// them instead of starting again. Without a session bus a lock file and a local socket in
// $XDG_RUNTIME_DIR do the same. A crashed instance leaves neither behind: the bus drops its name
// and the kernel its lock.
//
// Threading: the main thread.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;

namespace velmora::shell {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  static constexpr const char* kAppIdentifier = "com.local.Ombrel";
  static constexpr const char* kObjectPath = "/com/local/Ombrel";

  // What the first instance is asked to do: open the panel, or one of the hotkey actions.
  struct Handlers {
    std::function<void()> show;
    std::function<void(const QString& action)> action;
  };

  // Becomes the one instance, or none when another holds it (the caller then hands over with
  // `call`). `runtimeFolder` is where the fallback lock lives.
  static std::unique_ptr<SingleInstance> claim(Handlers handlers, const QString& runtimeFolder);

  // Asks the running instance to open its panel (empty `action`) or to run `action`; retries
  // while it is still starting. False when no instance answered.
  static bool call(const QString& action, const QString& runtimeFolder);

  ~SingleInstance() override;

  // Called by the bus adaptor and the local socket.
  void show() { handlers_.show(); }
  void action(const QString& name) { handlers_.action(name); }

 private:
  explicit SingleInstance(Handlers handlers) : handlers_(std::move(handlers)) {}
  bool claimBus();
  bool claimLock(const QString& runtimeFolder);

  Handlers handlers_;
  std::optional<QDBusConnection> bus_;
  int lockFile_ = -1;
  QLocalServer* server_ = nullptr;
};

}  // namespace velmora::shell
