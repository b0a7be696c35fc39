// Contact sheets of a data set's sprite art for review: every enemy and boss
// sheet, the player's sheets, the item icons and pick-ups and the area tile
// sets, each cell at twice its size on a grey checker, labelled in English.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qz::tools {

// Writes contact_<group><n>.png pages under outDir from dataDir/data_en and
// returns their paths; empty with *error set when a sheet cannot be read or a
// page cannot be written.
std::vector<std::string> WriteContactSheets(const std::filesystem::path& dataDir, const std::filesystem::path& outDir,
                                            std::string* error);

}  // namespace qz::tools
