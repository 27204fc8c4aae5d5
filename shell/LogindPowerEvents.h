// Sleep and wake from logind: PrepareForSleep(true/false) on the system bus. A "delay" inhibitor
// holds the sleep back until the observers have run (the model stops processing synchronously),
// and is taken again on wake. Without logind nothing is announced.
//
// Threading: the main thread.
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <functional>
#include <map>

#include "platform/power/PowerEvents.h"

namespace velmora::shell {

class LogindPowerEvents final : public QObject, public platform::PowerEvents {
  Q_OBJECT
 public:
  explicit LogindPowerEvents(QDBusConnection bus);
  ~LogindPowerEvents() override;

  Token observe(std::function<void()> willSleep, std::function<void()> didWake) override;
  void remove(Token token) override;

  bool holdsInhibitor() const { return inhibitor_.isValid(); }

 private slots:
  void prepareForSleep(bool sleeping);

 private:
  void takeInhibitor();

  QDBusConnection bus_;
  QDBusUnixFileDescriptor inhibitor_;
  std::map<Token, std::pair<std::function<void()>, std::function<void()>>> observers_;
  Token next_ = 1;
};

}  // namespace velmora::shell
