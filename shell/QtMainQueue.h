// The main queue of the tray program: tasks and timers on Qt's event loop, so the model, the
// engine's status deliveries and the shell's own delays share the thread of the windows.
//
// Threading: post() from any thread; everything else on the thread that created the queue.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"

namespace velmora::platform {
class TimerQueue;
}

namespace velmora::shell {

class QtMainQueue final : public QObject, public platform::MainQueue {
 public:
  QtMainQueue();
  ~QtMainQueue() override;

  void post(platform::Task task) override;
  platform::TimerHandle after(double seconds, platform::Task task) override;
  platform::TimerHandle every(double seconds, platform::Task task) override;
  const platform::Clock& clock() const override { return clock_; }
  bool isCurrent() const override;

 private:
  void requireOwnThread(const char* call) const;
  // Arms the one Qt timer for the earliest due timer; runs what is due.
  void arm();
  void runDue();
  std::int64_t now() const;

  platform::SteadyClock clock_;
  std::unique_ptr<platform::TimerQueue> timers_;
  QTimer wake_;
};

}  // namespace velmora::shell
