// Sign pages come from the "message" lines of the floor texts; the boss pages
// are written here, one for each boss the campaign's halls hold.
#include "tools/datagen/message_files.h"

#include <cstdio>
#include <fstream>

#include "game/map_format.h"
#include "tools/datagen/data_set.h"

namespace datagen {
namespace {

constexpr std::int32_t kSignAttribute = 1;
// The message window is 544 pixels wide with a 4-pixel frame; its text is
// centred on the screen in the game's font of size 18, whose half-width
// characters advance 10 pixels: 52 of them leave 8 pixels inside each side.
constexpr std::size_t kWindowLineCharacters = 52;
constexpr std::size_t kWindowLines = 5;

constexpr const char* kBossPages[] = {
    "The Slime King blocks the meadow's last hall.|Stay behind the stone and let your Blaze Shot fly.",
    "The Wisp crawls along the cavern walls.|Shoot through the window; it cannot follow you out.",
    "The Second Witch guards the sky gate. Her bullets|break on the pillars: shoot between them.",
    "The Butterfly drifts up and down the forest hall.|Wait until she comes down to your shots.",
    "The Balloon Slime cannot hurt you, only push.|Keep your back to the wall and keep firing.",
    "The Dragon Head rides up and down the castle wall.|Climb the ledges level with it and keep firing.",
    "The Sun and the Moon wait on the last floor.|Each replica you hold opens one of its gates.",
};

bool WriteText(const std::filesystem::path& path, const std::vector<std::string>& lines, std::string* error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  for (std::size_t i = 0; i < lines.size(); ++i) file << lines[i] << (i + 1 < lines.size() ? "\r\n" : "");
  if (file.good()) return true;
  if (error != nullptr) *error = "cannot write " + path.string();
  return false;
}

std::vector<std::string> SplitPage(const char* page) {
  std::vector<std::string> lines;
  const std::string text(page);
  for (std::size_t start = 0;;) {
    const std::size_t bar = text.find('|', start);
    lines.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos) return lines;
    start = bar + 1;
  }
}

}  // namespace

std::string SignFileName(const std::string& floor, int x, int y) {
  char name[32];
  std::snprintf(name, sizeof name, "[MSG] %s %02d-%02d.txt", floor.c_str(), x, y);
  return name;
}

bool WriteMessageFiles(const std::filesystem::path& folder, std::string* error) {
  for (const FloorSource& floor : BuiltInFloors()) {
    MapFileData data;
    if (!CompileFloorText(floor.text, &data, nullptr)) continue;  // WriteFloors reports it
    const std::vector<FloorMessage> messages = FloorMessages(floor.text);
    for (int x = 0; x < MapFileData::kColumns; ++x) {
      for (int y = 0; y < MapFileData::kRows; ++y) {
        if (data.attributeLayer[MapFileData::CellIndex(x, y)] != kSignAttribute) continue;
        const FloorMessage* page = nullptr;
        for (const FloorMessage& m : messages) {
          if (m.x == x && m.y == y) page = &m;
        }
        if (page == nullptr) {
          if (error != nullptr) *error = "floor " + floor.name + ": the sign at " + std::to_string(x) + "," +
                                         std::to_string(y) + " has no message";
          return false;
        }
        if (const std::string problem = SignPageProblem(page->lines); !problem.empty()) {
          if (error != nullptr) *error = "floor " + floor.name + ": the sign at " + std::to_string(x) + "," +
                                         std::to_string(y) + " " + problem;
          return false;
        }
        if (!WriteText(folder / SignFileName(floor.name, x, y), page->lines, error)) return false;
      }
    }
  }
  for (std::size_t boss = 0; boss < std::size(kBossPages); ++boss) {
    char name[32];
    std::snprintf(name, sizeof name, "[BOSS] %02zu.txt", boss);
    const std::vector<std::string> lines = SplitPage(kBossPages[boss]);
    if (const std::string problem = SignPageProblem(lines); !problem.empty()) {
      if (error != nullptr) *error = std::string(name) + " " + problem;
      return false;
    }
    if (!WriteText(folder / name, lines, error)) return false;
  }
  return true;
}

std::string SignPageProblem(const std::vector<std::string>& lines) {
  if (lines.size() > kWindowLines) {
    return "has " + std::to_string(lines.size()) + " lines; the message window shows " +
           std::to_string(kWindowLines);
  }
  for (const std::string& line : lines) {
    if (line.size() > kWindowLineCharacters) {
      return "has a line of " + std::to_string(line.size()) + " characters, more than the " +
             std::to_string(kWindowLineCharacters) + " its window holds: \"" + line + "\"";
    }
  }
  return "";
}

}  // namespace datagen
