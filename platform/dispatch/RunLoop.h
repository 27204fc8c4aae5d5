// A plain run loop on the real clock, the main queue of the command-line program.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"

namespace velmora::platform {

class TimerQueue;

// Threading: the constructing thread is the loop's thread; run(), after() and every() belong to
// it (elsewhere std::logic_error). post() and stop() may come from any thread.
class RunLoop final : public MainQueue {
 public:
  RunLoop();
  ~RunLoop() override;
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  void post(Task task) override;
  TimerHandle after(double seconds, Task task) override;
  TimerHandle every(double seconds, Task task) override;
  const Clock& clock() const override;
  bool isCurrent() const override;

  // Runs posted tasks and due timers, sleeping in between, until stop(). A repeating timer that
  // fell behind (the machine slept, a task ran long) skips the runs it missed.
  void run();

  // Makes the current run() return after the task under way, or the next one return at once.
  // What is still queued stays for a later run().
  void stop();

 private:
  bool takeStopRequest();
  void requireOwnThread(const char* call) const;

  SteadyClock clock_;
  const std::thread::id owner_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> posted_;
  bool stopRequested_ = false;
  std::unique_ptr<TimerQueue> timers_;  // the loop's thread only, so outside mutex_
};

}  // namespace velmora::platform
