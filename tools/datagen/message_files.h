// The message pages of the data set under text_en/: "[MSG] NNN XX-YY.txt" for
// every sign of every built-in floor, and the bosses' "[BOSS] NN.txt".
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace datagen {

// False with *error set when a file cannot be written, a sign board of a
// floor has no text or a page does not fit its window (SignPageProblem).
bool WriteMessageFiles(const std::filesystem::path& folder, std::string* error);

// Why a page of lines cannot be shown whole in the game's message window,
// or "" when it can: the window shows five lines, and of each line as many
// characters as the game's fixed-pitch font fits between its frame's sides.
std::string SignPageProblem(const std::vector<std::string>& lines);

// The file name of the sign page at cell (x, y) of floor `floor` ("001").
std::string SignFileName(const std::string& floor, int x, int y);

}  // namespace datagen
