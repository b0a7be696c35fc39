// Minimal game screens that keep the game running until the screens issues
// replace them one by one: scenes that hand back to the floor on Confirm or
// Cancel, and entries that only change scene.
#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/game_state.h"
#include "game/screens.h"

namespace {

void ChangeScene(int scene) {
  RequestDeferredFade(2);
  gameState.scene = scene;
}

void ReturnToFloorOnConfirmOrCancel() {
  if (ActionFlags.confirm != 0 || ActionFlags.cancel != 0) ChangeScene(kSceneFloorPlay);
}

}  // namespace

void UpdateStatusScreen() { ReturnToFloorOnConfirmOrCancel(); }
void UpdateShopScene() { ReturnToFloorOnConfirmOrCancel(); }

void EnterShop() {
  player.eventCode = 0;
  ChangeScene(kSceneShop);
}

void EnterStatusScreen() { ChangeScene(kSceneStatus); }
