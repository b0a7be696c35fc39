// Minimal game screens that keep the game running until the screens issues
// replace them one by one: scenes that hand back to the floor on Confirm or
// Cancel, an opening that starts floor "001", and entries that only change
// scene. The drawing-free ones do nothing yet.
#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/doors.h"
#include "game/game_state.h"
#include "game/screens.h"

namespace {

// The new game's first floor, as the opening ends.
void StartFirstFloor() {
  floorNumber = 0;
  gameState.scene = kSceneFloorPlay;
  EnterDoor(0, 1, 0);
}

void ChangeScene(int scene) {
  RequestDeferredFade(2);
  gameState.scene = scene;
}

void ReturnToFloorOnConfirmOrCancel() {
  if (ActionFlags.confirm != 0 || ActionFlags.cancel != 0) ChangeScene(kSceneFloorPlay);
}

}  // namespace

void UpdateStatusScreen() { ReturnToFloorOnConfirmOrCancel(); }
void UpdateOpeningScene() { StartFirstFloor(); }
void UpdateEndingScene() { EnterTitleScene(); }
void UpdateUpgradeResultScene() { ReturnToFloorOnConfirmOrCancel(); }

void EnterStatusScreen() { ChangeScene(kSceneStatus); }

void DrawHudNumber(int, int, int, int) {}
