// WriteDataSet: lays out the folders the game reads and fills them with the
// generated pictures, sounds, floors and settings. Also the cell colours of
// the test mode and the public view of the image table.
#include "tools/datagen/data_set.h"

#include <filesystem>
#include <fstream>

#include "tools/datagen/campaign_check.h"
#include "tools/datagen/canvas.h"
#include "tools/datagen/ground_depth.h"
#include "tools/datagen/image_files.h"
#include "tools/datagen/image_table.h"
#include "tools/datagen/message_files.h"
#include "tools/datagen/shared_sheet_check.h"
#include "tools/datagen/shop_files.h"
#include "tools/datagen/sound_synth.h"

namespace datagen {
namespace {

// Headless-friendly settings: a window, the software renderer, volume 80.
constexpr const char* kConfigIni =
    "[Config]\r\n"
    "Screen mode=0\r\n"
    "Volume=80\r\n"
    "Confirm=0\r\n"
    "Cancel=1\r\n"
    "Jump=0\r\n"
    "Shot=1\r\n"
    "Shot Change=2\r\n"
    "Dash=3\r\n"
    "Menu=4\r\n"
    "Don't use 3D Acceleration=1\r\n";

bool Fail(std::string* error, const std::string& message) {
  if (error != nullptr) *error = message;
  return false;
}

bool WriteFile(const std::filesystem::path& path, const void* data, std::size_t size, std::string* error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return file.good() || Fail(error, "cannot write " + path.string());
}

// The darkness masks keep their real picture in both styles: what they show
// is their meaning.
bool KeepsRealArt(const ImageEntry& entry) { return entry.art == Art::kMask; }

void PaintCellColours(const ImageSpec& s, Canvas& canvas) {
  for (int cell = 0; cell < s.cells; ++cell) {
    const int x = (cell % s.across) * s.cellWidth, y = (cell / s.across) * s.cellHeight;
    canvas.SetWindow(x, y, s.cellWidth, s.cellHeight);
    canvas.FillRect(0, 0, s.cellWidth, s.cellHeight, CellColour(s.fileName, cell));
    canvas.Put(0, 0, kTransparent);
  }
  canvas.ResetWindow();
}

bool WriteImages(const std::filesystem::path& folder, const DataSetOptions& options, std::string* error) {
  SharedSheetCheck enemySheets;
  for (const ImageEntry& entry : ImageEntries()) {
    const ImageSpec& s = entry.spec;
    Canvas canvas(s.across * s.cellWidth, s.down * s.cellHeight, kTransparent);
    if (options.art == ArtStyle::kCellColours && !KeepsRealArt(entry)) {
      PaintCellColours(s, canvas);
    } else {
      PaintReadableArt(entry, options.seed, canvas);
      if (entry.art == Art::kEnemy && !enemySheets.Add(s.fileName, canvas, error)) return false;
    }
    const std::string path = (folder / s.fileName).string();
    const bool written = s.fileName.ends_with(".bmp") ? WriteBmpFile(path, canvas, error)
                                                      : WritePngFile(path, canvas, error);
    if (!written) return false;
  }
  return true;
}

bool WriteFloors(const std::filesystem::path& folder, std::string* error) {
  for (const FloorSource& floor : BuiltInFloors()) {
    MapFileData data;
    std::string problem;
    if (!CompileFloorText(floor.text, &data, &problem)) return Fail(error, "floor " + floor.name + ": " + problem);
    ShadeGroundDepth(data);
    const std::vector<std::uint8_t> bytes = WriteMapFile(data);
    if (!WriteFile(folder / (floor.name + ".map"), bytes.data(), bytes.size(), error)) return false;
  }
  return true;
}

}  // namespace

std::uint32_t CellColour(std::string_view fileName, int cell) {
  const std::vector<ImageEntry>& entries = ImageEntries();
  // Green from the cell: times an odd number modulo 256 keeps the (at most
  // 224) cells of a sheet apart and neighbouring cells visibly different.
  const auto green = static_cast<std::uint32_t>((cell * 97) & 0xFF) << 8;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].spec.fileName == fileName) {
      // Red counts the image (0x20 and up: never black, never pure green);
      // blue only spreads neighbouring images apart.
      const auto red = static_cast<std::uint32_t>(0x20 + i) << 16;
      return red | green | (0x80 ^ ((i * 37) & 0x7F));
    }
  }
  // A name outside the table: red 0x01..0x1F from a hash of the name.
  std::uint32_t hash = 2166136261u;
  for (char c : fileName) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return (1 + hash % 0x1F) << 16 | green | (hash >> 24);
}

const std::vector<ImageSpec>& DataSetImages() {
  static const std::vector<ImageSpec> specs = [] {
    std::vector<ImageSpec> list;
    for (const ImageEntry& entry : ImageEntries()) list.push_back(entry.spec);
    return list;
  }();
  return specs;
}

bool WriteDataSet(const std::string& dir, const DataSetOptions& options, std::string* error) {
  const std::string unfair = CheckCampaign(BuiltInFloors());
  if (!unfair.empty()) return Fail(error, unfair);
  const std::filesystem::path root(dir);
  std::error_code ec;
  for (const char* sub : {"data_en", "sound", "map", "save", "text_en"}) {
    std::filesystem::create_directories(root / sub, ec);
    if (ec) return Fail(error, "cannot create " + (root / sub).string() + ": " + ec.message());
  }
  return WriteImages(root / "data_en", options, error) && WriteSounds((root / "sound").string(), options.seed, error) &&
         WriteFloors(root / "map", error) && WriteShopFiles(root / "text_en", error) &&
         WriteMessageFiles(root / "text_en", error) &&
         WriteFile(root / "save" / "config.ini", kConfigIni, std::char_traits<char>::length(kConfigIni), error);
}

}  // namespace datagen
