// Contact sheets: the data set's pictures read back through the library's
// decoder, cut by the generator's own sheet table, and laid out in pages a
// reviewer can open: each cell twice its size, its index under it, the colour
// key shown as a checker so silhouettes read.
#include "tools/contact_sheet.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>

#include "image/base_image.h"
#include "image/image_decode.h"
#include "tools/datagen/canvas.h"
#include "tools/datagen/data_set.h"
#include "tools/png_file.h"

namespace qz::tools {
namespace {

constexpr int kScale = 2;
constexpr int kPageWidth = 1088;
constexpr int kPageMaxHeight = 1600;
constexpr int kMargin = 16;
constexpr int kCellGap = 4;
constexpr int kIndexHeight = 10;  // the cell's index under it, in the 1x block font
constexpr int kLabelHeight = 22;  // the sheet's label above it, in the 2x block font
constexpr int kSheetGap = 12;
constexpr std::uint32_t kPageColour = 0x282830;
constexpr std::uint32_t kCheckerDark = 0x6C6C74, kCheckerLight = 0x84848C;
constexpr std::uint32_t kKeyColour = 0x00FF00;

// Words of the data set's file names and their English.
constexpr std::pair<std::string_view, std::string_view> kWords[] = {
    {"スライムボス", "SLIME BOSS"},
    {"バルーンスライム", "BALLOON SLIME"},
    {"スライム", "SLIME"},
    {"ビー", "BEE"},
    {"ウィスプボス", "WISP BOSS"},
    {"バット", "BAT"},
    {"ブタヌキ", "BEAST"},
    {"ウィッチ2", "SECOND WITCH"},
    {"ウィッチ", "WITCH"},
    {"モグラ", "MOLE"},
    {"きのこ", "MUSHROOM"},
    {"バタフライ", "BUTTERFLY"},
    {"シェルダー", "SHELL"},
    {"ペンギン", "PENGUIN"},
    {"ボマー", "BOMBER"},
    {"火の玉", "FIREBALL"},
    {"スネーク", "SNAKE"},
    {"目玉", "EYE"},
    {"ラット", "RAT"},
    {"ドラゴンヘッド", "DRAGON HEAD"},
    {"リザード", "LIZARD"},
    {"ガーディアン", "GUARDIAN"},
    {"ムーン", "MOON "},
    {"サン", "SUN"},
    {"ニードルトラップ", "NEEDLE TRAP"},
    {"レーザートラップ", "LASER TRAP "},
    {"シューター", "SHOOTER"},
    {"マジックボール", "MAGIC BALL"},
    {"青", "BLUE"},
    {"緑", "GREEN"},
    {"赤", "RED"},
    {"金", "GOLD"},
    {"黒", "BLACK"},
    {"黄", "YELLOW"},
    {"茶", "BROWN"},
    {"紫", "PURPLE"},
    {"白", "WHITE"},
    {"水", "WATER"},
    {"土", "EARTH"},
    {"風", "WIND"},
    {"火", "FIRE"},
};

// The sheets of the bosses (and the guardians, the last floors' keepers).
constexpr std::string_view kBossWords[] = {"スライムボス", "ウィスプボス",     "ウィッチ2",
                                           "バタフライ",   "バルーンスライム", "ドラゴンヘッド",
                                           "ガーディアン", "ムーン",           "サン"};

bool IsBoss(std::string_view name) {
  return std::any_of(std::begin(kBossWords), std::end(kBossWords),
                     [&](std::string_view word) { return name.find(word) != std::string_view::npos; });
}

// The group a picture is reviewed in, or empty for the pictures left out.
std::string GroupOf(std::string_view name) {
  if (name.ends_with(".bmp")) return "";
  if (name.starts_with("enemy_")) return IsBoss(name) ? "bosses" : "enemies";
  if (name.starts_with("pat_player")) return "player";
  if (name == "st_itemicon.png" || name == "pat_item.png") return "items";
  if (name.starts_with("chip_") && name != "chip_itembox.png" && name != "chip_cube.png") return "tiles";
  return "";
}

std::string TranslatePart(std::string_view part) {
  std::string text;
  while (!part.empty()) {
    const auto word =
        std::find_if(std::begin(kWords), std::end(kWords), [&](const auto& w) { return part.starts_with(w.first); });
    if (word != std::end(kWords)) {
      text += word->second;
      part.remove_prefix(word->first.size());
    } else {
      const char c = part.front();
      text += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : (c & 0x80) != 0 ? '?' : c;
      part.remove_prefix(1);
    }
  }
  return text;
}

// The English label of a picture's file name: its kind and colour words
// translated, e.g. "enemy_スライム_青.png" -> "SLIME BLUE".
std::string ContactLabel(const std::string& fileName) {
  std::string_view name = fileName;
  if (name.starts_with("enemy_")) name.remove_prefix(6);
  name = name.substr(0, name.rfind('.'));
  std::string label;
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t stop = std::min(name.find('_', start), name.size());
    if (!label.empty()) label += ' ';
    label += TranslatePart(name.substr(start, stop - start));
    start = stop + 1;
  }
  return label;
}

// A decoded picture as 0xRRGGBB.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

bool ReadPicture(const std::filesystem::path& path, Picture* picture) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  BaseImage image{};
  if (bytes.empty() || DecodeImageBytesToBaseImage(nullptr, bytes.data(), bytes.size(), 1, &image, 0) != 0) {
    return false;
  }
  picture->width = static_cast<int>(image.width);
  picture->height = static_cast<int>(image.height);
  picture->pixels.clear();
  for (int y = 0; y < picture->height; ++y) {
    for (int x = 0; x < picture->width; ++x) {
      int r = 0, g = 0, b = 0, a = 0;
      GetBaseImagePixel(&image, x, y, &r, &g, &b, &a);
      picture->pixels.push_back(static_cast<std::uint32_t>(r << 16 | g << 8 | b));
    }
  }
  FreeBaseImagePixels(&image);
  return true;
}

struct Sheet {
  datagen::ImageSpec spec;
  Picture picture;
};

int Across(const datagen::ImageSpec& s) {
  return std::max(1, (kPageWidth - 2 * kMargin) / (s.cellWidth * kScale + kCellGap));
}
int SheetHeight(const datagen::ImageSpec& s) {
  const int rows = (s.cells + Across(s) - 1) / Across(s);
  return kLabelHeight + rows * (s.cellHeight * kScale + kIndexHeight + kCellGap);
}

void DrawCell(datagen::Canvas& page, const Sheet& sheet, int cell, int x, int y) {
  const datagen::ImageSpec& s = sheet.spec;
  const int sx = (cell % s.across) * s.cellWidth, sy = (cell / s.across) * s.cellHeight;
  for (int cy = 0; cy < s.cellHeight; ++cy) {
    for (int cx = 0; cx < s.cellWidth; ++cx) {
      const std::uint32_t colour =
          sheet.picture.pixels[static_cast<std::size_t>(sy + cy) * sheet.picture.width + sx + cx];
      const bool lightSquare = ((cx / 4) + (cy / 4)) % 2 == 0;
      page.FillRect(x + cx * kScale, y + cy * kScale, kScale, kScale,
                    colour != kKeyColour ? colour
                    : lightSquare        ? kCheckerLight
                                         : kCheckerDark);
    }
  }
  page.Text(x, y + s.cellHeight * kScale + 2, std::to_string(cell), 1, 1, 0xC0C0C8, 0xC0C0C8);
}

void DrawSheet(datagen::Canvas& page, const Sheet& sheet, int top) {
  const datagen::ImageSpec& s = sheet.spec;
  page.Text(kMargin, top, ContactLabel(s.fileName), 2, 2, 0xFFFFFF, 0xFFFFFF);
  const int across = Across(s);
  for (int cell = 0; cell < s.cells; ++cell) {
    DrawCell(page, sheet, cell, kMargin + (cell % across) * (s.cellWidth * kScale + kCellGap),
             top + kLabelHeight + (cell / across) * (s.cellHeight * kScale + kIndexHeight + kCellGap));
  }
}

// Lays the sheets of one group out in pages and writes them.
bool WritePages(const std::string& group, const std::vector<Sheet>& sheets, const std::filesystem::path& outDir,
                std::vector<std::string>* written, std::string* error) {
  std::size_t first = 0;
  for (int number = 1; first < sheets.size(); ++number) {
    std::size_t end = first;
    int height = kMargin;
    while (end < sheets.size() && (end == first || height + SheetHeight(sheets[end].spec) <= kPageMaxHeight)) {
      height += SheetHeight(sheets[end++].spec) + kSheetGap;
    }
    datagen::Canvas page(kPageWidth, height + kMargin, kPageColour);
    for (int top = kMargin; first < end; top += SheetHeight(sheets[first++].spec) + kSheetGap) {
      DrawSheet(page, sheets[first], top);
    }
    const std::string path = (outDir / ("contact_" + group + std::to_string(number) + ".png")).string();
    if (!WriteFramePng(path, page.width(), page.height(), page.pixels())) {
      *error = "cannot write " + path;
      return false;
    }
    written->push_back(path);
  }
  return true;
}

}  // namespace

std::vector<std::string> WriteContactSheets(const std::filesystem::path& dataDir, const std::filesystem::path& outDir,
                                            std::string* error) {
  std::vector<std::pair<std::string, std::vector<Sheet>>> groups;
  for (const datagen::ImageSpec& spec : datagen::DataSetImages()) {
    const std::string group = GroupOf(spec.fileName);
    if (group.empty()) continue;
    Sheet sheet{spec, {}};
    const std::filesystem::path path = dataDir / "data_en" / spec.fileName;
    if (!ReadPicture(path, &sheet.picture) || sheet.picture.width != spec.across * spec.cellWidth ||
        sheet.picture.height != spec.down * spec.cellHeight) {
      *error = "cannot read " + path.string() + " at its sheet's size";
      return {};
    }
    auto found = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == group; });
    if (found == groups.end()) found = groups.insert(groups.end(), {group, {}});
    found->second.push_back(std::move(sheet));
  }
  std::vector<std::string> written;
  for (const auto& [group, sheets] : groups) {
    if (!WritePages(group, sheets, outDir, &written, error)) return {};
  }
  return written;
}

}  // namespace qz::tools
