// The serial queue: submission order across threads, sync's guarantees, the misuse it catches,
// and a clean shutdown. Waiting is done with sync, never with sleeps.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/dispatch/SerialQueue.h"

namespace {

using velmora::platform::SerialQueue;

TEST(SerialQueue, RunsTasksOneAtATimeInEachSubmittersOrderAndRefusesSyncFromItself) {
  SerialQueue queue("test.serial.order");
  std::vector<int> next(4, 0);  // per submitter: the index of the task that must run next
  bool running = false;         // these are touched on the worker only
  int misplaced = 0;            // out of order, overlapping another task, or off the worker
  std::vector<std::thread> submitters;
  submitters.reserve(next.size());
  for (int& expected : next) {
    submitters.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        queue.async([&, i] {
          misplaced += std::exchange(running, true) || !queue.isCurrent() || expected++ != i;
          running = false;
        });
      }
    });
  }
  for (auto& submitter : submitters) submitter.join();
  queue.sync([] {});  // the plain variables are safe to read now: the sanitizer checks it
  EXPECT_EQ(misplaced, 0);
  EXPECT_EQ(next, std::vector<int>(4, 500)) << "sync returned before earlier tasks ran";
  char name[16] = {};
  queue.sync([&] { pthread_getname_np(pthread_self(), name, sizeof name); });
  EXPECT_STREQ(name, "test.serial.ord") << "the worker is named after the label, cut to fit";

  std::string message;  // the inner sync's refusal, rethrown by the outer one
  bool innerRan = false;
  try {
    queue.sync([&] { queue.sync([&] { innerRan = true; }); });
  } catch (const std::logic_error& error) {
    message = error.what();
  }
  EXPECT_FALSE(innerRan);
  EXPECT_NE(message.find("test.serial.order"), std::string::npos) << message;
  SerialQueue other("test.other");
  bool ranFromOther = false;
  other.sync([&] { queue.sync([&] { ranFromOther = queue.isCurrent(); }); });
  EXPECT_TRUE(ranFromOther) << "sync from another queue is fine, and the queue carried on";
}

TEST(SerialQueue, TheDestructorRunsEverythingQueuedIncludingWhatTasksQueue) {
  std::atomic<bool> release{false};
  int ran = 0;
  {
    SerialQueue queue("test.drain");
    // Holds the worker, so that the tasks behind it are still queued when destruction begins.
    queue.async([&] {
      while (!release.load()) {
      }
    });
    for (int i = 0; i < 100; ++i) queue.async([&] { ++ran; });
    queue.async([&] { queue.async([&] { ++ran; }); });
    release.store(true);
  }
  EXPECT_EQ(ran, 101);
}

}  // namespace
