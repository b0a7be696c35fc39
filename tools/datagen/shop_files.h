// The shops' text files of the data set: "[SHOP] NNN.txt" under text_en/ for
// every built-in floor whose map holds a shop door, naming what it sells.
#pragma once

#include <filesystem>
#include <string>

namespace datagen {

// False with *error set when a file cannot be written or a floor with a shop
// door has no stock of its own.
bool WriteShopFiles(const std::filesystem::path& folder, std::string* error);

}  // namespace datagen
