// The cell layers and the code tables that switches, touches, the True Eye
// and the replicas apply to them. Every cell access passes CheckedCellIndex,
// so a rule that reaches past the map reads 0 and writes nothing.
#include "game/map_cells.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "game/effects.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "sound/sound_play.h"

std::int32_t chipLayer[kMapCells];
std::int32_t attributeLayer[kMapCells];
std::int32_t chipTable[kChipTableSize];

namespace {

struct CellRule {
  std::int32_t code;
  std::int32_t chip;
  std::int32_t attribute;
};

// Switch codes, applied when the floor's switch is used or its boss falls.
constexpr CellRule kSwitchRules[] = {
    {9, 79, 120},   {10, 7, 50},    {91, 7, 50},    {11, 29, 51},   {97, 29, 51},  {12, 30, 63},  {96, 30, 63},
    {13, 36, 64},   {14, 28, 65},   {98, 28, 65},   {15, 68, 57},   {16, 69, 58},  {17, 70, 59},  {18, 71, 60},
    {19, 76, 61},   {20, 77, 62},   {21, 214, 5},   {22, 214, 6},   {23, 214, 7},  {24, 222, 8},  {102, 222, 8},
    {25, 209, 3},   {26, 217, 8},   {104, 217, 8},  {90, 0, 0},     {92, 92, 52},  {93, 93, 53},  {94, 94, 54},
    {95, 95, 55},   {99, 214, 5},   {100, 214, 6},  {101, 214, 7},  {103, 209, 3},
};

// Touch codes, applied when the player runs into them.
constexpr CellRule kTouchRules[] = {
    {105, 0, 0},   {106, 7, 50},  {107, 92, 52}, {108, 93, 53}, {109, 94, 54},
    {110, 95, 55}, {111, 30, 63}, {112, 36, 64}, {113, 28, 65}, {114, 214, 5},
    {115, 214, 6}, {116, 214, 7}, {117, 222, 8}, {118, 209, 3}, {119, 217, 8},
};

// Switch codes that also reveal a door or a shop (the touch codes that do
// are 114..116 and 118).
constexpr std::int32_t kSwitchDoorCodeFirst = 21;
constexpr std::int32_t kSwitchShopCode = 25;
constexpr std::int32_t kTouchDoorCodeFirst = 114;
constexpr std::int32_t kTouchShopCode = 118;
constexpr std::int32_t kTouchCodeDiscoveries[] = {111, 113, 114, 115, 116, 118};

constexpr int kTrueEyeChip = 78;
constexpr int kGateColumnFirst = 69;
constexpr int kGateColumnLast = 72;
// Gate row of each replica flag 12..15.
constexpr int kGateRows[] = {31, 19, 23, 11};

template <std::size_t N>
const CellRule* FindRule(const CellRule (&rules)[N], std::int32_t code) {
  for (const CellRule& rule : rules) {
    if (rule.code == code) return &rule;
  }
  return nullptr;
}

bool FloorNumberValid() { return floorNumber >= 0 && floorNumber < kFloorCount; }

// Door 1..3 of the current floor is seen: a link of -1 becomes 0.
void MarkDoorSeen(int door) {
  if (!FloorNumberValid()) return;
  std::int32_t& link = gameState.FloorProgress.doorLinks[floorNumber][door];
  if (link == -1) link = 0;
}

void MarkShopFound() {
  if (FloorNumberValid()) gameState.FloorProgress.shopFound[floorNumber] = 1;
}

void PlayEffectSound(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }

bool InField(int x, int y) { return x >= 0 && x <= kFieldRightPixel && y >= 0 && y <= kFieldBottomPixel; }

int slipperyCells = 0;  // cells of attributeLayer holding kAttrSlippery

}  // namespace

int CheckedCellIndex(int x, int y) {
  if (x < 0 || x >= kMapColumns || y < 0 || y >= kMapRows) return -1;
  return MapCellIndex(x, y);
}

std::int32_t ChipAt(int x, int y) {
  const int index = CheckedCellIndex(x, y);
  return index < 0 ? 0 : chipLayer[index];
}

std::int32_t AttributeAt(int x, int y) {
  const int index = CheckedCellIndex(x, y);
  return index < 0 ? 0 : attributeLayer[index];
}

bool AnySlipperyCell() { return slipperyCells > 0; }

void RecountSlipperyCells() {
  slipperyCells = static_cast<int>(std::count(std::begin(attributeLayer), std::end(attributeLayer), kAttrSlippery));
}

void SetCell(int x, int y, std::int32_t chip, std::int32_t attribute) {
  const int index = CheckedCellIndex(x, y);
  if (index < 0) return;
  slipperyCells += (attribute == kAttrSlippery ? 1 : 0) - (attributeLayer[index] == kAttrSlippery ? 1 : 0);
  chipLayer[index] = chip;
  attributeLayer[index] = attribute;
}

std::int32_t ChipTableValue(std::int32_t chip) {
  return chip >= 0 && chip < kChipTableSize ? chipTable[chip] : 0;
}

std::int32_t ReadAttributeAtPixel(int x, int y) {
  if (!InField(x, y)) return 0;
  return AttributeAt(x / kCellSize, y / kCellSize);
}

std::int32_t WriteTileTypeAtPixel(int x, int y) {
  if (!InField(x, y)) return 0;
  const int cellX = x / kCellSize;
  const int cellY = y / kCellSize;
  const std::int32_t code = AttributeAt(cellX, cellY);
  const CellRule* rule = FindRule(kTouchRules, code);
  if (rule == nullptr) return code;
  SetCell(cellX, cellY, rule->chip, rule->attribute);
  if (code >= kTouchDoorCodeFirst && code < kTouchDoorCodeFirst + 3) MarkDoorSeen(code - kTouchDoorCodeFirst + 1);
  if (code == kTouchShopCode) MarkShopFound();
  for (std::int32_t discovery : kTouchCodeDiscoveries) {
    if (code == discovery) PlayEffectSound(kSeDiscovery);
  }
  SpawnEffect(3, cellX * kCellSize + 16, cellY * kCellSize + 16);
  PlayEffectSound(kSeBlockBreak);
  return rule->attribute;
}

void ConvertMapCodes(int withEffects) {
  for (int x = 0; x < kMapColumns * kCellSize; x += kCellSize) {
    for (int y = 0; y < kMapRows * kCellSize; y += kCellSize) {
      const std::int32_t code = ReadAttributeAtPixel(x, y);
      const CellRule* rule = FindRule(kSwitchRules, code);
      if (rule == nullptr) continue;
      SetCell(x / kCellSize, y / kCellSize, rule->chip, rule->attribute);
      if (code >= kSwitchDoorCodeFirst && code < kSwitchDoorCodeFirst + 3) {
        MarkDoorSeen(code - kSwitchDoorCodeFirst + 1);
      }
      if (code == kSwitchShopCode) MarkShopFound();
      if (withEffects == 1) SpawnEffect(0, x + 16, y + 16);
    }
  }
}

void RevealTrueEyeBlocks() {
  if (player.ProgressFlags[kTrueEye] != 1) return;
  for (int x = 0; x < kMapColumns; ++x) {
    for (int y = 0; y < kMapRows; ++y) {
      if (AttributeAt(x, y) == kAttrHidden) SetCell(x, y, kTrueEyeChip, kAttrSolidBlock);
    }
  }
}

void ClearGateCellsByFlags() {
  for (int replica = 0; replica < 4; ++replica) {
    if (player.ProgressFlags[kFireRubyReplica + replica] != 1) continue;
    for (int x = kGateColumnFirst; x <= kGateColumnLast; ++x) SetCell(x, kGateRows[replica], 0, 0);
  }
}
