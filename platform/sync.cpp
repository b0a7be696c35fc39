// Events and threads of the stand-in over std::mutex, std::condition_variable
// and std::thread. A thread's end state lives in a shared block so a detached
// thread can still record its result after its handle is closed.
#include "platform/sync.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <thread>
#include <system_error>

#include "platform/clock.h"
#include "platform/clock_internal.h"

namespace plat {
namespace {

// What a wait needs from an object: a lock, a wake-up and a signalled test.
struct Waitable {
  std::mutex mutex;
  std::condition_variable changed;
};

class Event final : public KernelObject {
 public:
  Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

  void Set() {
    {
      std::lock_guard<std::mutex> lock(state_.mutex);
      signalled_ = true;
    }
    state_.changed.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(state_.mutex);
    signalled_ = false;
  }
  Waitable& state() { return state_; }
  // Called with the lock held: an auto-reset event releases one waiter.
  bool TryConsume() {
    if (!signalled_) return false;
    if (!manualReset_) signalled_ = false;
    return true;
  }

 private:
  Waitable state_;
  const bool manualReset_;
  bool signalled_;
};

struct ThreadState {
  Waitable waitable;
  bool started = false;
  bool ended = false;
  std::uint32_t threadId = 0;
  std::uint32_t exitCode = STILL_ACTIVE;
};

class Thread final : public KernelObject {
 public:
  Thread(std::shared_ptr<ThreadState> state, std::thread thread) : state_(std::move(state)), thread_(std::move(thread)) {}
  ~Thread() override {
    bool ended = false;
    {
      std::lock_guard<std::mutex> lock(state_->waitable.mutex);
      ended = state_->ended;
    }
    if (ended && thread_.get_id() != std::this_thread::get_id()) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }
  ThreadState& state() { return *state_; }

 private:
  std::shared_ptr<ThreadState> state_;
  std::thread thread_;
};

std::atomic<bool> gFailNextThread{false};

constexpr std::uint32_t kVirtualWaitRealCapMs = 20;

// Waits until tryAcquire() (called with the lock held) succeeds.
template <typename TryAcquire>
std::uint32_t WaitOn(Waitable& waitable, std::uint32_t milliseconds, TryAcquire tryAcquire) {
  std::unique_lock<std::mutex> lock(waitable.mutex);
  if (tryAcquire()) return WAIT_OBJECT_0;
  if (milliseconds == 0) return WAIT_TIMEOUT;
  if (milliseconds == INFINITE) {
    waitable.changed.wait(lock, tryAcquire);
    return WAIT_OBJECT_0;
  }
  if (!IsVirtualTime()) {
    return waitable.changed.wait_for(lock, std::chrono::milliseconds(milliseconds), tryAcquire) ? WAIT_OBJECT_0
                                                                                                : WAIT_TIMEOUT;
  }
  // Virtual time: the wait ends at the virtual deadline (another thread may
  // move time on) or, when nothing moves it, after a short real grace, and
  // then the clock jumps to the deadline as though the full timeout passed.
  const std::uint64_t deadline = PeekElapsedNanos() + static_cast<std::uint64_t>(milliseconds) * 1000000u;
  const auto realEnd = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(std::min(milliseconds, kVirtualWaitRealCapMs));
  while (std::chrono::steady_clock::now() < realEnd && PeekElapsedNanos() < deadline) {
    if (waitable.changed.wait_for(lock, std::chrono::milliseconds(1), tryAcquire)) return WAIT_OBJECT_0;
  }
  if (tryAcquire()) return WAIT_OBJECT_0;
  const std::uint64_t now = PeekElapsedNanos();
  if (now < deadline) AdvanceVirtualTime(deadline - now);
  return WAIT_TIMEOUT;
}

// Forks seen by this process: a forked child has new ids, so the ids kept
// below are asked for again after one.
std::atomic<std::uint32_t> gForks{0};

std::uint32_t ForkCount() {
  static const bool counting = pthread_atfork(nullptr, nullptr, [] { gForks.fetch_add(1); }) == 0;
  (void)counting;
  return gForks.load(std::memory_order_relaxed);
}

// Each id costs a system call, and the message queue asks on every post and
// peek: each thread keeps its own.
std::uint32_t CurrentThreadIdRaw() {
  thread_local std::uint32_t id = 0;
  thread_local std::uint32_t idForks = ~0u;
  const std::uint32_t forks = ForkCount();
  if (idForks != forks) {
    id = static_cast<std::uint32_t>(::syscall(SYS_gettid));
    idForks = forks;
  }
  return id;
}

}  // namespace

Handle CreateEventA(BOOL manualReset, BOOL initialState) {
  return ToHandle(new Event(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(Handle event) {
  Event* object = FromHandle<Event>(event);
  if (object == nullptr) return FALSE;
  object->Set();
  return TRUE;
}

BOOL ResetEvent(Handle event) {
  Event* object = FromHandle<Event>(event);
  if (object == nullptr) return FALSE;
  object->Reset();
  return TRUE;
}

std::uint32_t WaitForSingleObject(Handle object, std::uint32_t milliseconds) {
  if (Event* event = FromHandle<Event>(object)) {
    return WaitOn(event->state(), milliseconds, [event] { return event->TryConsume(); });
  }
  if (Thread* thread = FromHandle<Thread>(object)) {
    ThreadState& state = thread->state();
    return WaitOn(state.waitable, milliseconds, [&state] { return state.ended; });
  }
  return WAIT_FAILED;
}

Handle CreateThread(ThreadProc proc, void* argument, std::uint32_t* threadId) {
  if (proc == nullptr) return nullptr;
  if (gFailNextThread.exchange(false, std::memory_order_acq_rel)) return nullptr;
  auto state = std::make_shared<ThreadState>();
  std::thread thread;
  try {
    thread = std::thread([state, proc, argument] {
      {
        std::lock_guard<std::mutex> lock(state->waitable.mutex);
        state->threadId = CurrentThreadIdRaw();
        state->started = true;
      }
      state->waitable.changed.notify_all();
      const std::uint32_t result = proc(argument);
      {
        std::lock_guard<std::mutex> lock(state->waitable.mutex);
        state->exitCode = result;
        state->ended = true;
      }
      state->waitable.changed.notify_all();
    });
  } catch (const std::system_error&) {
    return nullptr;
  }
  {
    std::unique_lock<std::mutex> lock(state->waitable.mutex);
    state->waitable.changed.wait(lock, [&state] { return state->started; });
    if (threadId != nullptr) *threadId = state->threadId;
  }
  return ToHandle(new Thread(state, std::move(thread)));
}

BOOL GetExitCodeThread(Handle thread, std::uint32_t* exitCode) {
  Thread* object = FromHandle<Thread>(thread);
  if (object == nullptr || exitCode == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(object->state().waitable.mutex);
  *exitCode = object->state().exitCode;
  return TRUE;
}

std::uint32_t GetCurrentThreadId() { return CurrentThreadIdRaw(); }

// On Linux the first thread's id is the process id.
std::uint32_t GetProcessMainThreadId() {
  static std::atomic<std::uint64_t> known{0};  // fork count << 32 | pid, 0 before the first ask
  const std::uint64_t forks = ForkCount();
  const std::uint64_t seen = known.load(std::memory_order_relaxed);
  if (seen != 0 && seen >> 32 == forks) return static_cast<std::uint32_t>(seen);
  const auto pid = static_cast<std::uint32_t>(::getpid());
  known.store(forks << 32 | pid, std::memory_order_relaxed);
  return pid;
}

void FailNextThreadCreation() { gFailNextThread.store(true, std::memory_order_release); }

}  // namespace plat
