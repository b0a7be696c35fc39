// The player against the attribute layer: which edges are blocked, and what
// touching a cell does (spikes hurt, appearing and crumbling cells turn
// solid, springs launch, ice keeps the speed), plus the event-cell test.
#include "game/effects.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/player_physics.h"
#include "game/pools.h"
#include "sound/sound_play.h"

namespace {

constexpr std::int32_t kPassableUpTo = kAttrSolidFrom - 1;
// A rise marks the row it passes through only while both feet are over cells below this.
constexpr std::int32_t kJumpStartBelow = 21;
constexpr std::int32_t kCheckCubeIcon = 8;
constexpr int kCrumbleFrames = 50;
constexpr int kSpikeDamage = 16;
constexpr int kHurtInvulnerableFrames = 48;
constexpr int kSideProbeRows[] = {8, 32, 56};
constexpr int kNoRow = 99;

void PlaySe(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }

// The type of the moving object ridden (0 left, 1 right, 2 up, 3 down), or
// -1 when none: a ride counts as a movement for the spike tests.
int RiddenObjectType() {
  const int index = player.ridingObject;
  if (index < 0 || index >= kMovingObjectCount) return -1;
  return movingObjects[index].type;
}

void HurtBySpikes(int dx, int dy) {
  player.life = player.life > kSpikeDamage ? player.life - kSpikeDamage : 0;
  player.invulnerableFrames = kHurtInvulnerableFrames;
  SpawnEffect(1, player.x + dx, player.y + dy);
  PlaySe(kSeHit01);
}

// Turns the cell under pixel (px, py) into a solid block when it still holds
// `code` (two probes may share a cell: it changes once). True when it did.
bool MakeSolidBlock(int px, int py, std::int32_t code) {
  const int cx = px / kCellSize;
  const int cy = py / kCellSize;
  if (AttributeAt(cx, cy) != code || CheckedCellIndex(cx, cy) < 0) return false;
  SetCell(cx, cy, 1, kAttrSolidBlock);
  SpawnEffect(0, cx * kCellSize + 16, cy * kCellSize + 16);
  PlaySe(kSeBlockChange);
  return true;
}

// Two probes hurt or act when both hold the code, or one does and the other
// is at or below `passable`.
bool PairTouches(const std::int32_t (&a)[2], std::int32_t code, std::int32_t passable) {
  return (a[0] == code && (a[1] == code || a[1] <= passable)) || (a[1] == code && a[0] <= passable);
}

int SideEdge(int side) {
  const int X = static_cast<int>(player.posX);
  const int Y = static_cast<int>(player.posY);
  const bool left = side == kEdgeLeft;
  const int px = left ? X + 16 - 6 * player.squat : X + 48 + 6 * player.squat;
  const std::int32_t spikes = left ? kAttrSpikesLeft : kAttrSpikesRight;
  const int way = left ? -1 : 1;
  std::int32_t a[3];
  for (int i = 0; i < 3; ++i) a[i] = WriteTileTypeAtPixel(px, Y + kSideProbeRows[i]);

  int blocked = Y < -48 ? 1 : 0;
  bool anySpike = false;
  bool spikeOnly = true;
  bool oneWay = false;
  for (std::int32_t value : a) {
    if (value >= kAttrSolidFrom) blocked = 1;
    if (value == spikes) anySpike = true;
    if (value >= kAttrSolidFrom && value != spikes) spikeOnly = false;
    if (value == (left ? kAttrWallFromLeft : kAttrWallFromRight)) oneWay = true;
  }
  const bool moving = left ? player.velocityX < 0 : player.velocityX > 0;
  if (player.invulnerableFrames < 1 && (moving || RiddenObjectType() == side) && anySpike && spikeOnly) {
    HurtBySpikes(16 * way, 0);
  }
  if (player.facing == way) {
    if (oneWay) blocked = 1;
    for (int i = 0; i < 3; ++i) {
      if (a[i] == kAttrAppearsSideways) MakeSolidBlock(px, Y + kSideProbeRows[i], kAttrAppearsSideways);
    }
  }
  return blocked;
}

int HeadEdge() {
  const int X = static_cast<int>(player.posX);
  const int Y = static_cast<int>(player.posY);
  const int px[2] = {X + kFeetProbeLeft, X + kFeetProbeRight};
  const std::int32_t a[2] = {WriteTileTypeAtPixel(px[0], Y), WriteTileTypeAtPixel(px[1], Y)};
  int blocked = a[0] >= kAttrSolidFrom || a[1] >= kAttrSolidFrom ? 1 : 0;
  if (player.invulnerableFrames < 1 && (player.airborne == 1 || RiddenObjectType() == 2) &&
      PairTouches(a, kAttrSpikesDown, kPassableUpTo)) {
    HurtBySpikes(0, -32);
  }
  if (player.airborne == 1 && player.velocityY < 0) {
    for (int i = 0; i < 2; ++i) {
      if (a[i] != kAttrAppearsOverHead) continue;
      blocked = 1;
      if (FindFreeSlot(kPoolTimedCells) >= 0) MakeSolidBlock(px[i], Y, kAttrAppearsOverHead);
    }
  }
  return blocked;
}

// A crumbling cell becomes solid for 50 frames, then the timed cell empties it.
void StartCrumbling(int px, int py) {
  const int slot = FindFreeSlot(kPoolTimedCells);
  if (slot < 0 || !MakeSolidBlock(px, py, kAttrCrumbles)) return;
  timedCells[slot] = TimedCellRecord{px / kCellSize, py / kCellSize, kCrumbleFrames, 1};
  ++timedCellCount;
}

void Launch(int px, int feetRow) {
  player.airborne = 1;
  jumpReleaseLock = 1;
  player.velocityY = LaunchSpeed(kSpringSpeed, kHighSpringSpeed);
  StartEffect(15, 8, 1, (px / kCellSize) * kCellSize - 32, feetRow * kCellSize - 4, 0.0, 1.0);
  PlaySe(kSeJump03);
}

int FeetEdge() {
  const int X = static_cast<int>(player.posX);
  const int Y = static_cast<int>(player.posY);
  const int py = Y + 64;
  const int px[2] = {X + kFeetProbeLeft, X + kFeetProbeRight};
  const std::int32_t a[2] = {WriteTileTypeAtPixel(px[0], py), WriteTileTypeAtPixel(px[1], py)};
  const int feetRow = py / kCellSize;
  if (player.velocityY < 0 && a[0] < kJumpStartBelow && a[1] < kJumpStartBelow) player.jumpStartRow = feetRow;
  // A one-way platform carries the player except in the row jumped through.
  std::int32_t threshold = kAttrOneWay;
  if (player.jumpStartRow != feetRow) {
    threshold = kAttrOneWay - 1;
    player.jumpStartRow = kNoRow;
  }
  int blocked = a[0] > threshold || a[1] > threshold ? 1 : 0;
  player.onSlipperyFloor = 0;
  if (player.dashState >= 1) return blocked;

  const bool grounded = player.airborne == 0;
  if (player.invulnerableFrames < 1 && (grounded || RiddenObjectType() == 3) &&
      PairTouches(a, kAttrSpikesUp, threshold)) {
    HurtBySpikes(0, 32);
  }
  for (int i = 0; i < 2; ++i) {
    if (grounded && a[i] == kAttrCrumbles) StartCrumbling(px[i], py);
    if (!grounded && player.velocityY > 0 && a[i] == kAttrAppearsUnderFeet) {
      MakeSolidBlock(px[i], py, kAttrAppearsUnderFeet);
      blocked = 1;
    }
  }
  for (int i = 0; i < 2; ++i) {
    if (grounded && a[i] == kAttrSpring) Launch(px[i], feetRow);
  }
  if (grounded && PairTouches(a, kAttrSlippery, threshold)) player.onSlipperyFloor = 1;
  return blocked;
}

int DropThroughTest() {
  const int X = static_cast<int>(player.posX);
  const int Y = static_cast<int>(player.posY);
  const bool openBelow =
      ReadAttributeAtPixel(X + kFeetProbeLeft, Y + 64) <= kAttrOneWay &&
      ReadAttributeAtPixel(X + kFeetProbeRight, Y + 64) <= kAttrOneWay;
  return openBelow ? 1 : 0;
}

void ShowFieldIcon(int kind) {
  if (fieldIconKind == kind) return;
  fieldIconKind = kind;
  fieldIconGrow = 0;
  PlaySe(kSeFieldIcon);
}

int EventTileTest() {
  const std::int32_t a = ReadAttributeAtPixel(static_cast<int>(player.posX) + 32, static_cast<int>(player.posY) + 16);
  if (a >= 1 && a <= 7) {
    ShowFieldIcon(a);
    return 1;
  }
  if (a == kAttrCheckCube) {
    // A cube that is already the restart point shows no icon, so Up on it
    // raises no event (the kind of a previous cell must not linger).
    if (entrance == kCheckCubeEntrance && fieldIconKind != kCheckCubeIcon) {
      fieldIconKind = 0;
    } else {
      ShowFieldIcon(kCheckCubeIcon);
    }
    return 1;
  }
  fieldIconKind = 0;
  return 0;
}

}  // namespace

int PlayerMapCollision(int direction) {
  switch (direction) {
    case kEdgeLeft:
    case kEdgeRight: return SideEdge(direction);
    case kEdgeHead: return HeadEdge();
    case kEdgeFeet: return FeetEdge();
    case kEdgeDropThrough: return DropThroughTest();
    case kEdgeEventTile: return EventTileTest();
    default: return 0;
  }
}
