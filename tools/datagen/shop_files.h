// The shops' text files of the data set: "[SHOP] NNN.txt" under text_en/ for
// every built-in floor whose map holds a shop door, naming what it sells.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace datagen {

// False with *error set when a file cannot be written or a floor with a shop
// door has no stock of its own.
bool WriteShopFiles(const std::filesystem::path& folder, std::string* error);

// The goods ids the shop of floor `floor` ("003") sells, row by row; empty
// for a floor without stock.
std::vector<int> ShopGoodsIds(std::string_view floor);

}  // namespace datagen
