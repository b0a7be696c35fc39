// The game's data set generator: writes an original, complete set of
// pictures, sounds, floors and settings into a folder, deterministic from a
// seed. Used by the tests (which generate it once per process) and by the
// `veltrin_data` tool that ./play.sh runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/map_format.h"

namespace datagen {

enum class ArtStyle {
  kReadable,     // shapes a person can play with
  kCellColours,  // every cell one flat colour, CellColour(), for pixel probes
};

struct DataSetOptions {
  std::uint32_t seed = 1;
  ArtStyle art = ArtStyle::kReadable;
};

// Writes the whole data set under dir (created): data_en/, sound/, map/,
// save/config.ini and text_en/ with the shops' files. False with *error set
// on failure.
bool WriteDataSet(const std::string& dir, const DataSetOptions& options, std::string* error);

// kCellColours: the opaque colour 0xRRGGBB that fills cell `cell` of the
// image `fileName` (the name as on disk, e.g. "pat_item.png"); the top-left
// pixel of every cell is the transparent colour 0x00FF00 instead. Never
// 0x00FF00, never black; distinct for every (image, cell) of the data set.
std::uint32_t CellColour(std::string_view fileName, int cell);

// One picture of data_en/: a sheet of `cells` cells cut row by row, `across`
// by `down` cells of cellWidth x cellHeight (a single image is one cell).
// The file is exactly across*cellWidth by down*cellHeight pixels.
struct ImageSpec {
  std::string fileName;  // UTF-8, as on disk
  int cells;
  int across;
  int down;
  int cellWidth;
  int cellHeight;
};
// Every picture WriteDataSet writes, in a fixed order.
const std::vector<ImageSpec>& DataSetImages();

// The sound effects ("se_ok.wav", ... in the game's load order) and the
// music files ("BGM_F001.mp3", ...) under sound/.
const std::vector<std::string>& SoundEffectNames();
const std::vector<std::string>& MusicNames();

// The floors built into the generator: name ("001") and text form.
struct FloorSource {
  std::string name;
  std::string text;
};
const std::vector<FloorSource>& BuiltInFloors();

// The floor text form: compiles it into the map record (false with *error
// naming the line on a mistake), and prints a record back as text that
// compiles to the same bytes.
bool CompileFloorText(std::string_view text, MapFileData* out, std::string* error);

// The sign texts of a floor text ("message X Y line|line" lines before the
// cells): the cell of the sign board and the lines of its page.
struct FloorMessage {
  int x = 0;
  int y = 0;
  std::vector<std::string> lines;
};
std::vector<FloorMessage> FloorMessages(std::string_view text);
// The places a floor text names for the campaign's routes ("mark NAME X"
// lines, X a cell column, anywhere but in the cells grid): not part of the
// floor's data.
struct FloorMark {
  std::string name;
  int x = 0;
};
std::vector<FloorMark> FloorMarks(std::string_view text);
std::string DumpFloorText(const MapFileData& data);

}  // namespace datagen
