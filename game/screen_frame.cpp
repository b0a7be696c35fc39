// The frame wait, the Escape test and the window pump. They sit below the
// screens so that the screens' blocking loops and the entry's frame loop
// share them.
#include "game/screen_frame.h"

#include "core/clock.h"
#include "core/library.h"
#include "game/game_state.h"
#include "input/pad_input.h"

std::int32_t lastFrameTime = 0;

namespace {

void (*frameWaitHook)() = nullptr;
bool animationsCut = false;

constexpr int kEscapeKey = 0x01;

}  // namespace

std::int32_t WaitFrame() {
  while (qz::ElapsedMilliseconds(qz::GetMillisecondCount(), lastFrameTime) < kFrameMilliseconds) {
  }
  lastFrameTime = qz::GetMillisecondCount();
  if (frameWaitHook != nullptr) frameWaitHook();
  return lastFrameTime;
}

void SetFrameWaitHookForTest(void (*hook)()) { frameWaitHook = hook; }

void SetAnimationsCutToTheirEndForTest(bool cut) { animationsCut = cut; }

bool AnimationsCutToTheirEnd() { return animationsCut; }

void HoldPicture(int milliseconds) { qz::WaitMilliseconds(milliseconds); }

bool EscapePressed() { return qz::TestKeyDown(kEscapeKey) == 1; }

int PumpWindowMessages() {
  if (qz::PumpMessagesEntry() == 0) return 0;
  gameState.quitRequested = 1;
  return 1;
}
