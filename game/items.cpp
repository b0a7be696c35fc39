// Pick-ups (magic, the infinity star, time) and the floor slots the player
// walks into: the key switch that converts the floor's switch codes with a
// white flash, the key, and the chest (chest.cpp).
#include "game/items.h"

#include "game/crossfade.h"
#include "game/effects.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/hud.h"
#include "game/map_cells.h"
#include "game/pools.h"
#include "graphics/color_value.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "sound/sound_play.h"

namespace {

constexpr int kMagicPipEffect = 4;
enum SlotType : int { kKeySwitch = 4, kKey = 5 };
enum PickUpType : int { kMagicSmall = 0, kMagicLarge = 1, kInfinityStar = 2, kTimeBonus = 3 };

void PlaySe(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }

// Open intervals (a, a + 24) and (lo, hi) overlap.
bool Overlaps(int a, int lo, int hi) { return a + 4 < hi && lo < a + 28; }

bool FloorNumberValid() { return floorNumber >= 0 && floorNumber < kFloorCount; }

void SetFloorItem(int entry) {
  if (FloorNumberValid()) gameState.FloorProgress.floorItems[floorNumber][entry] = 1;
}

// Converts the switch codes under a white flash, then fades into the result.
void UseKeySwitch(MapObjectRecord& slot) {
  slot.active = 0;
  PlaySe(kSeKeySwitch);
  CaptureScreen(oldScreen);
  qz::ClearDrawTarget(nullptr);
  qz::DrawSolidRectangle(0, 0, 640, 480, qz::MakeColorValue(255, 255, 255));
  ConvertMapCodes(1);
  DrawHud();
  CrossfadeToDrawnScreen(1);
  CaptureScreen(oldScreen);
  fadeRequest = 2;
  skipFade = 1;
  SetFloorItem(kSlotKeySwitch);
}

}  // namespace

int IsTouchingPlayer(int column, int row) {
  const bool across = Overlaps(column * kCellSize, player.x + 20, player.x + 44);
  const bool down = Overlaps(row * kCellSize, player.y + 8 + 28 * player.squat, player.y + 54);
  return across && down ? 1 : 0;
}

void CheckObjectTouch() {
  if (objectCount <= 0) return;
  const int before = player.magic;
  MapObjectRecord* touched = nullptr;
  for (MapObjectRecord& object : mapObjects) {
    if (object.active == 1 && IsTouchingPlayer(object.x, object.y) == 1) {
      touched = &object;
      break;
    }
  }
  if (touched == nullptr || AttributeAt(touched->x, touched->y) >= kAttrSolidFrom) return;
  switch (touched->type) {
    case kMagicSmall: player.magic += 5; break;
    case kMagicLarge: player.magic += 10; break;
    case kInfinityStar:
      player.magic += 99;
      player.infiniteMagic = 1;
      break;
    case kTimeBonus: AddFloorTime(10); break;
    default: break;
  }
  if (touched->type >= kMagicSmall && touched->type <= kTimeBonus) {
    PlaySe(touched->type == kInfinityStar ? kSeInfinityStar : kSeItemGet02);
  }
  if (player.magic > player.maxMagic) player.magic = player.maxMagic;
  touched->active = 0;
  for (int pip = before; pip < player.magic; ++pip) StartEffect(kMagicPipEffect, 16, pip, 0, 0, 0.0, 1.0);
}

void CollectItem() {
  MapObjectRecord* touched = nullptr;
  for (int i = kSlotKeySwitch; i <= kSlotChest; ++i) {
    MapObjectRecord& slot = floorSlots[i];
    if (slot.active == 1 && IsTouchingPlayer(slot.x, slot.y) == 1) {
      touched = &slot;
      break;
    }
  }
  if (touched == nullptr || AttributeAt(touched->x, touched->y) >= kAttrSolidFrom) return;
  if (touched->type == kKeySwitch) {
    UseKeySwitch(*touched);
  } else if (touched->type == kKey) {
    if (player.keys < kKeyCap) ++player.keys;
    touched->active = 0;
    SetFloorItem(kSlotKey);
    PlaySe(kSeKeyGet);
  } else {
    OpenChest(*touched);
  }
}
