// The shop's goods table and the effect of a purchase.
#include "game/shop_goods.h"

#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/trap_graphics.h"

namespace {

constexpr int kMagicPerPurchase = 2;

constexpr ShopGoods kShopGoodsTable[] = {
    {7, "MP Up", 2, "Increases magic capacity.", "Max MP increased by 2.", GoodsEffect::kMaxMagic, 0},
    {8, "Blaze Shot", 3, "Shoots fireballs to attack.", "Boosts shot range.", GoodsEffect::kShotLevel, 0},
    {9, "Gravity Shot", 3, "Uses gravity to push enemies.", "Boosts shot range.", GoodsEffect::kShotLevel, 1},
    {10, "Magic Shot", 3, "Transforms enemies into blocks.", "Boosts shot range.", GoodsEffect::kShotLevel, 2},
    {11, "Hover Dash", 5, "Enhances movement with magic.", "Glides over traps, but can't stop instantly.",
     GoodsEffect::kItemFlag, kHoverdash},
    {12, "High Jump", 5, "Magic feather that makes you feel lighter.", "You can now jump higher.",
     GoodsEffect::kItemFlag, kHighJump},
    {13, "Break Power", 5, "Upgrades the Blaze Shot.", "Some walls can now be destroyed.", GoodsEffect::kItemFlag,
     kBreakPower},
    {14, "Blast Power", 5, "Upgrades the Blaze Shot.", "Explosion now forms on impact.", GoodsEffect::kItemFlag,
     kBlastPower},
    {15, "Blast Guard", 5, "Upgrades the Blaze Shot.", "Impact blast now clears bullets.", GoodsEffect::kItemFlag,
     kBlastGuard},
    {16, "Impact Power", 5, "Upgrades the Gravity Shot.", "Some blocks can now be moved.", GoodsEffect::kItemFlag,
     kImpactPower},
    {17, "Chain Ring", 5, "Upgrades the Magic Shot.", "Shot now reacts to magic blocks.", GoodsEffect::kItemFlag,
     kChainRing},
    {18, "Create Power", 5, "Upgrades the Magic Shot.", "Shot now creates blocks on impact.", GoodsEffect::kItemFlag,
     kCreatePower},
    {19, "True Eye", 5, "Magic eye that sees through everything.", "Previously invisible blocks will now appear.",
     GoodsEffect::kItemFlag, kTrueEye},
    {20, "Eternal Candle", 5, "Magic torch that never goes out.", "Lights up dark areas.", GoodsEffect::kItemFlag,
     kEternalCandle},
    {21, "Hourglass", 10, "An hourglass that lets you take it easy.", "Slightly increases time limit on all floors.",
     GoodsEffect::kItemFlag, kHourglass},
    {22, "Stability Pendant", 8, "Possesses the power to stabilize space-time.",
     "Slightly lessens the effects of inertia.", GoodsEffect::kItemFlag, kStabilityPendant},
    {27, "Airdash", 10, "Upgraded version of the hoverdash.", "You can now dash once in mid-air.",
     GoodsEffect::kItemFlag, kAirdash},
};

}  // namespace

const ShopGoods* FindShopGoods(int id) {
  for (const ShopGoods& goods : kShopGoodsTable) {
    if (goods.id == id) return &goods;
  }
  return nullptr;
}

void ApplyShopGoods(int id) {
  const ShopGoods* goods = FindShopGoods(id);
  if (goods == nullptr) return;
  switch (goods->effect) {
    case GoodsEffect::kMaxMagic: player.maxMagic += kMagicPerPurchase; break;
    case GoodsEffect::kShotLevel: player.shotLevel[goods->target] += 1; break;
    case GoodsEffect::kItemFlag:
      player.ProgressFlags[goods->target] = 1;
      // Both take effect on the floor the player returns to.
      if (goods->target == kTrueEye) RevealTrueEyeBlocks();
      if (goods->target == kEternalCandle) LoadCandleMask();
      break;
  }
}
