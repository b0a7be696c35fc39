// The crossfade runs its own frames inside one frame of the caller. It pumps
// the window each step so that closing the window is noticed even mid-fade.
#include "game/crossfade.h"

#include "core/library.h"
#include "game/action_input.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/screen_frame.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_present.h"

std::int32_t fadeRequest = 0;
std::int32_t skipFade = 0;

namespace {

struct FadeSteps {
  int maximum, step;
};

FadeSteps StepsOf(int mode) {
  switch (mode) {
    case 0: return {255, 8};
    case 2: return {127, 8};
    case 3: return {255, 32};
    default: return {255, 16};
  }
}

// Shows the frame drawn and paces it; false once the window is closing.
bool ShowFadeFrame() {
  qz::PresentFrame();
  WaitFrame();
  ReadActionInput();
  if (qz::PumpMessagesEntry() == 0) return true;
  gameState.quitRequested = 1;
  return false;
}

void RenewWorkScreens() {
  qz::ReleaseGraph(oldScreen);
  qz::ReleaseGraph(newScreen);
  oldScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
  newScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
}

// Cut short, a fade that ends on the new picture shows neither the old one
// nor a capture of the new: it ends on the screen as it is drawn.
bool FadeShowsOnlyTheDrawnScreen(int mode) { return AnimationsCutToTheirEnd() && mode != 2; }

}  // namespace

void CrossfadeScreens(int mode) {
  const FadeSteps steps = StepsOf(mode);
  bool open = true;
  // Cut short, only mode 2 has a blend to show: the others end on the new picture.
  int firstAlpha = 0;
  if (AnimationsCutToTheirEnd()) {
    firstAlpha = mode == 2 ? steps.maximum - steps.maximum % steps.step : steps.maximum + 1;
  }
  for (int alpha = firstAlpha; open && alpha <= steps.maximum; alpha += steps.step) {
    qz::SetBlendModeAndParam(0, 0);
    qz::ClearDrawTarget(nullptr);
    qz::BlitGraph(0, 0, oldScreen, 0);
    qz::SetBlendModeAndParam(1, alpha);
    qz::BlitGraph(0, 0, newScreen, 0);
    open = ShowFadeFrame();
  }
  qz::SetBlendModeAndParam(0, 0);
  if (open && mode != 2) {
    qz::BlitGraph(0, 0, newScreen, 0);
    ShowFadeFrame();
  }
  RenewWorkScreens();
}

void CaptureScreen(int graph) { qz::CaptureScreenToGraph(0, 0, kScreenWidth, kScreenHeight, graph, 1); }

void CaptureFadeStart(int mode) {
  if (!FadeShowsOnlyTheDrawnScreen(mode)) CaptureScreen(oldScreen);
}

void CrossfadeToDrawnScreen(int mode) {
  if (FadeShowsOnlyTheDrawnScreen(mode)) {
    qz::SetBlendModeAndParam(0, 0);
    ShowFadeFrame();
    RenewWorkScreens();
    return;
  }
  CaptureScreen(newScreen);
  CrossfadeScreens(mode);
}

void FadeScreenToBlack(int mode) {
  CaptureFadeStart(mode);
  qz::ClearDrawTarget(nullptr);
  CrossfadeToDrawnScreen(mode);
  CaptureScreen(oldScreen);
}

void RequestDeferredFade(int request) {
  CaptureScreen(oldScreen);
  fadeRequest = request;
  skipFade = 1;
  SetInputLatches(1);
}
