#include "shell/LogindPowerEvents.h"

#include <QDBusMessage>
#include <QDBusReply>

namespace velmora::shell {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace

LogindPowerEvents::LogindPowerEvents(QDBusConnection bus) : bus_(std::move(bus)) {
  if (!bus_.isConnected()) return;
  // QtDBus connects bus signals by signature only.
  bus_.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
               SLOT(prepareForSleep(bool)));
  takeInhibitor();
}

LogindPowerEvents::~LogindPowerEvents() = default;

platform::PowerEvents::Token LogindPowerEvents::observe(std::function<void()> willSleep,
                                                        std::function<void()> didWake) {
  observers_.emplace(next_, std::make_pair(std::move(willSleep), std::move(didWake)));
  return next_++;
}

void LogindPowerEvents::remove(Token token) { observers_.erase(token); }

void LogindPowerEvents::takeInhibitor() {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep") << QStringLiteral("Velmora")
       << QStringLiteral("停止音频处理后再休眠") << QStringLiteral("delay");
  const QDBusReply<QDBusUnixFileDescriptor> reply = bus_.call(call, QDBus::Block, 2000);
  // No logind (or not allowed): sleep simply is not held back.
  inhibitor_ = reply.isValid() ? reply.value() : QDBusUnixFileDescriptor();
}

void LogindPowerEvents::prepareForSleep(bool sleeping) {
  const auto observers = observers_;  // an observer may remove itself
  if (sleeping) {
    for (const auto& [token, pair] : observers) pair.first();
    // Processing has stopped: let the machine sleep.
    inhibitor_ = QDBusUnixFileDescriptor();
  } else {
    for (const auto& [token, pair] : observers) pair.second();
    takeInhibitor();
  }
}

}  // namespace velmora::shell
