// Events and threads of the stand-in: reset modes, timed waits in real and
// virtual time, thread results and ids, and refused handles.
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/clock.h"

namespace {

std::uint32_t WaitThenReturn(void* argument) {
  plat::WaitForSingleObject(static_cast<plat::Handle>(argument), plat::INFINITE);
  return 42;
}

std::uint32_t ReportOwnId(void* argument) {
  *static_cast<std::uint32_t*>(argument) = plat::GetCurrentThreadId();
  return 7;
}

TEST(PlatformEvent, ManualAndAutomaticReset) {
  plat::Handle manual = plat::CreateEventA(plat::TRUE, plat::FALSE);
  ASSERT_NE(manual, nullptr);
  EXPECT_EQ(plat::WaitForSingleObject(manual, 0), plat::WAIT_TIMEOUT);
  EXPECT_TRUE(plat::SetEvent(manual));
  EXPECT_EQ(plat::WaitForSingleObject(manual, 0), plat::WAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(manual, plat::INFINITE), plat::WAIT_OBJECT_0);
  EXPECT_TRUE(plat::ResetEvent(manual));
  EXPECT_EQ(plat::WaitForSingleObject(manual, 0), plat::WAIT_TIMEOUT);

  plat::Handle automatic = plat::CreateEventA(plat::FALSE, plat::TRUE);
  EXPECT_EQ(plat::WaitForSingleObject(automatic, 0), plat::WAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(automatic, 0), plat::WAIT_TIMEOUT);
  EXPECT_FALSE(plat::SetEvent(nullptr));
  EXPECT_EQ(plat::WaitForSingleObject(plat::INVALID_HANDLE_VALUE, 0), plat::WAIT_FAILED);
  std::uint32_t code = 0;
  EXPECT_FALSE(plat::GetExitCodeThread(manual, &code));
  EXPECT_TRUE(plat::CloseHandle(manual));
  EXPECT_TRUE(plat::CloseHandle(automatic));
}

TEST(PlatformEvent, TimedWaitsInRealAndVirtualTime) {
  plat::Handle event = plat::CreateEventA(plat::TRUE, plat::FALSE);
  const std::uint32_t before = plat::timeGetTime();
  EXPECT_EQ(plat::WaitForSingleObject(event, 30), plat::WAIT_TIMEOUT);
  EXPECT_GE(plat::timeGetTime() - before, 29u);

  plat::UseVirtualTime(true);
  const std::uint32_t virtualBefore = plat::timeGetTime();
  EXPECT_EQ(plat::WaitForSingleObject(event, 60000), plat::WAIT_TIMEOUT);
  // The full minute passed on the virtual clock.
  EXPECT_GE(plat::timeGetTime() - virtualBefore, 60000u);
  plat::SetEvent(event);
  EXPECT_EQ(plat::WaitForSingleObject(event, 60000), plat::WAIT_OBJECT_0);
  plat::UseVirtualTime(false);
  plat::CloseHandle(event);
}

TEST(PlatformThread, ResultIdsAndEndSignal) {
  plat::Handle release = plat::CreateEventA(plat::TRUE, plat::FALSE);
  std::uint32_t id = 0;
  plat::Handle thread = plat::CreateThread(WaitThenReturn, release, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, plat::GetCurrentThreadId());
  EXPECT_NE(id, plat::GetProcessMainThreadId());
  std::uint32_t code = 0;
  ASSERT_TRUE(plat::GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, plat::STILL_ACTIVE);
  EXPECT_EQ(plat::WaitForSingleObject(thread, 0), plat::WAIT_TIMEOUT);
  plat::SetEvent(release);
  EXPECT_EQ(plat::WaitForSingleObject(thread, plat::INFINITE), plat::WAIT_OBJECT_0);
  // An ended thread stays signalled.
  EXPECT_EQ(plat::WaitForSingleObject(thread, 0), plat::WAIT_OBJECT_0);
  ASSERT_TRUE(plat::GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  plat::CloseHandle(thread);

  std::uint32_t seenInside = 0;
  std::uint32_t reported = 0;
  thread = plat::CreateThread(ReportOwnId, &seenInside, &reported);
  ASSERT_NE(thread, nullptr);
  plat::WaitForSingleObject(thread, plat::INFINITE);
  EXPECT_EQ(seenInside, reported);
  plat::CloseHandle(thread);
  plat::CloseHandle(release);
}

TEST(PlatformThread, FailedCreationAndEarlyClose) {
  std::uint32_t id = 0;
  plat::FailNextThreadCreation();
  EXPECT_EQ(plat::CreateThread(ReportOwnId, &id, nullptr), nullptr);
  EXPECT_EQ(plat::CreateThread(nullptr, &id, nullptr), nullptr);
  plat::Handle thread = plat::CreateThread(ReportOwnId, &id, nullptr);
  ASSERT_NE(thread, nullptr);
  plat::WaitForSingleObject(thread, plat::INFINITE);
  plat::CloseHandle(thread);

  // Closing the handle of a running thread lets it run to its end.
  static plat::Handle release = plat::CreateEventA(plat::TRUE, plat::FALSE);
  static std::atomic<int> finished{0};
  thread = plat::CreateThread(
      [](void*) -> std::uint32_t {
        plat::WaitForSingleObject(release, plat::INFINITE);
        finished.store(1);
        return 0;
      },
      nullptr, nullptr);
  ASSERT_NE(thread, nullptr);
  plat::CloseHandle(thread);
  plat::SetEvent(release);
  for (int i = 0; i < 5000 && finished.load() == 0; ++i) plat::Sleep(1);
  EXPECT_EQ(finished.load(), 1);
}

}  // namespace
