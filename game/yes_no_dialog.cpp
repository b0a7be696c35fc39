#include "game/yes_no_dialog.h"

#include <cstdint>

#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_target.h"
#include "graphics/screen_present.h"

namespace {

constexpr int kDialogWindow = 2;
constexpr int kCursorX = 96;
// A slide is 8 frames of 3 pixels, from one answer to the other.
constexpr int kSlideStep = (kYesNoCursorNoY - kYesNoCursorYesY) / 8;
constexpr int kSlideFrames = 8;
constexpr std::uint32_t kPadVertical = 0x1 | 0x8;

// Up or down slides the resting cursor to the other answer.
void StepYesNoCursor(CursorRecord& cursor) {
  if (cursor.moving == 0 && (padState & kPadVertical) != 0) {
    cursor.yStep = cursor.y == kYesNoCursorNoY ? -kSlideStep : kSlideStep;
    cursor.moving = 1;
    cursor.frameCounter = 0;
    PlaySoundEffect(kSeSelect);
  }
  if (cursor.moving == 0) return;
  cursor.y += cursor.yStep;
  if (++cursor.frameCounter >= kSlideFrames) cursor.moving = 0;
}

// One frame of the window: the captured picture, the cursor and its slide.
void RunYesNoFrame(bool& confirmed) {
  WaitFrame();
  ReadActionInput();
  qz::ClearDrawTarget(nullptr);
  qz::BlitGraph(0, 0, oldScreen, 0);
  qz::BlitGraph(kCursorX, DialogCursor.y, images.cursor1, 1);
  StepYesNoCursor(DialogCursor);
  if (ActionFlags.confirm != 0) {
    PlaySoundEffect(kSeOk);
    confirmed = true;
  }
  qz::PresentFrame();
}

}  // namespace

YesNoAnswer AskYesNo(const GameString& question) {
  AnimateMessageWindow(1, kDialogWindow);
  DrawColorText(96, 206, question, kTextYellow);
  DrawColorText(152, 230, GameString("Yes"), kTextWhite);
  DrawColorText(152, 254, GameString("No"), kTextWhite);
  CaptureScreen(oldScreen);
  DialogCursor.y = kYesNoCursorNoY;
  DialogCursor.frameCounter = 0;
  DialogCursor.moving = 0;
  bool confirmed = false;
  for (;;) {
    if (CheckQuitRequest() == 0 && (confirmed || ActionFlags.cancel != 0)) break;
    if (gameState.quitRequested != 0 || gameState.scene == kSceneTitle) return YesNoAnswer::kLeftScreen;
    RunYesNoFrame(confirmed);
  }
  AnimateMessageWindow(0, kDialogWindow);
  RenewOldScreen();
  if (!confirmed) return YesNoAnswer::kCancel;
  return DialogCursor.y < kYesNoMiddleY ? YesNoAnswer::kYes : YesNoAnswer::kNo;
}
