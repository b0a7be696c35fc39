// The screens' shared state, the quit check (screens.h) and the window and
// cursor steps they repeat.
#include "game/screen_state.h"

#include "game/action_input.h"
#include "game/game_state.h"
#include "game/screen_frame.h"
#include "game/screens.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_present.h"
#include "sound/sound_play.h"

CursorRecord MenuCursor{};
CursorRecord DialogCursor{};
int MessageWindowGraphs[2] = {-1, -1};
std::int32_t WindowState = 0;
std::int32_t WindowFrame = 0;
std::int32_t TitleStartRequest = 0;
int sceneBackground = -1;
int titleGraphs[kTitleGraphCount] = {-1, -1, -1, -1};

namespace {

constexpr std::uint32_t kPadDown = 0x1;
constexpr std::uint32_t kPadUp = 0x8;
constexpr int kWindowBackAlpha = 216;
constexpr int kSlideFrames = 8;

}  // namespace

void PlaySoundEffect(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }

void ReleaseGraphOnce(int& graph) {
  if (graph != -1) qz::ReleaseGraph(graph);
  graph = -1;
}

void ReleaseMessageWindowGraphs() {
  for (int& graph : MessageWindowGraphs) ReleaseGraphOnce(graph);
}

int CheckQuitRequest() {
  if (EscapePressed()) {
    if (gameState.scene != kSceneTitle) {
      EnterTitleScene();
    } else {
      gameState.quitRequested = 1;
    }
  }
  return PumpWindowMessages();
}

bool WaitForDismissal() {
  for (;;) {
    if (CheckQuitRequest() == 0 && (ActionFlags.confirm != 0 || ActionFlags.cancel != 0)) return true;
    if (gameState.quitRequested != 0 || gameState.scene == kSceneTitle) return false;
    WaitFrame();
    ReadActionInput();
    qz::ClearDrawTarget(nullptr);
    qz::BlitGraph(0, 0, oldScreen, 0);
    qz::PresentFrame();
  }
}

void RenewOldScreen() {
  qz::ReleaseGraph(oldScreen);
  oldScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
}

void DrawWindowPieces(int back, int frame, int x1, int y1, int x2, int y2) {
  auto draw = [&](int graph) {
    if (x2 < 0) {
      qz::BlitGraph(x1, y1, graph, 1);
    } else {
      qz::BlitGraphStretched(x1, y1, x2, y2, graph, 1);
    }
  };
  qz::SetBlendModeAndParam(1, kWindowBackAlpha);
  draw(back);
  qz::SetBlendModeAndParam(0, 0);
  draw(frame);
}

bool StepCursorSlide(CursorRecord& cursor) {
  if (cursor.moving == 0) return false;
  cursor.y += cursor.yStep;
  if (++cursor.frameCounter >= kSlideFrames) {
    cursor.y = cursor.targetY;
    cursor.moving = 0;
  }
  return true;
}

void StepCursorMove(CursorRecord& cursor) {
  constexpr int kSteppedFrames = 8;
  if (cursor.moving == 0) return;
  if (cursor.frameCounter == 0) PlaySoundEffect(kSeSelect);
  if (++cursor.frameCounter > kSteppedFrames) {
    cursor.x = cursor.targetX;
    cursor.y = cursor.targetY;
    cursor.moving = 0;
    cursor.frameCounter = 0;
  } else {
    cursor.x += cursor.xStep;
    cursor.y += cursor.yStep;
  }
}

void StartCursorMove(CursorRecord& cursor, int direction, int lastRow, int firstY, int pitch, int step) {
  const int wrapRow = direction < 0 ? 0 : lastRow;
  if (cursor.row == wrapRow) {
    cursor.row = lastRow - wrapRow;
    cursor.targetY = firstY + pitch * cursor.row;
    cursor.yStep = (cursor.targetY - cursor.y) / 7;
  } else {
    cursor.row += direction;
    cursor.targetY = cursor.y + direction * pitch;
    cursor.yStep = direction * step;
  }
  cursor.frameCounter = 0;
  cursor.moving = 1;
  PlaySoundEffect(kSeSelect);
}

void MoveCursorByPad(CursorRecord& cursor, int lastRow, int firstY, int pitch, int step) {
  // Down alone, so that both held never leave the row and the target apart.
  if ((padState & kPadDown) != 0) {
    StartCursorMove(cursor, 1, lastRow, firstY, pitch, step);
  } else if ((padState & kPadUp) != 0) {
    StartCursorMove(cursor, -1, lastRow, firstY, pitch, step);
  }
}
