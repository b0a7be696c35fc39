// The block rules as tables: what each breakable code hides, the two
// directions each pipe carries, and the switch pairs of each group.
#include "game/blocks.h"

#include <cmath>
#include <numbers>

#include "game/effects.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/shot_record.h"
#include "sound/sound_play.h"

namespace {

constexpr std::int32_t kRecoveryCode = 81;
constexpr std::int32_t kFirstDoorCode = 82;  // doors 1..3
constexpr std::int32_t kShopCode = 86;

struct PipeTurn {
  std::int32_t attribute;
  int enter[2];
  int leave[2];
  bool straight;
};

constexpr PipeTurn kPipes[] = {
    {kAttrPipeFirst, {4, 8}, {2, 6}, false},     {kAttrPipeFirst + 1, {6, 8}, {2, 4}, false},
    {kAttrPipeFirst + 2, {4, 2}, {8, 6}, false}, {kAttrPipeFirst + 3, {6, 2}, {8, 4}, false},
    {kAttrPipeFirst + 4, {6, 4}, {6, 4}, true},  {kAttrPipeLast, {2, 8}, {2, 8}, true},
};

struct SwitchPair {
  std::int32_t open, closed;
  std::int32_t openChip, closedChip;
};

constexpr SwitchPair kSwitchGroups[] = {{kAttrSwitchOpen0, kAttrSwitchClosed0, 44, 45},
                                        {kAttrSwitchOpen0 + 1, kAttrSwitchClosed0 + 1, 52, 53},
                                        {kAttrSwitchOpen0 + 2, kAttrSwitchClosed0 + 2, 60, 61}};

void PlaySe(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }

const PipeTurn* FindPipe(std::int32_t attribute) {
  for (const PipeTurn& pipe : kPipes) {
    if (pipe.attribute == attribute) return &pipe;
  }
  return nullptr;
}

// The cell one step in numpad direction `direction`.
void StepCell(int direction, int* column, int* row) {
  switch (direction) {
    case 2: ++*row; break;
    case 4: --*column; break;
    case 6: ++*column; break;
    case 8: --*row; break;
    default: break;
  }
}

bool EmptyCell(int column, int row) {
  return CheckedCellIndex(column, row) >= 0 && AttributeAt(column, row) == kAttrEmpty;
}

bool FloorNumberValid() { return floorNumber >= 0 && floorNumber < kFloorCount; }

void SpawnAtCellCentre(int column, int row) { SpawnEffect(0, column * kCellSize + 16, row * kCellSize + 16); }

}  // namespace

void SetBlockKind(std::int32_t code, int column, int row) {
  const int index = code - kAttrBreakableFirst;
  if (index < 0 || index >= static_cast<int>(std::size(kBrokenBlockCells))) return;
  const BrokenBlockCell& hidden = kBrokenBlockCells[index];
  SetCell(column, row, hidden.chip, hidden.attribute);
  if (code == kRecoveryCode) {
    marks[kMarkCount - 1] = MapObjectRecord{column * kCellSize, row * kCellSize, kMarkRecoveryPoint, 1};
  }
  if (FloorNumberValid() && code >= kFirstDoorCode && code < kFirstDoorCode + 3) {
    std::int32_t& link = gameState.FloorProgress.doorLinks[floorNumber][code - kFirstDoorCode + 1];
    if (link == -1) link = 0;
  }
  if (FloorNumberValid() && code == kShopCode) gameState.FloorProgress.shopFound[floorNumber] = 1;
  if (hidden.discovery) PlaySe(kSeDiscovery);
}

int ApplyShotToBlock(std::int32_t attribute, int column, int row, ShotRecord& shot) {
  const PipeTurn* pipe = FindPipe(attribute);
  if (pipe == nullptr) return 0;
  int leave = 0;
  for (int i = 0; i < 2; ++i) {
    if (shot.direction == pipe->enter[i]) leave = pipe->leave[i];
  }
  if (leave == 0) return 0;
  const int oldX = static_cast<int>(shot.x);
  const int oldY = static_cast<int>(shot.y);
  const int left = column * kCellSize;
  const int top = row * kCellSize;
  switch (leave) {
    case 2: shot.x = left + 4, shot.y = top + 36; break;
    case 4: shot.x = left - 28, shot.y = top + 4; break;
    case 6: shot.x = left + 36, shot.y = top + 4; break;
    default: shot.x = left + 4, shot.y = top - 28; break;
  }
  const bool vertical = leave == 2 || leave == 8;
  if (!pipe->straight) {
    const double speed = std::fabs(vertical ? shot.vx : shot.vy);
    shot.vx = vertical ? 0.0 : (leave == 4 ? -speed : speed);
    shot.vy = vertical ? (leave == 8 ? -speed : speed) : 0.0;
  }
  shot.direction = leave;
  constexpr double kPi = std::numbers::pi;
  shot.angle = leave == 2 ? kPi / 2 : leave == 4 ? kPi : leave == 6 ? 0.0 : -kPi / 2;
  shot.life += (shot.graphicBase / 6 + 1) * 10;
  SpawnEffect(2, oldX + 12, oldY + 12);
  SpawnEffect(0, static_cast<int>(shot.x) + 12, static_cast<int>(shot.y) + 12);
  PlaySe(kSePipe);
  return 1;
}

void PushBlock(std::int32_t attribute, int column, int row, int direction) {
  if ((attribute >= kAttrSpikesUp && attribute <= kAttrCrumbles) || attribute == kAttrSlippery) return;
  if (direction != 2 && direction != 4 && direction != 6 && direction != 8) return;
  // A pipe does not move along the directions it carries shots in.
  if (const PipeTurn* pipe = FindPipe(attribute)) {
    if (pipe->enter[0] == direction || pipe->enter[1] == direction) return;
  }
  int targetColumn = column;
  int targetRow = row;
  StepCell(direction, &targetColumn, &targetRow);
  if (!EmptyCell(targetColumn, targetRow)) return;
  int farColumn = targetColumn;
  int farRow = targetRow;
  StepCell(direction, &farColumn, &farRow);
  if (EmptyCell(farColumn, farRow)) {
    targetColumn = farColumn;
    targetRow = farRow;
  }
  SetCell(targetColumn, targetRow, ChipAt(column, row), attribute);
  SpawnAtCellCentre(targetColumn, targetRow);
  SetCell(column, row, 0, 0);
  SpawnAtCellCentre(column, row);
  PlaySe(kSePush);
}

void ToggleSwitchBlocks(int group) {
  if (group < 0 || group >= static_cast<int>(std::size(kSwitchGroups))) return;
  const SwitchPair& pair = kSwitchGroups[group];
  for (int column = 0; column < kMapColumns; ++column) {
    for (int row = 0; row < kMapRows; ++row) {
      const std::int32_t attribute = AttributeAt(column, row);
      if (attribute == pair.open) {
        SetCell(column, row, pair.closedChip, pair.closed);
      } else if (attribute == pair.closed) {
        SetCell(column, row, pair.openChip, pair.open);
      } else {
        continue;
      }
      SpawnAtCellCentre(column, row);
    }
  }
}
