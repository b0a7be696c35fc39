// The message queue of the window stand-in: retrieval with and without
// removal, window and range filters, thread messages, the order of posted,
// quit, paint and timer messages, blocking waits woken from other threads,
// and timers on the virtual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "platform/sync.h"
#include "platform/window.h"
#include "tests/platform/window_recorder.h"

namespace {

using qz::testing::DrainMessages;
using qz::testing::RecordingClass;

TEST(WindowQueue, PeekKeepsOrRemovesAndFiltersByWindowAndRange) {
  RecordingClass windowClass;
  plat::HWND first = windowClass.Create();
  plat::HWND second = windowClass.Create();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  DrainMessages();

  ASSERT_TRUE(plat::PostMessageA(first, plat::WM_USER + 1, 11, 12));
  ASSERT_TRUE(plat::PostMessageA(second, 0x505, 21, 22));
  ASSERT_TRUE(plat::PostThreadMessageA(plat::GetCurrentThreadId(), 0x46F, 31, 32));

  plat::Message message{};
  // Without removal the same message comes back.
  ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_NOREMOVE));
  EXPECT_EQ(message.message, plat::WM_USER + 1u);
  ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_NOREMOVE));
  EXPECT_EQ(message.message, plat::WM_USER + 1u);
  EXPECT_EQ(message.wParam, 11u);
  EXPECT_EQ(message.lParam, 12);

  // One window's messages only; a thread message only through the thread filter.
  ASSERT_TRUE(plat::PeekMessageA(&message, second, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(message.window, second);
  EXPECT_EQ(message.message, 0x505u);
  EXPECT_FALSE(plat::PeekMessageA(&message, second, 0, 0, plat::PM_REMOVE));
  ASSERT_TRUE(plat::PeekMessageA(&message, plat::kThreadMessagesOnly, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(message.window, nullptr);
  EXPECT_EQ(message.message, 0x46Fu);
  EXPECT_FALSE(plat::PeekMessageA(&message, plat::kThreadMessagesOnly, 0, 0, plat::PM_REMOVE));

  // A range that excludes the remaining message finds nothing.
  EXPECT_FALSE(plat::PeekMessageA(&message, nullptr, plat::WM_KEYDOWN, plat::WM_CHAR, plat::PM_REMOVE));
  ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, plat::WM_USER, plat::WM_USER + 5, plat::PM_REMOVE));
  EXPECT_EQ(message.window, first);
  EXPECT_FALSE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));

  // Nothing can be posted to a destroyed window, and its queued messages go with it.
  ASSERT_TRUE(plat::PostMessageA(first, plat::WM_USER + 2, 0, 0));
  ASSERT_TRUE(plat::DestroyWindow(first));
  EXPECT_FALSE(plat::PostMessageA(first, plat::WM_USER + 3, 0, 0));
  EXPECT_FALSE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));
}

TEST(WindowQueue, PostedComeBeforeQuitWhichComesBeforePaintAndTimers) {
  plat::UseVirtualTime(true);
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();

  ASSERT_TRUE(plat::InvalidateRect(window, nullptr));
  ASSERT_EQ(plat::SetTimer(window, 7, 10, nullptr), 7u);
  plat::Sleep(20);
  plat::PostQuitMessage(3);
  ASSERT_TRUE(plat::PostMessageA(window, plat::MM_MCINOTIFY, 1, 2));

  plat::Message message{};
  ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(message.message, plat::MM_MCINOTIFY);
  // WM_QUIT is seen whatever the range.
  ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, plat::WM_USER, plat::WM_USER, plat::PM_REMOVE));
  EXPECT_EQ(message.message, plat::WM_QUIT);
  EXPECT_EQ(message.wParam, 3u);

  // WM_PAINT stays until the window is validated, and comes before the timer.
  ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(message.message, plat::WM_PAINT);
  ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(message.message, plat::WM_PAINT);
  plat::PaintInfo paint{};
  ASSERT_TRUE(plat::BeginPaint(window, &paint));
  EXPECT_EQ(paint.paintRect.right, 640);
  EXPECT_EQ(paint.paintRect.bottom, 480);
  plat::EndPaint(window, &paint);

  ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(message.message, plat::WM_TIMER);
  EXPECT_EQ(message.wParam, 7u);
  // Taken, the timer waits for its next interval.
  EXPECT_FALSE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));
  EXPECT_TRUE(plat::KillTimer(window, 7));
  EXPECT_FALSE(plat::KillTimer(window, 7));
  plat::UseVirtualTime(false);
}

std::atomic<int> gTimerCalls{0};
void CountTimer(plat::HWND, std::uint32_t message, std::uintptr_t, std::uint32_t) {
  if (message == plat::WM_TIMER) ++gTimerCalls;
}

TEST(WindowQueue, GetMessageWaitsForTimersOnTheVirtualClockAndCallsCallbacks) {
  plat::UseVirtualTime(true);
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();
  gTimerCalls = 0;

  const std::uintptr_t id = plat::SetTimer(nullptr, 0, 1000, CountTimer);
  ASSERT_NE(id, 0u);
  const std::uint32_t start = plat::timeGetTime();
  plat::Message message{};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(plat::GetMessageA(&message, nullptr, 0, 0), plat::TRUE);
    ASSERT_EQ(message.message, plat::WM_TIMER);
    plat::DispatchMessageA(&message);
  }
  EXPECT_EQ(gTimerCalls.load(), 3);
  // Three one-second intervals went by on the virtual clock, not many more.
  const std::uint32_t elapsed = plat::timeGetTime() - start;
  EXPECT_GE(elapsed, 3000u);
  EXPECT_LT(elapsed, 3100u);
  EXPECT_TRUE(plat::KillTimer(nullptr, id));
  // Messages of the recording window did not reach its procedure.
  for (const auto& recorded : qz::testing::Recorded()) EXPECT_NE(recorded.message, plat::WM_TIMER);
  plat::UseVirtualTime(false);
}

TEST(WindowQueue, PostFromAnotherThreadWakesGetMessageAndQuitEndsIt) {
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();

  std::atomic<bool> waiting{false};
  std::thread poster([&] {
    while (!waiting.load()) std::this_thread::yield();
    plat::Sleep(20);
    plat::PostMessageA(window, plat::WM_USER + 9, 1, 0);
    plat::PostThreadMessageA(plat::GetProcessMainThreadId(), plat::WM_QUIT, 5, 0);
  });
  plat::Message message{};
  waiting = true;
  ASSERT_EQ(plat::GetMessageA(&message, nullptr, 0, 0), plat::TRUE);
  EXPECT_EQ(message.message, plat::WM_USER + 9u);
  EXPECT_EQ(message.window, window);
  EXPECT_EQ(plat::GetMessageA(&message, nullptr, 0, 0), plat::FALSE);
  EXPECT_EQ(message.wParam, 5u);
  poster.join();
}

TEST(WindowQueue, WorkerThreadQueueAndRefusedTargets) {
  std::atomic<std::uint32_t> workerId{0};
  std::atomic<std::uint32_t> received{0};
  std::thread worker([&] {
    plat::Message message{};
    // The first look makes the thread's queue, as on the system.
    plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_NOREMOVE);
    workerId = plat::GetCurrentThreadId();
    while (plat::GetMessageA(&message, nullptr, 0, 0) == plat::TRUE) received = static_cast<std::uint32_t>(message.wParam);
  });
  while (workerId.load() == 0) std::this_thread::yield();
  EXPECT_TRUE(plat::PostThreadMessageA(workerId, plat::WM_USER, 77, 0));
  EXPECT_TRUE(plat::PostThreadMessageA(workerId, plat::WM_QUIT, 0, 0));
  worker.join();
  EXPECT_EQ(received.load(), 77u);

  // No queue, no post; bad windows are refused.
  EXPECT_FALSE(plat::PostThreadMessageA(0, plat::WM_USER, 0, 0));
  EXPECT_FALSE(plat::PostThreadMessageA(0x7FFFFFF0u, plat::WM_USER, 0, 0));
  int notAWindow = 0;
  plat::HWND bogus = reinterpret_cast<plat::HWND>(&notAWindow);
  EXPECT_FALSE(plat::PostMessageA(bogus, plat::WM_USER, 0, 0));
  plat::Message message{};
  EXPECT_FALSE(plat::PeekMessageA(&message, bogus, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(plat::SendMessageA(bogus, plat::WM_USER, 0, 0), 0);
  EXPECT_FALSE(plat::PeekMessageA(nullptr, nullptr, 0, 0, plat::PM_REMOVE));
}

}  // namespace
