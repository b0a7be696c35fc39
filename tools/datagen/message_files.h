// The message pages of the data set under text_en/: "[MSG] NNN XX-YY.txt" for
// every sign of every built-in floor, and the bosses' "[BOSS] NN.txt".
#pragma once

#include <filesystem>
#include <string>

namespace datagen {

// False with *error set when a file cannot be written or a sign board of a
// floor has no text.
bool WriteMessageFiles(const std::filesystem::path& folder, std::string* error);

// The file name of the sign page at cell (x, y) of floor `floor` ("001").
std::string SignFileName(const std::string& floor, int x, int y);

}  // namespace datagen
