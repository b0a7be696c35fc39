// The goods every shop sells, keyed by goods id: name, price, two lines of
// description and what a purchase does. A shop's text file only names ids;
// everything a player pays for and receives is fixed here.
#pragma once

// What buying a row does to the player.
enum class GoodsEffect { kMaxMagic, kShotLevel, kItemFlag };

struct ShopGoods {
  int id;  // also the item icon drawn for the row
  const char* name;
  int price;  // coins
  const char* description1;
  const char* description2;
  GoodsEffect effect;
  int target;  // shot kind 0..2 or item flag index; unused for kMaxMagic
};

// The goods of an id, or null for ids without goods (23..26 and outside 7..27).
const ShopGoods* FindShopGoods(int id);
// Applies one purchase of the goods: Max MP + 2, a shot level + 1, or an item
// flag (True Eye reveals the floor's hidden blocks, Eternal Candle swaps the
// darkness mask at once). No upper limit; ids without goods do nothing.
void ApplyShopGoods(int id);
