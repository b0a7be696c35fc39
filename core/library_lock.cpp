// The library lock: recursive for its owner and strictly first come, first
// served for everyone else. Waiters queue in arrival order, each parked on the
// event of its slot; only the oldest waiter may take a free lock while others
// wait, so a thread that arrives at the release instant cannot jump the queue.
// The lock lives as long as the process, so no waiter ever sleeps on a
// destroyed event.
#include "core/library_lock.h"

#include <cstdint>
#include <cstdio>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/sync.h"

namespace qz {
namespace {

constexpr int kWaiterSlots = 4096;
constexpr std::uint32_t kNoOwner = 0xFFFFFFFFu;

struct WaiterSlot {
  std::uint32_t threadId;
  plat::Handle event;
};

struct LibraryLock {
  plat::CriticalSection section;
  int locked = 0;
  std::uint32_t owner = kNoOwner;
  int nesting = 0;
  WaiterSlot waiters[kWaiterSlots] = {};
  int waiterCount = 0;
  int eventsMade = 0;
};

// Constant-initialised, so an enter during static start-up finds it ready.
constinit LibraryLock gLock;

// Called inside the critical section. Events are made on first use, as
// making 4096 of them at process start would cost every program that never
// takes the lock.
void MakeEventsOnce() {
  if (gLock.eventsMade != 0) return;
  for (WaiterSlot& slot : gLock.waiters) {
    slot.threadId = 0;
    slot.event = plat::CreateEventA(plat::TRUE, plat::FALSE);
  }
  gLock.eventsMade = 1;
}

// The oldest waiter takes the lock: its slot leaves the head, and its event
// goes to the vacated tail slot so every slot keeps an event.
void TakeAsFirstWaiter() {
  const int count = gLock.waiterCount;
  if (count > 1) {
    const plat::Handle kept = gLock.waiters[0].event;
    for (int i = 1; i < count; ++i) gLock.waiters[i - 1] = gLock.waiters[i];
    gLock.waiters[count - 1] = WaiterSlot{0, kept};
  } else {
    gLock.waiters[0].threadId = 0;
  }
  gLock.waiterCount = count - 1;
}

void Take(std::uint32_t thread) {
  gLock.nesting += 1;
  gLock.locked = 1;
  gLock.owner = thread;
}

}  // namespace

void EnterLibraryLock() {
  const std::uint32_t self = plat::GetCurrentThreadId();
  for (;;) {
    gLock.section.Enter();
    MakeEventsOnce();
    const int count = gLock.waiterCount;
    if (gLock.locked == 0) {
      if (count == 0 || gLock.owner == self) {
        Take(self);
        gLock.section.Leave();
        return;
      }
      if (gLock.waiters[0].threadId == self) {
        TakeAsFirstWaiter();
        Take(self);
        gLock.section.Leave();
        return;
      }
    } else if (gLock.owner == self) {
      Take(self);
      gLock.section.Leave();
      return;
    }
    if (count < kWaiterSlots) {
      gLock.waiters[count].threadId = self;
      const plat::Handle event = gLock.waiters[count].event;
      gLock.waiterCount = count + 1;
      gLock.section.Leave();
      plat::WaitForSingleObject(event, plat::INFINITE);
      plat::ResetEvent(event);
      continue;
    }
    gLock.section.Leave();
    plat::Sleep(1);
  }
}

void LeaveLibraryLock() {
  const std::uint32_t self = plat::GetCurrentThreadId();
  gLock.section.Enter();
  if (gLock.locked == 0 || gLock.owner != self || gLock.nesting <= 0) {
    gLock.section.Leave();
    char line[96];
    std::snprintf(line, sizeof(line), "LeaveLibraryLock: thread %u does not hold the lock; ignored\n", self);
    plat::OutputDebugStringA(line);
    return;
  }
  plat::Handle wake = nullptr;
  gLock.nesting -= 1;
  if (gLock.nesting == 0) {
    gLock.locked = 0;
    gLock.owner = kNoOwner;
    if (gLock.waiterCount >= 1) wake = gLock.waiters[0].event;
  }
  gLock.section.Leave();
  if (wake != nullptr) {
    plat::SetEvent(wake);
    plat::Sleep(0);
  }
}

int GetLibraryLockWaiterCount() {
  gLock.section.Enter();
  const int count = gLock.waiterCount;
  gLock.section.Leave();
  return count;
}

}  // namespace qz
