// One labelled worker thread that runs tasks one at a time, in submission order: the engine's
// queue, the Bluetooth queue.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/dispatch/MainQueue.h"

namespace velmora::platform {

// Threading: async(), sync(), isCurrent() and label() from any thread. The destructor runs on a
// thread other than the worker, after every other caller is done submitting.
class SerialQueue {
 public:
  // The worker thread takes the label as its name, cut to the system's 15 characters.
  explicit SerialQueue(std::string label);
  ~SerialQueue();  // runs what is queued (and what those tasks queue), then joins
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  // An exception escaping an async task ends the process (std::terminate).
  void async(Task task);

  // Blocks until `task` has run on the worker; an exception it throws is rethrown here. Calling
  // it from the queue's own worker would wait on itself forever: std::logic_error instead.
  void sync(Task task);

  bool isCurrent() const;
  const std::string& label() const;

 private:
  void work() noexcept;

  const std::string label_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::thread worker_;  // last, so that it starts once everything above exists
};

}  // namespace velmora::platform
