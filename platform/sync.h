// Critical sections, events and threads over the C++ standard library.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/kernel_object.h"

namespace plat {

// A recursive lock that is ready as soon as it exists (static storage needs
// no lazy set-up, so there is no race on first use).
class CriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

// Holds a critical section for the life of a scope.
class CriticalSectionScope {
 public:
  explicit CriticalSectionScope(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~CriticalSectionScope() { section_.Leave(); }
  CriticalSectionScope(const CriticalSectionScope&) = delete;
  CriticalSectionScope& operator=(const CriticalSectionScope&) = delete;

 private:
  CriticalSection& section_;
};

inline constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;
inline constexpr std::uint32_t WAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t WAIT_TIMEOUT = 258;
inline constexpr std::uint32_t WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr std::uint32_t STILL_ACTIVE = 259;

// Returns null on failure.
Handle CreateEventA(BOOL manualReset, BOOL initialState);
BOOL SetEvent(Handle event);
BOOL ResetEvent(Handle event);
// Events and threads (a thread is signalled once it has ended). A timeout of
// 0 tests without waiting. Timed waits follow the stand-in clock.
std::uint32_t WaitForSingleObject(Handle object, std::uint32_t milliseconds);

using ThreadProc = std::uint32_t (*)(void* argument);
// Starts the thread at once. Returns null on failure (or when thread creation
// is failed on purpose by a test, see FailNextThreadCreation).
Handle CreateThread(ThreadProc proc, void* argument, std::uint32_t* threadId);
// STILL_ACTIVE while the thread runs, then its result.
BOOL GetExitCodeThread(Handle thread, std::uint32_t* exitCode);
// Closing a thread handle joins a thread that has ended and detaches one that
// still runs.

std::uint32_t GetCurrentThreadId();
// The id of the thread the process started on.
std::uint32_t GetProcessMainThreadId();

// Test hook: the next CreateThread fails.
void FailNextThreadCreation();

}  // namespace plat
