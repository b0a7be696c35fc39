// Entering floors. The floors issue completes it (door links, floor loading,
// the banner, the ending door); until then a re-entry names the floor, resets
// the player's motion and fades into the floor on the next frame.
#include "game/doors.h"

#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/game_state.h"

void EnterDoor(int index, int mode, int /*viaDoor*/) {
  player.eventCode = 0;
  player.life = 1;
  player.magic = 0;
  player.ridingObject = -1;
  player.animState = -1;
  player.airborne = 0;
  player.velocityX = 0.0;
  SetInputLatches(1);
  if (mode != 1) return;
  mapName = IntToPaddedString(floorNumber + 1, 3);
  entrance = index;
  RequestDeferredFade(1);
}
