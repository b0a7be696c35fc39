// Moving objects: platforms that travel 2 pixels a frame and turn at walls,
// and platforms that blink on a 240-frame cycle; the player stands on them
// and travels with them.
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/items.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "graphics/draw_graph.h"
#include "sound/sound_play.h"

std::int32_t movingObjectCycle = 0;

namespace {

enum MovingType : int {
  kLeft = 0, kRight = 1, kUp = 2, kDown = 3, kFirstBlinking = 4, kLastBlinking = 7
};
static_assert(kDown == kLastTravellingType && kFirstBlinking == kLastTravellingType + 1);
constexpr int kStep = kMovingObjectStep;
constexpr int kCycleFrames = 240;
constexpr std::int32_t kNoRiderRoomAbove = 49;
constexpr int kTravellingChip = 2, kBlinkingChip = 3;

// Cycle counters at which blinking types 4..7 are solid.
bool BlinkingActive(int type, int cycle) {
  switch (type) {
    case 4: return cycle < 120;
    case 5: return cycle >= 60 && cycle < 180;
    case 6: return cycle >= 120;
    default: return cycle < 60 || cycle >= 180;
  }
}

void Move(MapObjectRecord& object) {
  const int oldX = object.x;
  const int oldY = object.y;
  switch (object.type) {
    case kLeft:
      object.x -= kStep;
      if (ReadAttributeAtPixel(oldX - 2, object.y) > kMoverTurnsAbove) {
        object.x = oldX;
        object.type = kRight;
      }
      break;
    case kRight:
      object.x += kStep;
      if (ReadAttributeAtPixel(oldX + 33, object.y) > kMoverTurnsAbove) {
        object.x = oldX;
        object.type = kLeft;
      }
      break;
    case kUp:
      object.y -= kStep;
      // Turns early when a rider would meet the ceiling.
      if (ReadAttributeAtPixel(object.x, oldY - 2) > kMoverTurnsAbove ||
          ReadAttributeAtPixel(object.x, object.y - kPlayerSpriteSize) > kNoRiderRoomAbove) {
        object.type = kDown;
      }
      break;
    case kDown:
      object.y += kStep;
      if (ReadAttributeAtPixel(object.x, oldY + 33) > kMoverTurnsAbove) object.type = kUp;
      break;
    default:
      if (object.type >= kFirstBlinking && object.type <= kLastBlinking) {
        object.active = BlinkingActive(object.type, movingObjectCycle) ? 1 : 0;
      }
      break;
  }
}

void Draw(const MapObjectRecord& object, int sx, int sy) {
  if (sx <= -32 || sx >= 640) return;
  if (object.type >= kLeft && object.type <= kDown) {
    qz::BlitGraph(sx, sy + (object.type == kDown ? 4 : 0), chipGraphs[kTravellingChip], 1);
  } else if (object.active == 1) {
    qz::BlitGraph(sx, sy, chipGraphs[kBlinkingChip], 1);
  }
}

void Carry(int type) {
  switch (type) {
    case kLeft: player.posX -= kStep; break;
    case kRight: player.posX += kStep; break;
    case kUp: player.posY -= kStep; break;
    case kDown: player.posY += kStep; break;
    default: break;
  }
}

// The first active object under the feet carries the player; none: no ride.
void CarryPlayer(int count) {
  const bool unsupported = PlayerMapCollision(kEdgeFeet) == 0 || player.ridingObject != -1;
  if (!unsupported || (player.velocityY <= 0 && player.airborne != 0)) return;
  const int X = static_cast<int>(player.posX);
  const int feet = static_cast<int>(player.posY) + kPlayerSpriteSize + 1;
  for (int i = 0; i < count; ++i) {
    const MapObjectRecord& object = movingObjects[i];
    if (X + 21 > object.x + 32 || object.x > X + 43 || feet < object.y || feet > object.y + 16) continue;
    if (object.active == 1) {
      player.posY = object.y - kPlayerSpriteSize;
      player.velocityY = 0;
      player.airborne = 0;
      player.airDashUsed = 0;
      if (player.ridingObject == -1) qz::PlaySoundHandle(soundEffects[kSeJump02], 1, 1);
      player.ridingObject = i;
    }
    Carry(object.type);
    if (object.active == 1) return;
  }
  player.ridingObject = -1;
}

}  // namespace

void UpdateMovingObjects() {
  if (movingCount <= 0) return;
  const int count = movingCount < kMovingObjectCount ? movingCount : kMovingObjectCount;
  for (int i = 0; i < count; ++i) {
    MapObjectRecord& object = movingObjects[i];
    const int sx = object.x - cameraX;
    const int sy = object.y - cameraY;
    Move(object);
    Draw(object, sx, sy);
  }
  if (++movingObjectCycle >= kCycleFrames) movingObjectCycle = 0;
  CarryPlayer(count);
}
