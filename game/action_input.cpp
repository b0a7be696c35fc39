// Pad word to action flags. Confirm and Cancel are edge-triggered here; the
// five play actions are level flags whose edges the player code takes with
// its own latches.
#include "game/action_input.h"

#include "input/pad_input.h"

std::uint32_t padState = 0;
ActionFlagSet ActionFlags{};
ButtonMapRecord ButtonMap = kBuiltInButtonMap;
std::int32_t confirmLatch = 0;
std::int32_t cancelLatch = 0;
std::int32_t jumpLatch = 0;
std::int32_t shotLatch = 0;
std::int32_t shotChangeLatch = 0;
std::int32_t dashLatch = 0;
std::int32_t dashBlock = 0;

namespace {

// Joypad 1 with the keyboard merged into it.
constexpr int kPadOneWithKeyboard = qz::kPadWithKeyboard | 1;

// Keeps flag only on the first frame the button is seen.
void FirstFrameOnly(std::int32_t& flag, std::int32_t& latch) {
  if (flag == 0) {
    latch = 0;
  } else if (latch == 0) {
    latch = 1;
  } else {
    flag = 0;
  }
}

}  // namespace

void ReadActionInput() {
  padState = qz::GetPadInputBits(kPadOneWithKeyboard);
  DeriveActionFlags(padState);
}

void DeriveActionFlags(std::uint32_t pad) {
  ActionFlags = ActionFlagSet{};
  for (int n = 0; n < kActionButtonCount; ++n) {
    if ((pad & (1u << (kPadButtonShift + n))) != 0) MapButtonToAction(n);
  }
  FirstFrameOnly(ActionFlags.confirm, confirmLatch);
  FirstFrameOnly(ActionFlags.cancel, cancelLatch);
}

void MapButtonToAction(int n) {
  if (ButtonMap.confirm == n) ActionFlags.confirm = 1;
  if (ButtonMap.cancel == n) ActionFlags.cancel = 1;
  if (ButtonMap.jump == n) {
    ActionFlags.jump = 1;
  } else if (ButtonMap.shot == n) {
    ActionFlags.shot = 1;
  } else if (ButtonMap.shotChange == n) {
    ActionFlags.shotChange = 1;
  } else if (ButtonMap.dash == n) {
    ActionFlags.dash = 1;
  } else if (ButtonMap.menu == n) {
    ActionFlags.menu = 1;
  }
}

void SetInputLatches(int value) {
  jumpLatch = value;
  shotLatch = value;
  shotChangeLatch = value;
  dashLatch = value;
  dashBlock = value;
}
