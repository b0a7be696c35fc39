// The shop (scene 3): what the open shop offers, and the purchase rule its
// dialog applies. EnterShop and UpdateShopScene are declared in screens.h.
// A shop reads "\text_en\[SHOP] " + map name + ".txt"; missing lines of a
// short file read as empty, goods ids outside the 32 icons draw nothing, and
// ids without goods cost -1 and cannot be bought. The shop window's two
// pictures, the same in every shop, are loaded once with the sprites; each
// shop composes its background and picture under them.
#pragma once

#include <cstdint>

#include "game/game_string.h"

inline constexpr int kShopRows = 3;
inline constexpr int kShopSoldFlags = 32;

// The three goods rows of the open shop, filled by EnterShop from its text
// file and the goods table.
struct ShopStockRecord {
  std::int32_t goodsId[kShopRows];
  std::int32_t soldFlagIndex[kShopRows];  // 0..31, or -1 for goods sold without limit
  std::int32_t price[kShopRows];          // coins; -1 sold out or nothing to sell
  GameString priceText[kShopRows];        // at least two characters; empty with nothing to sell
  GameString goodsName[kShopRows];
  GameString description1[kShopRows];
  GameString description2[kShopRows];
};

extern ShopStockRecord shopStock;

struct ShopPurchase {
  GameString message;  // "... purchased.", "Not enough coins." or "... is sold out."
  bool bought;
};

// Buys row 0..2 if the coins suffice and it is not sold out: pays, marks a
// limited row sold and applies the goods.
ShopPurchase BuyShopRow(int row);
