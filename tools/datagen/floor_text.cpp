// The floor text form: a header of "keyword values" lines, a legend that maps
// one character to a (chip, attribute) pair, and the 48 rows of 78 cells.
// Compiling then dumping then compiling gives the same bytes: the dump
// writes every field, a legend for every pair it uses and, when a floor has
// more pairs than there are characters, "cell" lines for the rest.
//
//   chipset chip_meadow.png        names run to the end of the line; \\ and
//   background BG_Meadow.png       \xNN escape other bytes
//   music BGM_F001.mp3
//   kindset 1
//   time 300
//   flags 0 1 0 0 0 0 0 0
//   door 0 2 0                     door, target floor, target entrance
//   enemy 30 42 0                  tile x, tile y, kind slot
//   object 14 39 0                 tile x, tile y, type
//   slot 1 1 40 36 5               slot, active, tile x, tile y, type
//   mover 12 30 1                  tile x, tile y, direction value
//   chiptable 1 120                chip, value (others 0)
//   header 0                       the unused first field
//   legend A 214 4                 character, chip, attribute
//   cells                          then up to 48 rows; short rows and missing
//   ####...                        rows are empty cells (chip 0, attribute 0)
//   cell 3 4 7 50                  x, y, chip, attribute (after the rows)
//   message 7 42 Line one|Line two the text of the sign at (7, 42); not part
//                                  of the map: FloorMessages reads it
#include <algorithm>
#include <charconv>
#include <iterator>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "game/map_cells.h"
#include "tools/datagen/data_set.h"

namespace datagen {
namespace {

using Pair = std::pair<std::int32_t, std::int32_t>;  // chip, attribute

struct LegendEntry {
  char c;
  Pair pair;
};

// Characters every floor may use without a legend line.
constexpr LegendEntry kDefaultLegend[] = {
    {'.', {0, kAttrEmpty}},            // empty
    {'#', {1, kAttrSolidBlock}},       // solid block (walls, border)
    {'G', {4, kAttrSolidFrom}},        // ground with grass on top
    {'D', {5, kAttrSolidFrom}},        // earth
    {'B', {6, kAttrSolidFrom}},        // stone block
    {'=', {7, kAttrOneWay}},           // one-way platform
    {'^', {92, kAttrSpikesUp}},        // spikes pointing up (hurt the feet)
    {'v', {93, kAttrSpikesDown}},      // spikes pointing down (hurt the head)
    {'S', {30, kAttrSpring}},          // spring
    {'I', {36, kAttrSlippery}},        // slippery ice
    {'C', {29, kAttrSolidFrom}},       // pushable crate
    {'w', {28, kAttrWarpBlock}},       // magic warp block
    {'%', {80, kAttrBreakableFirst}},  // breakable block
    {'r', {44, kAttrSwitchOpen0}},     // switch block of group 0, open
    {'R', {45, kAttrSwitchClosed0}},   // switch block of group 0, closed
    {'p', {68, kAttrPipeFirst}},       // pipe
    {'|', {37, kAttrWallFromRight}},   // wall passable from the left only
    {'x', {0, kAttrSwitchCodeFirst}},  // switch code 9: a solid block once the key switch is used
    {'h', {0, kAttrHidden}},           // hidden cell (solid once the True Eye shows it)
    {'g', {201, kAttrSolidBlock}},     // treasure gate (floor 100)
    {'~', {100, kAttrEmpty}},          // grass tuft, decoration
    {'0', {0, kAttrEntrance0}},        // entrance 0 (the player's top-left cell; ground two rows down)
    {'1', {0, kAttrEntrance0 + 1}},    // entrance 1
    {'2', {0, kAttrEntrance0 + 2}},    // entrance 2
    {'3', {0, kAttrEntrance0 + 3}},    // entrance 3
    {'a', {214, kAttrDoor0}},          // door 0 (upper cell, where the player's head is)
    {'b', {214, kAttrDoor0 + 1}},      // door 1
    {'c', {214, kAttrDoor0 + 2}},      // door 2
    {'d', {214, kAttrDoor0 + 3}},      // door 3
    {'_', {215, kAttrEmpty}},          // lower half of a door, under its upper cell
    {'$', {209, kAttrShop}},           // shop
    {'!', {200, kAttrSign}},           // sign board
    {'T', {199, kAttrEmpty}},          // sign post, under the board
    {'+', {0, kAttrRecoveryPoint}},    // recovery point
    {'k', {0, kAttrCheckCube}},        // check cube
};

// Printable characters the dump may give to pairs outside the default legend.
std::string SpareCharacters() {
  std::string spare;
  for (char c = '!'; c <= '~'; ++c) {
    if (std::none_of(std::begin(kDefaultLegend), std::end(kDefaultLegend), [c](const LegendEntry& e) { return e.c == c; })) {
      spare += c;
    }
  }
  return spare;
}

std::string Escape(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c == '\\' || c < 0x21 || c > 0x7E) {
      char buffer[5];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
      out += c == '\\' ? std::string("\\\\") : std::string(buffer);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool Unescape(std::string_view text, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\\') {
      *out += '\\';
      ++i;
      continue;
    }
    unsigned value = 0;
    if (i + 3 >= text.size() || text[i + 1] != 'x' ||
        std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16).ptr != text.data() + i + 4) {
      return false;
    }
    *out += static_cast<char>(value);
    i += 3;
  }
  return true;
}

// Whitespace-separated integers of the rest of a line; false unless exactly
// `count` of them.
bool ReadInts(std::string_view rest, std::size_t count, std::vector<std::int32_t>* values) {
  values->clear();
  std::size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
    if (i == rest.size() || rest[i] == '#') break;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(rest.data() + i, rest.data() + rest.size(), value);
    if (ec != std::errc() || (end != rest.data() + rest.size() && *end != ' ' && *end != '\t')) return false;
    values->push_back(value);
    i = static_cast<std::size_t>(end - rest.data());
  }
  return values->size() == count;
}

class FloorCompiler {
 public:
  explicit FloorCompiler(MapFileData* out) : d_(*out) {
    d_ = MapFileData();
    for (const LegendEntry& e : kDefaultLegend) legend_[e.c] = e.pair;
  }

  bool Compile(std::string_view text, std::string* error) {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++lineNumber_;
      if (!Line(line)) {
        if (error != nullptr) *error = "line " + std::to_string(lineNumber_) + ": " + problem_;
        return false;
      }
      start = end + 1;
    }
    return true;
  }

 private:
  bool Fail(const std::string& problem) {
    problem_ = problem;
    return false;
  }

  bool Line(std::string_view line) {
    if (row_ >= 0 && row_ < MapFileData::kRows && !line.starts_with("cell ")) return GridRow(line);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') return true;
    line = line.substr(first);
    const std::size_t space = line.find(' ');
    const std::string_view key = line.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    if (key == "chipset") return Name(rest, &d_.chipSetName);
    if (key == "background") return Name(rest, &d_.backgroundName);
    if (key == "music") return Name(rest, &d_.musicName);
    if (key == "cells") {
      if (row_ != -1) return Fail("a second cells block");
      row_ = 0;
      return true;
    }
    if (key == "legend") return Legend(rest);
    if (key == "message") return true;  // FloorMessages' business
    if (key == "mark") return true;     // FloorMarks' business
    std::vector<std::int32_t> v;
    auto ints = [&](std::size_t count) { return ReadInts(rest, count, &v) || Fail("expected " + std::to_string(count) + " numbers"); };
    if (key == "kindset") return ints(1) && Set(&d_.kindSet, v[0]);
    if (key == "time") return ints(1) && Set(&d_.timeLimit, v[0]);
    if (key == "header") return ints(1) && Set(&d_.header, v[0]);
    if (key == "flags") {
      if (!ints(MapFileData::kFlagCount)) return false;
      std::copy(v.begin(), v.end(), d_.mapFlags.begin());
      return true;
    }
    if (key == "door") {
      if (!ints(3)) return false;
      if (v[0] < 0 || v[0] >= MapFileData::kDoorCount) return Fail("door number outside 0..3");
      d_.doors[v[0]] = {v[1], v[2]};
      return true;
    }
    if (key == "slot") {
      if (!ints(5)) return false;
      if (v[0] < 0 || v[0] >= MapFileData::kSlotCount) return Fail("slot number outside 0..4");
      d_.slots[v[0]] = {v[1], v[2], v[3], v[4]};
      return true;
    }
    if (key == "chiptable") {
      if (!ints(2)) return false;
      if (v[0] < 0 || v[0] >= MapFileData::kChipTableSize) return Fail("chip outside 0..255");
      d_.chipTable[v[0]] = v[1];
      return true;
    }
    if (key == "enemy") return ints(3) && Add(&d_.enemyPlacements, v, MapFileData::kMaxEnemyPlacements, "enemies");
    if (key == "object") return ints(3) && Add(&d_.mapObjects, v, MapFileData::kMaxMapObjects, "objects");
    if (key == "mover") return ints(3) && Add(&d_.movingObjects, v, MapFileData::kMaxMovingObjects, "moving objects");
    if (key == "cell") {
      if (!ints(4)) return false;
      if (v[0] < 0 || v[0] >= MapFileData::kColumns || v[1] < 0 || v[1] >= MapFileData::kRows) return Fail("cell outside the grid");
      d_.chipLayer[MapFileData::CellIndex(v[0], v[1])] = v[2];
      d_.attributeLayer[MapFileData::CellIndex(v[0], v[1])] = v[3];
      return true;
    }
    return Fail("unknown keyword \"" + std::string(key) + "\"");
  }

  static bool Set(std::int32_t* field, std::int32_t value) {
    *field = value;
    return true;
  }

  bool Name(std::string_view rest, std::string* name) {
    if (!Unescape(rest, name)) return Fail("bad escape in name");
    if (name->size() > static_cast<std::size_t>(MapFileData::kMaxNameLength) || name->find('\0') != std::string::npos) {
      return Fail("name longer than 255 bytes or with a zero byte");
    }
    return true;
  }

  bool Legend(std::string_view rest) {
    std::vector<std::int32_t> v;
    if (rest.size() < 2 || rest[1] != ' ' || !ReadInts(rest.substr(2), 2, &v)) {
      return Fail("expected: legend CHARACTER CHIP ATTRIBUTE");
    }
    if (rest[0] == ' ') return Fail("a space cannot be a cell character");
    legend_[rest[0]] = {v[0], v[1]};
    return true;
  }

  bool Add(std::vector<MapFileData::Placement>* list, const std::vector<std::int32_t>& v, int limit,
           const char* what) {
    if (list->size() >= static_cast<std::size_t>(limit)) {
      return Fail(std::string("more than ") + std::to_string(limit) + " " + what);
    }
    list->push_back({v[0], v[1], v[2]});
    return true;
  }

  bool GridRow(std::string_view line) {
    if (line.size() > static_cast<std::size_t>(MapFileData::kColumns)) return Fail("a row longer than " + std::to_string(MapFileData::kColumns) + " cells");
    for (std::size_t x = 0; x < line.size(); ++x) {
      const auto found = legend_.find(line[x]);
      if (found == legend_.end()) return Fail(std::string("no legend for '") + line[x] + "'");
      d_.chipLayer[MapFileData::CellIndex(static_cast<int>(x), row_)] = found->second.first;
      d_.attributeLayer[MapFileData::CellIndex(static_cast<int>(x), row_)] = found->second.second;
    }
    ++row_;
    return true;
  }

  MapFileData& d_;
  std::map<char, Pair> legend_;
  int row_ = -1;  // -1 before "cells"; then the next grid row
  int lineNumber_ = 0;
  std::string problem_;
};

void PrintPlacements(std::ostringstream& out, const char* key, const std::vector<MapFileData::Placement>& list) {
  for (const MapFileData::Placement& p : list) out << key << ' ' << p.tileX << ' ' << p.tileY << ' ' << p.value << '\n';
}

}  // namespace

std::vector<FloorMessage> FloorMessages(std::string_view text) {
  std::vector<FloorMessage> messages;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "cells") break;
    if (!line.starts_with("message ")) continue;
    std::istringstream words(line.substr(8));
    FloorMessage message;
    words >> message.x >> message.y;
    std::string rest;
    std::getline(words, rest);
    if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    for (std::size_t start = 0;;) {
      const std::size_t bar = rest.find('|', start);
      message.lines.push_back(rest.substr(start, bar - start));
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
    messages.push_back(message);
  }
  return messages;
}

std::vector<FloorMark> FloorMarks(std::string_view text) {
  std::vector<FloorMark> marks;
  std::istringstream lines{std::string(text)};
  std::string line;
  int gridRowsLeft = 0;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (gridRowsLeft > 0 && !line.starts_with("cell ")) {
      --gridRowsLeft;
      continue;
    }
    if (line == "cells") gridRowsLeft = MapFileData::kRows;
    if (!line.starts_with("mark ")) continue;
    std::istringstream words(line.substr(5));
    FloorMark mark;
    if (words >> mark.name >> mark.x) marks.push_back(mark);
  }
  return marks;
}

bool CompileFloorText(std::string_view text, MapFileData* out, std::string* error) {
  if (out == nullptr) return false;
  return FloorCompiler(out).Compile(text, error);
}

std::string DumpFloorText(const MapFileData& d) {
  std::ostringstream out;
  out << "chipset " << Escape(d.chipSetName) << "\nbackground " << Escape(d.backgroundName) << "\nmusic "
      << Escape(d.musicName) << "\nkindset " << d.kindSet << "\ntime " << d.timeLimit << "\nflags";
  for (std::int32_t flag : d.mapFlags) out << ' ' << flag;
  out << '\n';
  if (d.header != 0) out << "header " << d.header << '\n';
  for (int i = 0; i < MapFileData::kDoorCount; ++i) {
    out << "door " << i << ' ' << d.doors[i].targetFloor << ' ' << d.doors[i].targetEntrance << '\n';
  }
  for (int i = 0; i < MapFileData::kSlotCount; ++i) {
    const MapFileData::Slot& s = d.slots[i];
    if (s.active != 0 || s.tileX != 0 || s.tileY != 0 || s.type != 0) {
      out << "slot " << i << ' ' << s.active << ' ' << s.tileX << ' ' << s.tileY << ' ' << s.type << '\n';
    }
  }
  PrintPlacements(out, "enemy", d.enemyPlacements);
  PrintPlacements(out, "object", d.mapObjects);
  PrintPlacements(out, "mover", d.movingObjects);
  for (int chip = 0; chip < MapFileData::kChipTableSize; ++chip) {
    if (d.chipTable[chip] != 0) out << "chiptable " << chip << ' ' << d.chipTable[chip] << '\n';
  }
  // Characters: the default legend's where it has the pair, then spare ones
  // for the most frequent other pairs; the rest become "cell" lines.
  std::map<Pair, int> counts;
  for (int i = 0; i < MapFileData::kCellCount; ++i) ++counts[{d.chipLayer[i], d.attributeLayer[i]}];
  std::map<Pair, char> chars;
  for (const LegendEntry& e : kDefaultLegend) {
    if (counts.count(e.pair) != 0) chars[e.pair] = e.c;
  }
  std::vector<std::pair<int, Pair>> others;
  for (const auto& [pair, count] : counts) {
    if (chars.count(pair) == 0) others.push_back({-count, pair});
  }
  std::sort(others.begin(), others.end());
  const std::string spare = SpareCharacters();
  std::size_t used = 0;
  for (const auto& [negativeCount, pair] : others) {
    if (used == spare.size()) break;
    chars[pair] = spare[used++];
    out << "legend " << chars[pair] << ' ' << pair.first << ' ' << pair.second << '\n';
  }
  // Cells without a character are printed as the first character in use and
  // set again by "cell" lines after the rows.
  const char filler = chars.begin()->second;
  std::ostringstream overrides;
  out << "cells\n";
  for (int y = 0; y < MapFileData::kRows; ++y) {
    std::string row(MapFileData::kColumns, filler);
    for (int x = 0; x < MapFileData::kColumns; ++x) {
      const int i = MapFileData::CellIndex(x, y);
      const auto found = chars.find({d.chipLayer[i], d.attributeLayer[i]});
      if (found != chars.end()) {
        row[x] = found->second;
      } else {
        overrides << "cell " << x << ' ' << y << ' ' << d.chipLayer[i] << ' ' << d.attributeLayer[i] << '\n';
      }
    }
    out << row << '\n';
  }
  out << overrides.str();
  return out.str();
}

}  // namespace datagen
