// Effects draw cell `frame` of their kind's sheet; a frame past the sheet
// draws nothing rather than reading past the handle table.
#include "game/effects.h"

#include <cstddef>

#include "core/random.h"
#include "game/floor_play.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/pools.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"

namespace {

constexpr double kDegree = 0.017453292;

struct EffectType {
  int kind;
  int duration;
  bool randomAngle;
  double scale;
};

constexpr EffectType kEffectTypes[] = {
    {13, 16, true, 1.5}, {8, 16, false, 1.0}, {17, 16, true, 1.5},
    {12, 16, true, 1.0}, {7, 8, true, 1.0},   {16, 20, true, 5.0}, {9, 12, false, 1.0},
};

enum class DrawStyle {
  kNone,
  kAroundPlayer,  // rotated about (sx + 20, sy + 20), x relative to the player
  kMagicPip,      // fixed on the HUD over magic pip `param`
  kShotIcon,      // fixed on the HUD over the shot icon
  kPlain,         // at (sx, sy), opaque
  kRotated,       // rotated at (sx, sy) with scale and angle, transparent
};

struct EffectKind {
  const int* cells;
  int cellCount;
  DrawStyle style;
};

template <std::size_t N>
EffectKind Kind(const int (&cells)[N], DrawStyle style) {
  return {cells, static_cast<int>(N), style};
}

EffectKind KindOf(int kind) {
  switch (kind) {
    case 0: return Kind(sheets.shotFlash1, DrawStyle::kAroundPlayer);
    case 1: return Kind(sheets.shotFlash2, DrawStyle::kAroundPlayer);
    case 2: return Kind(sheets.shotFlash3, DrawStyle::kAroundPlayer);
    case 4: return Kind(sheets.mpCharge, DrawStyle::kMagicPip);
    case 5: return Kind(sheets.bulletChange, DrawStyle::kShotIcon);
    case 7: return Kind(sheets.hit01, DrawStyle::kPlain);
    case 8: return Kind(sheets.hit02, DrawStyle::kPlain);
    case 9: return Kind(sheets.hit03, DrawStyle::kRotated);
    case 10: return Kind(sheets.bom01, DrawStyle::kRotated);
    case 11: return Kind(sheets.hitBlast, DrawStyle::kRotated);
    case 12: return Kind(sheets.blockBreak, DrawStyle::kRotated);
    case 13: return Kind(sheets.blockCreate, DrawStyle::kRotated);
    case 14: return Kind(sheets.bulletChange, DrawStyle::kRotated);
    case 15: return Kind(sheets.doubleJump, DrawStyle::kPlain);
    case 16: return Kind(sheets.bulletChange2, DrawStyle::kRotated);
    case 17: return Kind(sheets.blockDecreate, DrawStyle::kRotated);
    default: return {nullptr, 0, DrawStyle::kNone};  // kinds 3 and 6 draw nothing
  }
}

void DrawEffect(const EffectRecord& effect) {
  const EffectKind kind = KindOf(effect.kind);
  if (kind.style == DrawStyle::kNone || effect.frame < 0 || effect.frame >= kind.cellCount) return;
  const int graph = kind.cells[effect.frame];
  const int relativeTo = kind.style == DrawStyle::kAroundPlayer ? player.x : 0;
  const int sx = static_cast<int>(effect.x) + relativeTo - cameraX;
  const int sy = static_cast<int>(effect.y) - cameraY;
  switch (kind.style) {
    case DrawStyle::kAroundPlayer: qz::BlitGraphRotated(sx + 20, sy + 20, 1.0, effect.angle, graph, 0, 0); break;
    case DrawStyle::kMagicPip: qz::BlitGraph((effect.param + 10) * 9, 1, graph, 0); break;
    case DrawStyle::kShotIcon: qz::BlitGraph(4, 4, graph, 0); break;
    case DrawStyle::kPlain: qz::BlitGraph(sx, sy, graph, 0); break;
    case DrawStyle::kRotated: qz::BlitGraphRotated(sx, sy, effect.scale, effect.angle, graph, 1, 0); break;
    case DrawStyle::kNone: break;
  }
}

}  // namespace

int StartEffect(int kind, int duration, int param, double x, double y, double angle, double scale) {
  const int slot = FindFreeSlot(kPoolEffects);
  if (slot < 0) return -1;
  effects[slot] = EffectRecord{x, y, kind, 0, duration, param, angle, scale, 1};
  ++effectCount;
  return slot;
}

void SpawnEffect(int type, int x, int y) {
  if (type < 0 || type >= static_cast<int>(std::size(kEffectTypes))) return;
  if (FindFreeSlot(kPoolEffects) < 0) return;
  const EffectType& spec = kEffectTypes[type];
  const double angle = spec.randomAngle ? qz::GetRandomUpTo(360) * kDegree : 0.0;
  StartEffect(spec.kind, spec.duration, 1, x, y, angle, spec.scale);
}

void DrawEffects() {
  if (effectCount == 0) return;
  qz::SetBlendModeAndParam(2, 255);
  // Also bounded by the pool, should an owner's count ever run high.
  for (int i = 0; i < kEffectPoolSize && effectCount > 0; ++i) {
    EffectRecord& effect = effects[i];
    if (effect.inUse == 0) continue;
    DrawEffect(effect);
    if (++effect.frame >= effect.duration) {
      effect.inUse = 0;
      --effectCount;
    }
  }
  qz::SetBlendModeAndParam(0, 0);
}
