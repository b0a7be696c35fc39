// The player against the attribute layer: which edges are blocked, and what
// touching a cell does (spikes hurt, appearing and crumbling cells turn
// solid, springs launch, ice keeps the speed), plus the event-cell test.
#include "game/effects.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/player_motion.h"
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

// One edge test on a record: the cells' effects on the floor only when live.
struct Touch {
  PlayerRecord& p;
  MotionLatches& latches;
  bool live;

  void PlaySe(SoundEffect effect) const {
    if (live) qz::PlaySoundHandle(soundEffects[effect], 1, 1);
  }
  void SpawnEffect(int kind, int x, int y) const {
    if (live) ::SpawnEffect(kind, x, y);
  }
};

// The type of the moving object ridden (0 left, 1 right, 2 up, 3 down), or
// -1 when none: a ride counts as a movement for the spike tests.
int RiddenObjectType(const PlayerRecord& p) {
  const int index = p.ridingObject;
  if (index < 0 || index >= kMovingObjectCount) return -1;
  return movingObjects[index].type;
}

void HurtBySpikes(const Touch& t, int dx, int dy) {
  PlayerRecord& p = t.p;
  p.life = p.life > kSpikeDamage ? p.life - kSpikeDamage : 0;
  p.invulnerableFrames = kHurtInvulnerableFrames;
  t.SpawnEffect(1, p.x + dx, p.y + dy);
  t.PlaySe(kSeHit01);
}

// Turns the cell under pixel (px, py) into a solid block when it still holds
// `code` (two probes may share a cell: it changes once). True when it did;
// felt, the cell stays and the answer is whether it would.
bool MakeSolidBlock(const Touch& t, int px, int py, std::int32_t code) {
  const int cx = px / kCellSize;
  const int cy = py / kCellSize;
  if (AttributeAt(cx, cy) != code || CheckedCellIndex(cx, cy) < 0) return false;
  if (!t.live) return true;
  SetCell(cx, cy, 1, kAttrSolidBlock);
  t.SpawnEffect(0, cx * kCellSize + 16, cy * kCellSize + 16);
  t.PlaySe(kSeBlockChange);
  return true;
}

// Two probes hurt or act when both hold the code, or one does and the other
// is at or below `passable`.
bool PairTouches(const std::int32_t (&a)[2], std::int32_t code, std::int32_t passable) {
  return (a[0] == code && (a[1] == code || a[1] <= passable)) || (a[1] == code && a[0] <= passable);
}

int SideEdge(const Touch& t, int side) {
  const PlayerRecord& p = t.p;
  const int X = static_cast<int>(p.posX);
  const int Y = static_cast<int>(p.posY);
  const bool left = side == kEdgeLeft;
  const int px = left ? X + 16 - 6 * p.squat : X + 48 + 6 * p.squat;
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
  const bool moving = left ? p.velocityX < 0 : p.velocityX > 0;
  if (p.invulnerableFrames < 1 && (moving || RiddenObjectType(p) == side) && anySpike && spikeOnly) {
    HurtBySpikes(t, 16 * way, 0);
  }
  if (p.facing == way) {
    if (oneWay) blocked = 1;
    for (int i = 0; i < 3; ++i) {
      if (a[i] == kAttrAppearsSideways) MakeSolidBlock(t, px, Y + kSideProbeRows[i], kAttrAppearsSideways);
    }
  }
  return blocked;
}

int HeadEdge(const Touch& t) {
  const PlayerRecord& p = t.p;
  const int X = static_cast<int>(p.posX);
  const int Y = static_cast<int>(p.posY);
  const int px[2] = {X + kFeetProbeLeft, X + kFeetProbeRight};
  const std::int32_t a[2] = {WriteTileTypeAtPixel(px[0], Y), WriteTileTypeAtPixel(px[1], Y)};
  int blocked = a[0] >= kAttrSolidFrom || a[1] >= kAttrSolidFrom ? 1 : 0;
  if (p.invulnerableFrames < 1 && (p.airborne == 1 || RiddenObjectType(p) == 2) &&
      PairTouches(a, kAttrSpikesDown, kPassableUpTo)) {
    HurtBySpikes(t, 0, -32);
  }
  if (p.airborne == 1 && p.velocityY < 0) {
    for (int i = 0; i < 2; ++i) {
      if (a[i] != kAttrAppearsOverHead) continue;
      blocked = 1;
      if (FindFreeSlot(kPoolTimedCells) >= 0) MakeSolidBlock(t, px[i], Y, kAttrAppearsOverHead);
    }
  }
  return blocked;
}

// A crumbling cell becomes solid for 50 frames, then the timed cell empties it.
void StartCrumbling(const Touch& t, int px, int py) {
  if (!t.live) return;
  const int slot = FindFreeSlot(kPoolTimedCells);
  if (slot < 0 || !MakeSolidBlock(t, px, py, kAttrCrumbles)) return;
  timedCells[slot] = TimedCellRecord{px / kCellSize, py / kCellSize, kCrumbleFrames, 1};
  ++timedCellCount;
}

void Launch(const Touch& t, int px, int feetRow) {
  t.p.airborne = 1;
  t.latches.jumpRelease = 1;
  t.p.velocityY = LaunchSpeed(t.p, kSpringSpeed, kHighSpringSpeed);
  if (t.live) StartEffect(15, 8, 1, (px / kCellSize) * kCellSize - 32, feetRow * kCellSize - 4, 0.0, 1.0);
  t.PlaySe(kSeJump03);
}

int FeetEdge(const Touch& t) {
  PlayerRecord& p = t.p;
  const int X = static_cast<int>(p.posX);
  const int Y = static_cast<int>(p.posY);
  const int py = Y + kPlayerSpriteSize;
  const int px[2] = {X + kFeetProbeLeft, X + kFeetProbeRight};
  const std::int32_t a[2] = {WriteTileTypeAtPixel(px[0], py), WriteTileTypeAtPixel(px[1], py)};
  const int feetRow = py / kCellSize;
  if (p.velocityY < 0 && a[0] < kJumpStartBelow && a[1] < kJumpStartBelow) p.jumpStartRow = feetRow;
  // A one-way platform carries the player except in the row jumped through.
  std::int32_t threshold = kAttrOneWay;
  if (p.jumpStartRow != feetRow) {
    threshold = kAttrOneWay - 1;
    p.jumpStartRow = kNoRow;
  }
  int blocked = a[0] > threshold || a[1] > threshold ? 1 : 0;
  p.onSlipperyFloor = 0;
  if (p.dashState >= 1) return blocked;

  const bool grounded = p.airborne == 0;
  if (p.invulnerableFrames < 1 && (grounded || RiddenObjectType(p) == 3) && PairTouches(a, kAttrSpikesUp, threshold)) {
    HurtBySpikes(t, 0, 32);
  }
  for (int i = 0; i < 2; ++i) {
    if (grounded && a[i] == kAttrCrumbles) StartCrumbling(t, px[i], py);
    if (!grounded && p.velocityY > 0 && a[i] == kAttrAppearsUnderFeet) {
      MakeSolidBlock(t, px[i], py, kAttrAppearsUnderFeet);
      blocked = 1;
    }
  }
  for (int i = 0; i < 2; ++i) {
    if (grounded && a[i] == kAttrSpring) Launch(t, px[i], feetRow);
  }
  if (grounded && PairTouches(a, kAttrSlippery, threshold)) p.onSlipperyFloor = 1;
  return blocked;
}

int DropThroughTest(const PlayerRecord& p) {
  const int X = static_cast<int>(p.posX);
  const int Y = static_cast<int>(p.posY);
  const bool openBelow =
      ReadAttributeAtPixel(X + kFeetProbeLeft, Y + kPlayerSpriteSize) <= kAttrOneWay &&
      ReadAttributeAtPixel(X + kFeetProbeRight, Y + kPlayerSpriteSize) <= kAttrOneWay;
  return openBelow ? 1 : 0;
}

// The field icon is the game's player's: a look-ahead only asks whether an
// event cell is there.
void ShowFieldIcon(const Touch& t, int kind) {
  if (!t.live || fieldIconKind == kind) return;
  fieldIconKind = kind;
  fieldIconGrow = 0;
  t.PlaySe(kSeFieldIcon);
}

int EventTileTest(const Touch& t) {
  const std::int32_t a = ReadAttributeAtPixel(static_cast<int>(t.p.posX) + 32, static_cast<int>(t.p.posY) + 16);
  if (a >= 1 && a <= 7) {
    ShowFieldIcon(t, a);
    return 1;
  }
  if (a == kAttrCheckCube) {
    // A cube that is already the restart point shows no icon, so Up on it
    // raises no event (the kind of a previous cell must not linger).
    if (!t.live) return 1;
    if (entrance == kCheckCubeEntrance && fieldIconKind != kCheckCubeIcon) {
      fieldIconKind = 0;
    } else {
      ShowFieldIcon(t, kCheckCubeIcon);
    }
    return 1;
  }
  if (t.live) fieldIconKind = 0;
  return 0;
}

}  // namespace

int PlayerEdgeTest(PlayerRecord& p, MotionLatches& latches, int edge, CellContact contact) {
  const Touch t{p, latches, contact == CellContact::kLive};
  switch (edge) {
    case kEdgeLeft:
    case kEdgeRight: return SideEdge(t, edge);
    case kEdgeHead: return HeadEdge(t);
    case kEdgeFeet: return FeetEdge(t);
    case kEdgeDropThrough: return DropThroughTest(p);
    case kEdgeEventTile: return EventTileTest(t);
    default: return 0;
  }
}

int PlayerMapCollision(int direction) {
  MotionLatches latches = MotionLatchesNow();
  const int result = PlayerEdgeTest(player, latches, direction, CellContact::kLive);
  jumpReleaseLock = latches.jumpRelease;  // a spring underfoot sets it
  return result;
}
