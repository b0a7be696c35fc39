// Arbitrary bytes as floor 001's shop file ("\text_en\[SHOP] 001.txt"): the
// shop is entered (file read, stock filled, picture composed from the names
// it gives), drawn for two frames, and each row is bought with coins enough.
#include <cstdint>
#include <cstdlib>

#include "fuzz/game_fuzz_harness.h"
#include "game/game_state.h"
#include "game/screens.h"
#include "game/shop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrin::fuzz::LiveGame& game = veltrin::fuzz::LiveGame::Get();
  const veltrin::fuzz::LiveGame::InputScope input = game.BeginInput();
  ResetNewGame();
  GameStringAssign(mapName, "001");
  floorNumber = 0;
  gameState.scene = kSceneFloorPlay;
  game.WriteGameFile(GamePath("\\text_en\\[SHOP] 001.txt"), data, size);

  EnterShop();
  if (gameState.scene != kSceneShop) std::abort();
  RunFrame();
  RunFrame();
  player.coins = 1000000;
  for (int row = 0; row < kShopRows; ++row) {
    const ShopPurchase purchase = BuyShopRow(row);
    if (purchase.bought && shopStock.soldFlagIndex[row] >= 0 && shopStock.soldFlagIndex[row] < kShopSoldFlags &&
        BuyShopRow(row).bought) {
      std::abort();  // a limited row sells once
    }
  }
  return 0;
}
