// The message pump over the headless backend: how many messages a call takes,
// the end request, holding while minimised, the key-input guard, and the order
// of queued activations and per-frame services.
#include "core/message_pump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/call_trace.h"
#include "core/clock.h"
#include "core/system_info.h"
#include "core/window_state.h"
#include "platform/clock.h"
#include "platform/sync.h"
#include "platform/window.h"

namespace {

constexpr std::uint32_t kCounted = plat::WM_USER + 1;
constexpr std::uint32_t kPostFollower = plat::WM_USER + 2;
constexpr std::uint32_t kPumpAgain = plat::WM_USER + 3;

// What the window procedure and the activation callback saw, in order.
std::vector<std::string> gEvents;

plat::LRESULT CountingProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (message == kCounted) gEvents.push_back("message");
  if (message == kPostFollower) {
    gEvents.push_back("message");
    plat::PostMessageA(window, kCounted, 0, 0);
  }
  if (message == kPumpAgain) {
    qz::PumpWindowMessages();
    gEvents.push_back(qz::GetWindowSystemState().pumpBusy ? "still busy" : "not busy");
  }
  if (message == plat::WM_SIZE) qz::GetWindowSystemState().minimised = wParam == plat::SIZE_MINIMIZED ? 1 : 0;
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

void RecordActivation(int active, void*) { gEvents.push_back(active ? "activated" : "deactivated"); }

class PumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    className_ = "PumpTest" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const plat::WindowClass windowClass{plat::CS_HREDRAW | plat::CS_VREDRAW, CountingProc, 0, className_.c_str()};
    ASSERT_NE(plat::RegisterClassExA(&windowClass), 0);
    window_ = plat::CreateWindowExA(0, className_.c_str(), "pump", plat::WS_POPUP, 0, 0, 640, 480, nullptr);
    ASSERT_NE(window_, nullptr);
    plat::Message drained{};
    while (plat::PeekMessageA(&drained, nullptr, 0, 0, plat::PM_REMOVE)) {
    }
    qz::WindowSystemState& state = qz::GetWindowSystemState();
    state = qz::WindowSystemState{};
    state.mainWindow = window_;
    state.windowThreadId = plat::GetCurrentThreadId();
    state.active = 1;
    state.settings.windowMode = 1;
    state.settings.menuAutoShowOff = 1;
    gEvents.clear();
    qz::SetCallTraceEnabled(true);
  }
  void TearDown() override {
    qz::SetCallTraceEnabled(false);
    qz::GetWindowSystemState() = qz::WindowSystemState{};
    plat::DestroyWindow(window_);
    plat::UnregisterClassA(className_.c_str());
    plat::UseVirtualTime(false);
  }
  void Post(std::uint32_t message, int count) {
    for (int i = 0; i < count; ++i) plat::PostMessageA(window_, message, 0, 0);
  }
  static long Dispatched() { return std::count(gEvents.begin(), gEvents.end(), "message"); }

  std::string className_;
  plat::HWND window_ = nullptr;
};

TEST_F(PumpTest, APassTakesAtMostFiveMessages) {
  Post(kCounted, 12);
  for (long expected : {5, 10, 12}) {
    EXPECT_EQ(qz::PumpWindowMessages(), 0);
    EXPECT_EQ(Dispatched(), expected);
  }

  // A pass that ran dry is followed by another one, which sees what the
  // dispatched messages posted; a full pass ends the call.
  gEvents.clear();
  Post(kCounted, 2);
  Post(kPostFollower, 1);
  EXPECT_EQ(qz::PumpWindowMessages(), 0);
  EXPECT_EQ(Dispatched(), 4);

  gEvents.clear();
  Post(kCounted, 4);
  Post(kPostFollower, 1);
  EXPECT_EQ(qz::PumpWindowMessages(), 0);
  EXPECT_EQ(Dispatched(), 5);
  EXPECT_EQ(qz::PumpWindowMessages(), 0);
  EXPECT_EQ(Dispatched(), 6);
}

TEST_F(PumpTest, QuitEndsThisAndEveryLaterCall) {
  plat::PostQuitMessage(0);
  EXPECT_EQ(qz::PumpWindowMessages(), -1);
  EXPECT_EQ(qz::GetWindowSystemState().endRequest, 1);
  // Once ending, messages are no longer dispatched.
  Post(kCounted, 2);
  EXPECT_EQ(qz::PumpWindowMessages(), -1);
  EXPECT_EQ(qz::PumpWindowMessages(), -1);
  EXPECT_EQ(Dispatched(), 0);
  EXPECT_EQ(qz::GetWindowSystemState().pumpBusy, 0);
}

TEST_F(PumpTest, NestedCallLeavesTheOuterCallBusy) {
  Post(kPumpAgain, 1);
  EXPECT_EQ(qz::PumpWindowMessages(), 0);
  EXPECT_EQ(gEvents, std::vector<std::string>{"still busy"});
  EXPECT_EQ(qz::GetWindowSystemState().pumpBusy, 0);
}

TEST_F(PumpTest, KeyInputGuardReturnsAtOnce) {
  qz::GetWindowSystemState().keyInputGuard = 1;
  Post(kCounted, 3);
  EXPECT_EQ(qz::PumpWindowMessages(), 0);
  EXPECT_EQ(Dispatched(), 0);
  EXPECT_TRUE(qz::TakeCallTrace().empty());
}

TEST_F(PumpTest, QueuedActivationsRunAfterTheMessagesThenTheServicesInOrder) {
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  state.settings.activationCallback = RecordActivation;
  // Two entries that wrap around the end of the ring.
  state.activationRead = qz::kActivationQueueSize - 1;
  state.activationQueue[qz::kActivationQueueSize - 1] = plat::WA_INACTIVE;
  state.activationQueue[0] = plat::WA_ACTIVE;
  state.activationWrite = 1;
  state.activationCount = 2;
  Post(kCounted, 2);

  EXPECT_EQ(qz::PumpWindowMessages(), 0);
  EXPECT_EQ(gEvents, (std::vector<std::string>{"message", "message", "deactivated", "activated"}));
  EXPECT_EQ(state.activationCount, 0);
  EXPECT_EQ(state.activationRead, 1);
  EXPECT_EQ(state.active, 1);

  std::vector<std::string> services{"ProcessAllStreamSounds",   "RefillAllSoftSoundPlayers",
                                          "UpdateMusicPlayStates",    "UpdateKeyboardState",
                                          "UpdatePadVibrationTimers", "PumpNetworkMessages",
                                          "UpdateActiveKeyInput"};
  std::vector<std::string> seen = qz::TakeCallTrace();
  std::erase_if(seen, [&](const std::string& call) {
    return std::find(services.begin(), services.end(), call) == services.end();
  });
  // With one processor (the count before the system report) the pump feeds
  // the stream sounds itself.
  if (qz::GetProcessorCount() > 1) services.erase(services.begin(), services.begin() + 2);
  EXPECT_EQ(seen, services);
}

TEST_F(PumpTest, CursorIsClippedOnceInsideTheHalfOpenClientArea) {
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  state.settings.clipCursor = 1;
  plat::GetClientRect(window_, &state.clientRect);
  const int width = state.clientRect.right;
  plat::Point origin{0, 0};
  plat::ClientToScreen(window_, &origin);
  state.clientRect = plat::WinRect{origin.x, origin.y, origin.x + width, origin.y + state.clientRect.bottom};

  plat::SimulateMouseMove(window_, width, 10);  // on the right edge: outside
  qz::PumpWindowMessages();
  EXPECT_EQ(state.cursorClipped, 0);
  plat::SimulateMouseMove(window_, 0, 0);  // the top-left corner is inside
  qz::PumpWindowMessages();
  EXPECT_EQ(state.cursorClipped, 1);
  plat::ClipCursor(nullptr);
}

TEST_F(PumpTest, MinimisedBlocksUntilRestoredWhileServicing) {
  plat::UseVirtualTime(true);
  plat::SimulateMinimise(window_, true);
  std::atomic<bool> restored{false};
  std::thread restorer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    restored = true;
    plat::SimulateMinimise(window_, false);
  });
  const std::int32_t start = qz::GetMillisecondCount();
  const int result = qz::PumpWindowMessages();
  const std::int32_t elapsed = qz::ElapsedMilliseconds(qz::GetMillisecondCount(), start);
  restorer.join();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(restored.load());
  EXPECT_EQ(qz::GetWindowSystemState().idleSeen, 1);

  // Each idle pass sleeps 25 ms and pumps the network once; the screen is
  // shown again only after more than 64 ms, so three passes or more apart.
  const std::vector<std::string> trace = qz::TakeCallTrace();
  EXPECT_GE(std::count(trace.begin(), trace.end(), "PumpNetworkMessages"), elapsed / 30);
  std::vector<long> repaintPasses;
  long passes = 0;
  for (const std::string& call : trace) {
    if (call == "PumpNetworkMessages") ++passes;
    if (call == "RepaintScreen") repaintPasses.push_back(passes);
  }
  ASSERT_GE(repaintPasses.size(), 2u);
  for (std::size_t i = 1; i < repaintPasses.size(); ++i) EXPECT_GE(repaintPasses[i] - repaintPasses[i - 1], 3);
}

}  // namespace
