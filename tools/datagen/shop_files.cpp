// What each generated shop sells, written in the game's shop file layout:
// heading, background, keeper picture, then per row a note (the game skips
// it), the goods id and the sold-flag index (-1: sold without limit).
#include "tools/datagen/shop_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "game/map_format.h"
#include "tools/datagen/data_set.h"

namespace datagen {
namespace {

constexpr std::int32_t kShopAttribute = 3;

struct StockRow {
  const char* note;
  int goodsId;
  int soldFlagIndex;
};

struct ShopStock {
  const char* floor;
  const char* heading;
  const char* background;
  const char* keeper;
  StockRow rows[3];
};

// Sold-flag indexes are the game's 32 shop-sold flags: one per limited row of
// the whole campaign.
constexpr ShopStock kShops[] = {
    {"003", "Meadow Shop - welcome, traveller!", "BG_Shop01.png", "chara_shopkeeper01.png",
     {{"MP Up", 7, -1}, {"Blaze Shot", 8, 0}, {"Gravity Shot", 9, 1}}},
    {"041", "Forest Shop - coins for courage.", "BG_Shop01.png", "chara_shopkeeper01.png",
     {{"Hoverdash", 11, 2}, {"Blast Power", 14, 3}, {"Impact Power", 16, 4}}},
    {"056", "Snow Shop - warm wares for cold feet.", "BG_Shop01.png", "chara_shopkeeper01.png",
     {{"Blast Guard", 15, 5}, {"Blaze Shot", 8, 6}, {"MP Up", 7, -1}}},
    {"086", "Keep Shop - the last wares before the top floor.", "BG_Shop01.png", "chara_shopkeeper01.png",
     {{"Stability Pendant", 22, 7}, {"Gravity Shot", 9, 8}, {"MP Up", 7, -1}}},
    // The gallery's shop sells without limit, so it takes no sold flag of the campaign.
    {"090", "Gallery Shop - try anything.", "BG_Shop01.png", "chara_shopkeeper01.png",
     {{"MP Up", 7, -1}, {"Gravity Shot", 9, -1}, {"Magic Shot", 10, -1}}},
};

// A floor that does not compile has no shop here; WriteFloors reports it.
bool HasShopDoor(const FloorSource& floor) {
  MapFileData data;
  std::string ignored;
  return CompileFloorText(floor.text, &data, &ignored) &&
         std::find(data.attributeLayer.begin(), data.attributeLayer.end(), kShopAttribute) !=
             data.attributeLayer.end();
}

std::string ShopText(const ShopStock& shop) {
  std::string text = std::string(shop.heading) + "\r\n" + shop.background + "\r\n" + shop.keeper + "\r\n";
  for (const StockRow& row : shop.rows) {
    text += std::string("# ") + row.note + "\r\n" + std::to_string(row.goodsId) + "\r\n" +
            std::to_string(row.soldFlagIndex) + "\r\n";
  }
  return text;
}

}  // namespace

std::vector<int> ShopGoodsIds(std::string_view floor) {
  for (const ShopStock& shop : kShops) {
    if (floor == shop.floor) return {shop.rows[0].goodsId, shop.rows[1].goodsId, shop.rows[2].goodsId};
  }
  return {};
}

bool WriteShopFiles(const std::filesystem::path& folder, std::string* error) {
  for (const FloorSource& floor : BuiltInFloors()) {
    if (!HasShopDoor(floor)) continue;
    const auto shop = std::find_if(std::begin(kShops), std::end(kShops),
                                   [&](const ShopStock& s) { return floor.name == s.floor; });
    if (shop == std::end(kShops)) {
      if (error != nullptr) *error = "floor " + floor.name + " has a shop door but no stock";
      return false;
    }
    const std::filesystem::path path = folder / ("[SHOP] " + floor.name + ".txt");
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << ShopText(*shop);
    if (!file.good()) {
      if (error != nullptr) *error = "cannot write " + path.string();
      return false;
    }
  }
  return true;
}

}  // namespace datagen
