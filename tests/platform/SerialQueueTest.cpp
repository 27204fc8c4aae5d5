// The serial queue: submission order across threads, sync's guarantees, the misuse it catches,
// and a clean shutdown. Waiting is done with sync, never with sleeps.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/SerialQueue.h"

namespace {

using velmora::platform::SerialQueue;

TEST(SerialQueue, ConcurrentSubmittersEachKeepTheirOrderAndEverythingRunsOnTheWorker) {
  SerialQueue queue("test.order");
  constexpr int kSubmitters = 4;
  constexpr int kTasksEach = 500;
  std::vector<std::vector<int>> seen(kSubmitters);  // touched on the worker only
  int overlapping = 0;
  bool running = false;
  int offTheWorker = 0;
  std::vector<std::thread> submitters;
  for (int submitter = 0; submitter < kSubmitters; ++submitter) {
    submitters.emplace_back([&, submitter] {
      for (int i = 0; i < kTasksEach; ++i) {
        queue.async([&, submitter, i] {
          if (running) ++overlapping;
          running = true;
          if (!queue.isCurrent()) ++offTheWorker;
          seen[submitter].push_back(i);
          running = false;
        });
      }
    });
  }
  for (auto& submitter : submitters) submitter.join();
  queue.sync([] {});
  EXPECT_FALSE(queue.isCurrent());
  EXPECT_EQ(overlapping, 0);
  EXPECT_EQ(offTheWorker, 0);
  for (const auto& values : seen) {
    ASSERT_EQ(values.size(), static_cast<std::size_t>(kTasksEach));
    for (int i = 0; i < kTasksEach; ++i) EXPECT_EQ(values[i], i);
  }
}

TEST(SerialQueue, SyncReturnsAfterItsTaskAndEverythingBeforeItRan) {
  SerialQueue queue("test.sync");
  int counter = 0;  // plain on purpose: the sanitizer checks that sync orders the accesses
  for (int i = 0; i < 100; ++i) queue.async([&] { ++counter; });
  int seenBySync = -1;
  queue.sync([&] {
    seenBySync = counter;
    counter += 1000;
  });
  EXPECT_EQ(seenBySync, 100);
  EXPECT_EQ(counter, 1100);
}

TEST(SerialQueue, SyncRethrowsWhatItsTaskThrowsAndTheQueueCarriesOn) {
  SerialQueue queue("test.throw");
  EXPECT_THROW(queue.sync([] { throw std::runtime_error("engine step failed"); }),
               std::runtime_error);
  bool ran = false;
  queue.sync([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(SerialQueue, SyncFromInsideTheQueueIsCaughtNotADeadlock) {
  SerialQueue queue("test.reentry");
  std::string message;
  bool innerRan = false;
  queue.async([&] {
    try {
      queue.sync([&] { innerRan = true; });
    } catch (const std::logic_error& error) {
      message = error.what();
    }
  });
  queue.sync([] {});
  EXPECT_FALSE(innerRan);
  EXPECT_NE(message.find("test.reentry"), std::string::npos) << message;

  EXPECT_THROW(queue.sync([&] { queue.sync([] {}); }), std::logic_error)
      << "a nested sync reaches the outer caller";
}

TEST(SerialQueue, SyncFromAnotherQueueIsFine) {
  SerialQueue engine("test.engine");
  SerialQueue other("test.other");
  bool ranOnEngine = false;
  other.sync([&] { engine.sync([&] { ranOnEngine = engine.isCurrent(); }); });
  EXPECT_TRUE(ranOnEngine);
}

TEST(SerialQueue, TheDestructorRunsEverythingQueuedIncludingWhatTasksQueue) {
  std::atomic<bool> release{false};
  int ran = 0;
  {
    SerialQueue queue("test.drain");
    // Holds the worker, so that most tasks behind it are still queued when destruction begins.
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

TEST(SerialQueue, TheWorkerThreadIsNamedAfterTheLabel) {
  SerialQueue queue("com.local.Ombrel.engine");
  EXPECT_EQ(queue.label(), "com.local.Ombrel.engine");
  char name[16] = {};
  queue.sync([&] { pthread_getname_np(pthread_self(), name, sizeof name); });
  EXPECT_STREQ(name, "com.local.Ombre");
}

}  // namespace
