#include "platform/dispatch/SerialQueue.h"

#include <pthread.h>

#include <exception>
#include <stdexcept>

namespace velmora::platform {

SerialQueue::SerialQueue(std::string label)
    : label_(std::move(label)), worker_([this] { work(); }) {}

SerialQueue::~SerialQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  worker_.join();
}

void SerialQueue::async(Task task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void SerialQueue::sync(Task task) {
  if (isCurrent()) {
    throw std::logic_error("SerialQueue \"" + label_ +
                           "\": sync() called from one of its own tasks would wait on itself");
  }
  struct Completion {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr error;
  } completion;
  async([&task, &completion] {
    std::exception_ptr error;
    try {
      task();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(completion.mutex);
    completion.done = true;
    // Moved, not copied: the caller must hold the only reference once it wakes, or this thread
    // could release the exception while the caller still reads it.
    completion.error = std::move(error);
    // Under the lock: the caller may destroy `completion` as soon as it sees `done`.
    completion.finished.notify_one();
  });
  std::unique_lock lock(completion.mutex);
  completion.finished.wait(lock, [&completion] { return completion.done; });
  if (completion.error) std::rethrow_exception(completion.error);
}

bool SerialQueue::isCurrent() const { return std::this_thread::get_id() == worker_.get_id(); }

const std::string& SerialQueue::label() const { return label_; }

// noexcept: an exception escaping an async task ends the process rather than vanishing.
void SerialQueue::work() noexcept {
  pthread_setname_np(pthread_self(), label_.substr(0, 15).c_str());
  for (;;) {
    Task task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;  // stopping, and everything queued has run
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace velmora::platform
