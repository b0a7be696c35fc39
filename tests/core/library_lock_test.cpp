// The library lock: recursion, strict arrival order, no queue jumping at the
// release instant, a lone waiter leaving the queue empty, ignored unmatched
// leaves and mutual exclusion under load.
#include "core/library_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/sync.h"

namespace {

// Waits (polling) until the given number of threads queue for the lock.
bool WaitForWaiters(int count) {
  for (int i = 0; i < 10000; ++i) {
    if (qz::GetLibraryLockWaiterCount() == count) return true;
    plat::Sleep(1);
  }
  return false;
}

class AcquisitionLog {
 public:
  void Add(char who) {
    std::lock_guard<std::mutex> lock(mutex_);
    order_ += who;
  }
  std::string Order() {
    std::lock_guard<std::mutex> lock(mutex_);
    return order_;
  }

 private:
  std::mutex mutex_;
  std::string order_;
};

std::thread EnterLogLeave(AcquisitionLog& log, char who) {
  return std::thread([&log, who] {
    qz::EnterLibraryLock();
    log.Add(who);
    qz::LeaveLibraryLock();
  });
}

TEST(LibraryLock, OwnerReentersAndReleasesAfterMatchingLeaves) {
  qz::EnterLibraryLock();
  qz::EnterLibraryLock();
  qz::EnterLibraryLock();
  std::atomic<int> acquired{0};
  std::thread other([&acquired] {
    qz::EnterLibraryLock();
    acquired.store(1);
    qz::LeaveLibraryLock();
  });
  ASSERT_TRUE(WaitForWaiters(1));
  qz::LeaveLibraryLock();
  qz::LeaveLibraryLock();
  plat::Sleep(20);
  EXPECT_EQ(acquired.load(), 0);
  EXPECT_EQ(qz::GetLibraryLockWaiterCount(), 1);
  qz::LeaveLibraryLock();
  other.join();
  EXPECT_EQ(acquired.load(), 1);
  EXPECT_EQ(qz::GetLibraryLockWaiterCount(), 0);
}

TEST(LibraryLock, WaitersAcquireInArrivalOrder) {
  AcquisitionLog log;
  qz::EnterLibraryLock();
  std::vector<std::thread> threads;
  const char names[] = "ABCDE";
  for (int i = 0; i < 5; ++i) {
    threads.push_back(EnterLogLeave(log, names[i]));
    ASSERT_TRUE(WaitForWaiters(i + 1));
  }
  qz::LeaveLibraryLock();
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(log.Order(), "ABCDE");
  // Every waiter left the queue, the last one too, so a newcomer takes the
  // free lock at once instead of queueing behind a thread long gone.
  EXPECT_EQ(qz::GetLibraryLockWaiterCount(), 0);
  std::thread late = EnterLogLeave(log, 'F');
  late.join();
  EXPECT_EQ(log.Order(), "ABCDEF");
}

TEST(LibraryLock, ArrivalAtTheReleaseInstantQueuesBehindWaiters) {
  for (int round = 0; round < 20; ++round) {
    AcquisitionLog log;
    qz::EnterLibraryLock();
    std::thread b = EnterLogLeave(log, 'B');
    ASSERT_TRUE(WaitForWaiters(1));
    std::thread c = EnterLogLeave(log, 'C');
    ASSERT_TRUE(WaitForWaiters(2));
    // A fourth thread is let go at the very moment the lock is released;
    // the lock is free for an instant, but B and C were there first.
    std::atomic<bool> go{false};
    std::thread d([&] {
      while (!go.load()) {
      }
      qz::EnterLibraryLock();
      log.Add('D');
      qz::LeaveLibraryLock();
    });
    go.store(true);
    qz::LeaveLibraryLock();
    // The releasing thread itself comes straight back, too.
    qz::EnterLibraryLock();
    log.Add('M');
    qz::LeaveLibraryLock();
    b.join();
    c.join();
    d.join();
    const std::string order = log.Order();
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order.substr(0, 2), "BC") << "round " << round << ": " << order;
  }
}

TEST(LibraryLock, UnmatchedLeaveIsIgnored) {
  plat::StartDebugCapture();
  qz::LeaveLibraryLock();
  EXPECT_NE(plat::TakeDebugCapture().find("does not hold the lock"), std::string::npos);

  // A stranger's leave does not release the owner's hold.
  AcquisitionLog log;
  qz::EnterLibraryLock();
  std::thread stranger([] { qz::LeaveLibraryLock(); });
  stranger.join();
  std::thread waiter = EnterLogLeave(log, 'W');
  ASSERT_TRUE(WaitForWaiters(1));
  plat::Sleep(20);
  EXPECT_EQ(log.Order(), "");
  qz::LeaveLibraryLock();
  waiter.join();
  EXPECT_EQ(log.Order(), "W");
  // An extra leave by the former owner changes nothing either.
  qz::LeaveLibraryLock();
  qz::EnterLibraryLock();
  qz::LeaveLibraryLock();
}

TEST(LibraryLock, MutualExclusionUnderLoad) {
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&counter] {
      for (int i = 0; i < 300; ++i) {
        qz::EnterLibraryLock();
        qz::EnterLibraryLock();
        const long seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
        qz::LeaveLibraryLock();
        qz::LeaveLibraryLock();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, 6 * 300);
  EXPECT_EQ(qz::GetLibraryLockWaiterCount(), 0);
}

}  // namespace
