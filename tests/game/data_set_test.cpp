// The generated data set, as the game will read it: every picture decodes
// through the library at the size the sheet tables give, the cell-colour
// mode shows the advertised colour in every cell, every floor survives
// write, read, dump and compile and links to floors that have its entrances,
// and the sounds and settings are there. Generated once for the suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/file_access.h"
#include "game/map_format.h"
#include "image/image_decode.h"
#include "platform/text_codepage.h"
#include "sound/converter_fixture.h"
#include "support/scratch_folder.h"
#include "tools/datagen/data_set.h"
#include "tools/datagen/message_files.h"

namespace {

using qz::testing::ScratchFolder;
using M = MapFileData;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A picture decoded by the library's own decoders, read as 0xRRGGBB.
class DecodedPicture {
 public:
  explicit DecodedPicture(const std::string& path) {
    const std::string bytes = ReadFile(path);
    ok_ = !bytes.empty() && qz::DecodeImageBytesToBaseImage(nullptr, bytes.data(), bytes.size(), 1, &image_, 0) == 0;
  }
  ~DecodedPicture() {
    if (ok_) qz::FreeBaseImagePixels(&image_);
  }
  DecodedPicture(const DecodedPicture&) = delete;
  DecodedPicture& operator=(const DecodedPicture&) = delete;

  bool ok() const { return ok_; }
  int width() const { return static_cast<int>(image_.width); }
  int height() const { return static_cast<int>(image_.height); }
  std::uint32_t Rgb(int x, int y) const {
    const int size = image_.format.bytesPerPixel;
    const std::uint8_t* p = image_.pixels + static_cast<std::size_t>(y) * image_.pitch + static_cast<std::size_t>(x) * size;
    std::uint32_t packed = 0;
    for (int i = 0; i < size; ++i) packed |= std::uint32_t{p[i]} << (8 * i);
    int r = 0, g = 0, b = 0, a = 0;
    qz::UnpackColorByDescriptor(&image_.format, packed, &r, &g, &b, &a);
    return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
  }

 private:
  qz::BaseImage image_{};
  bool ok_ = false;
};

struct Grid {
  int cells, across, down, w, h;
};

// The sheets the game cuts at start-up, the trap sheets and the enemy
// sheets (one row of 16 cells of the kind's unscaled size), written out here
// from the game's tables rather than taken from the generator.
const std::map<std::string, Grid>& ExpectedSheets() {
  static const std::map<std::string, Grid> sheets = [] {
    std::map<std::string, Grid> m = {
        {"pat_player_RGB.png", {207, 23, 9, 64, 64}},      {"pat_player_RGB_squats.png", {27, 9, 3, 96, 64}},
        {"pat_player_RGB_dash.png", {21, 7, 3, 64, 64}},   {"pat_player_dash_shadow.png", {7, 7, 1, 64, 64}},
        {"pat_bullet01.png", {18, 6, 3, 24, 24}},          {"pat_bullet02.png", {96, 12, 8, 24, 24}},
        {"pat_bullet_laser01.png", {6, 6, 1, 3, 9}},       {"pat_bullet_laser02.png", {6, 1, 6, 9, 3}},
        {"chip_itembox.png", {4, 4, 1, 32, 32}},           {"chip_cube.png", {12, 6, 2, 32, 32}},
        {"pat_item.png", {36, 6, 6, 32, 32}},              {"st_bullet.png", {3, 3, 1, 32, 32}},
        {"st_magic_bar.png", {4, 4, 1, 9, 20}},            {"st_itemicon.png", {32, 8, 4, 32, 32}},
        {"st_field_icon.png", {8, 8, 1, 32, 32}},          {"st_font2.png", {15, 15, 1, 9, 16}},
        {"st_font3.png", {13, 13, 1, 12, 15}},             {"st_font4.png", {11, 11, 1, 12, 18}},
        {"st_font5.png", {10, 10, 1, 26, 32}},             {"st_status4.png", {5, 5, 1, 18, 18}},
        {"st_cursor2.png", {6, 6, 1, 48, 48}},             {"st_cursor3.png", {6, 6, 1, 34, 32}},
        {"st_map_icon.png", {4, 4, 1, 30, 28}},            {"ef_shot1.bmp", {12, 6, 2, 64, 64}},
        {"ef_shot2.bmp", {12, 6, 2, 64, 64}},              {"ef_shot3.bmp", {12, 6, 2, 64, 64}},
        {"ef_doublejump.bmp", {8, 4, 2, 96, 16}},          {"ef_bullet_change.bmp", {16, 16, 1, 40, 40}},
        {"ef_bullet_change2.bmp", {20, 10, 2, 80, 80}},    {"st_star.png", {6, 6, 1, 32, 32}},
        {"ef_hit01.bmp", {8, 8, 1, 24, 24}},               {"ef_hit02.bmp", {16, 13, 2, 48, 48}},
        {"ef_hit03.bmp", {12, 5, 3, 128, 128}},            {"ef_hit_blast.bmp", {16, 8, 2, 80, 80}},
        {"ef_bom01.bmp", {24, 8, 3, 80, 80}},              {"ef_block_break.bmp", {16, 8, 2, 48, 48}},
        {"ef_block_create.bmp", {16, 8, 2, 64, 64}},       {"ef_block_decreate.bmp", {16, 8, 2, 64, 64}},
        {"ef_mpcharge.bmp", {16, 16, 1, 32, 32}},
        {"circle_logo.png", {1, 1, 1, 640, 480}},          {"bg_floorback_blue.png", {1, 1, 1, 640, 480}},
        {"BG_Black.png", {1, 1, 1, 640, 480}},             {"mask_candle01.png", {1, 1, 1, 480, 480}},
        {"mask_candle02.png", {1, 1, 1, 480, 480}},
    };
    for (const char* name : {"st_font_floor.png", "st_font_time.png", "st_font_autosave.png", "st_font_inertia.png",
                             "st_font_jump.png", "st_status1.png", "st_cursor1.png", "st_gameover.png"}) {
      m[name] = {1, 1, 1, 0, 0};  // any size
    }
    for (const char* name : {"enemy_ニードルトラップ.png", "enemy_レーザートラップL.png", "enemy_レーザートラップR.png",
                             "enemy_レーザートラップD.png", "enemy_レーザートラップU.png"}) {
      m[name] = {6, 6, 1, 32, 32};
    }
    for (const char* colour : {"赤", "青", "緑"}) {
      m[std::string("enemy_シューター_") + colour + ".png"] = {4, 4, 1, 32, 32};
      m[std::string("enemy_マジックボール_") + colour + ".png"] = {5, 5, 1, 32, 32};
    }
    auto enemies = [&m](std::initializer_list<const char*> names, int w, int h) {
      for (const char* name : names) m[std::string("enemy_") + name + ".png"] = {16, 16, 1, w, h};
    };
    enemies({"スライム_青", "スライム_緑", "スライム_赤", "スライム_金", "スライム_黒", "スライムボス_青", "ウィスプボス_茶",
             "ブタヌキ_青", "ブタヌキ_黄", "ブタヌキ_赤", "ウィッチ", "モグラ_茶", "きのこ_緑", "バタフライ",
             "シェルダー_緑", "シェルダー_白", "ペンギン_青", "バルーンスライム_青", "スネーク_青", "ラット_茶",
             "ドラゴンヘッド_青", "リザード_青", "ボマー_赤", "目玉_紫"},
            64, 64);
    enemies({"ビー_黄", "ビー_赤", "ビー_黒", "バット_青", "バット_黄", "火の玉_赤", "火の玉_青"}, 32, 32);
    enemies({"ウィッチ2"}, 64, 96);
    enemies({"ガーディアン_水", "ガーディアン_土", "ガーディアン_風", "ガーディアン_火", "ムーン01", "ムーン02", "ムーン03",
             "サン"},
            96, 96);
    return m;
  }();
  return sheets;
}

const char* const kEffectNames[42] = {
    "se_ok",           "se_cansel",       "se_select",      "se_shot01",      "se_shot02",     "se_shot03",
    "se_change",       "se_jump01",       "se_jump02",      "se_jump03",      "se_nodamage",   "se_hit01",
    "se_hit02",        "se_enemy_shot01", "se_boxopen01",   "se_boxopen02",   "se_itemget01",  "se_itemget02",
    "se_fieldicon",    "se_warp",         "se_recovery",    "se_shoping",     "se_windowopen", "se_windowclose",
    "se_blockbreak",   "se_blast",        "se_blast2",      "se_blockcreate", "se_blockchange", "se_bom01",
    "se_keyswitch",    "se_shopopen",     "se_magicblock",  "se_dead",        "se_pipe",       "se_push",
    "se_infinitystar", "se_keyget",       "se_count",       "se_checkcube",   "se_discovery",  "se_magical"};

class DataSetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    readable_ = std::make_unique<ScratchFolder>();
    colours_ = std::make_unique<ScratchFolder>();
    std::string error;
    readableOk_ = datagen::WriteDataSet(readable_->root(), {}, &error);
    EXPECT_TRUE(readableOk_) << error;
    coloursOk_ = datagen::WriteDataSet(colours_->root(), {7, datagen::ArtStyle::kCellColours}, &error);
    EXPECT_TRUE(coloursOk_) << error;
  }
  static void TearDownTestSuite() {
    readable_.reset();
    colours_.reset();
  }
  void SetUp() override { ASSERT_TRUE(readableOk_ && coloursOk_); }

  static std::string Readable(const std::string& relative) { return readable_->Posix(relative); }
  static std::string Colours(const std::string& relative) { return colours_->Posix(relative); }

  static MapFileData LoadFloor(const std::string& name) {
    const std::string bytes = ReadFile(Readable("map/" + name + ".map"));
    MapFileData d;
    EXPECT_TRUE(ParseMapFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &d)) << name;
    return d;
  }

  static inline std::unique_ptr<ScratchFolder> readable_;
  static inline std::unique_ptr<ScratchFolder> colours_;
  static inline bool readableOk_ = false;
  static inline bool coloursOk_ = false;
};

TEST_F(DataSetTest, EveryPictureDecodesAtTheSizeOfItsSheetTable) {
  std::set<std::string> written;
  for (const datagen::ImageSpec& s : datagen::DataSetImages()) {
    written.insert(s.fileName);
    SCOPED_TRACE(s.fileName);
    for (const auto& path : {Readable("data_en/" + s.fileName), Colours("data_en/" + s.fileName)}) {
      const DecodedPicture picture(path);
      ASSERT_TRUE(picture.ok());
      EXPECT_EQ(picture.width(), s.across * s.cellWidth);
      EXPECT_EQ(picture.height(), s.down * s.cellHeight);
    }
    const auto expected = ExpectedSheets().find(s.fileName);
    if (expected == ExpectedSheets().end()) continue;  // chip sets and backgrounds: checked through the floors
    const Grid& g = expected->second;
    EXPECT_EQ(s.cells, g.cells);
    if (g.w == 0) continue;
    EXPECT_EQ(std::tie(s.across, s.down, s.cellWidth, s.cellHeight), std::tie(g.across, g.down, g.w, g.h));
  }
  for (const auto& [name, grid] : ExpectedSheets()) EXPECT_EQ(written.count(name), 1u) << name << " is missing";
  EXPECT_TRUE(std::filesystem::is_directory(Readable("text_en")));
  EXPECT_FALSE(std::filesystem::exists(Readable("debug.ini")));
}

// The game names its sheets in its code page ("\data_en\enemy_..." as CP932
// bytes); the files on disk carry UTF-8 names that the file layer must reach.
TEST_F(DataSetTest, TheGameReachesEveryPictureByItsCodePageName) {
  const std::string folder = readable_->Library("data_en");
  int japanese = 0;
  for (const datagen::ImageSpec& s : datagen::DataSetImages()) {
    std::string name;
    ASSERT_TRUE(plat::Utf8ToCodePageExact(s.fileName, &name)) << s.fileName;
    japanese += name != s.fileName;
    const qz::FileHandle file = qz::OpenFileForRead((folder + "\\" + name).c_str(), 0);
    EXPECT_NE(file, 0) << s.fileName;
    if (file != 0) qz::FileAccessClose(file);
  }
  EXPECT_EQ(japanese, 11 + 40) << "the trap and enemy sheets";
}

TEST_F(DataSetTest, CellColourModeShowsTheAdvertisedColourInEveryCell) {
  std::set<std::uint32_t> seen;
  for (const datagen::ImageSpec& s : datagen::DataSetImages()) {
    if (s.fileName.starts_with("mask_candle")) continue;  // masks keep their picture
    SCOPED_TRACE(s.fileName);
    const DecodedPicture picture(Colours("data_en/" + s.fileName));
    ASSERT_TRUE(picture.ok());
    for (int cell = 0; cell < s.cells; ++cell) {
      const int x = (cell % s.across) * s.cellWidth, y = (cell / s.across) * s.cellHeight;
      const std::uint32_t colour = datagen::CellColour(s.fileName, cell);
      EXPECT_EQ(picture.Rgb(x + s.cellWidth / 2, y + s.cellHeight / 2), colour) << "cell " << cell;
      EXPECT_EQ(picture.Rgb(x + s.cellWidth - 1, y + s.cellHeight - 1), colour) << "cell " << cell;
      EXPECT_EQ(picture.Rgb(x, y), 0x00FF00u) << "transparent corner of cell " << cell;
      EXPECT_NE(colour, 0x00FF00u);
      EXPECT_NE(colour, 0u);
      EXPECT_TRUE(seen.insert(colour).second) << "cell " << cell << " repeats a colour";
    }
  }
}

TEST_F(DataSetTest, ReadableArtHasTransparentAndOpaquePixelsInEverySpriteCell) {
  for (const datagen::ImageSpec& s : datagen::DataSetImages()) {
    const bool sprite = s.fileName.starts_with("pat_") || s.fileName.starts_with("enemy_") ||
                        s.fileName == "st_font5.png" || s.fileName == "pat_item.png";
    if (!sprite || std::min(s.cellWidth, s.cellHeight) < 9) continue;
    SCOPED_TRACE(s.fileName);
    const DecodedPicture picture(Readable("data_en/" + s.fileName));
    ASSERT_TRUE(picture.ok());
    for (int cell = 0; cell < s.cells; ++cell) {
      int transparent = 0, drawn = 0;
      const int x0 = (cell % s.across) * s.cellWidth, y0 = (cell / s.across) * s.cellHeight;
      for (int y = y0; y < y0 + s.cellHeight; ++y) {
        for (int x = x0; x < x0 + s.cellWidth; ++x) (picture.Rgb(x, y) == 0x00FF00u ? transparent : drawn)++;
      }
      EXPECT_GT(transparent, 0) << "cell " << cell;
      EXPECT_GT(drawn, s.cellWidth * s.cellHeight / 20) << "cell " << cell << " is nearly empty";
    }
  }
}

TEST_F(DataSetTest, EveryFloorSurvivesReadWriteDumpAndCompile) {
  std::set<std::string> maps;
  for (const auto& entry : std::filesystem::directory_iterator(Readable("map"))) {
    maps.insert(entry.path().filename().string());
  }
  ASSERT_EQ(maps.size(), datagen::BuiltInFloors().size());
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    SCOPED_TRACE(floor.name);
    const std::string file = ReadFile(Readable("map/" + floor.name + ".map"));
    const std::vector<std::uint8_t> bytes(file.begin(), file.end());
    MapFileData d;
    ASSERT_TRUE(ParseMapFile(bytes.data(), bytes.size(), &d));
    EXPECT_EQ(WriteMapFile(d), bytes);
    const std::string text = datagen::DumpFloorText(d);
    MapFileData again;
    std::string error;
    ASSERT_TRUE(datagen::CompileFloorText(text, &again, &error)) << error;
    EXPECT_EQ(WriteMapFile(again), bytes);
    EXPECT_EQ(datagen::DumpFloorText(again), text);
  }
}

TEST_F(DataSetTest, FloorsArePlayableAndTheirDoorsLeadToEntrancesThatExist) {
  ASSERT_TRUE(std::filesystem::exists(Readable("map/001.map")));
  bool darkFloor = false;
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    SCOPED_TRACE(floor.name);
    const MapFileData d = LoadFloor(floor.name);
    darkFloor |= d.mapFlags[1] == 1;
    EXPECT_GE(d.timeLimit, 40);
    EXPECT_TRUE(d.kindSet >= 1 && d.kindSet <= 9);
    const DecodedPicture chips(Readable("data_en/" + d.chipSetName));
    ASSERT_TRUE(chips.ok()) << d.chipSetName;
    EXPECT_EQ(chips.width(), 256);
    EXPECT_EQ(chips.height(), 896);
    if (!d.backgroundName.empty()) {
      const DecodedPicture background(Readable("data_en/" + d.backgroundName));
      EXPECT_TRUE(background.ok() && background.width() == 640 && background.height() == 480);
    }
    EXPECT_TRUE(std::filesystem::exists(Readable("sound/" + d.musicName))) << d.musicName;
    for (const M::Placement& enemy : d.enemyPlacements) EXPECT_LT(enemy.value, 8) << "trap slots are not placed";
    // The reachable field is closed by solid border cells; each entrance has
    // the cell below empty and solid ground two rows down.
    for (int x = 0; x < 76; ++x) {
      for (int y = 0; y < 47; ++y) {
        const int a = d.attributeLayer[M::CellIndex(x, y)];
        if (x == 0 || x == 75 || y == 0 || y == 46) {
          EXPECT_GE(a, 51) << "border cell " << x << "," << y;
        }
        if (a < 27 || a > 30 || y >= 45) continue;
        EXPECT_EQ(d.attributeLayer[M::CellIndex(x, y + 1)], 0) << "entrance " << a - 27;
        EXPECT_GE(d.attributeLayer[M::CellIndex(x, y + 2)], 50) << "entrance " << a - 27;
      }
    }
    // Every door in use leads to a built-in floor that has that entrance.
    for (int door = 0; door < 4; ++door) {
      bool cell = false;
      for (int i = 0; i < M::kCellCount; ++i) cell |= d.attributeLayer[i] == 4 + door;
      const M::Door& target = d.doors[door];
      if (!cell) continue;
      ASSERT_TRUE(target.targetFloor >= 1 && target.targetFloor <= 101) << "door " << door;
      if (target.targetFloor == 101) continue;  // the ending
      char name[4];
      std::snprintf(name, sizeof name, "%03d", target.targetFloor);
      const MapFileData next = LoadFloor(name);
      const int wanted = 27 + target.targetEntrance;
      EXPECT_TRUE(std::count(next.attributeLayer.begin(), next.attributeLayer.end(), wanted) >= 1)
          << "door " << door << " leads to floor " << name << " entrance " << target.targetEntrance;
    }
  }
  EXPECT_TRUE(darkFloor);
  const MapFileData last = LoadFloor("100");
  for (int row : {11, 19, 23, 31}) {
    for (int x = 69; x <= 72; ++x) {
      EXPECT_GE(last.attributeLayer[M::CellIndex(x, row)], 51) << "gate cell " << x << "," << row;
      EXPECT_NE(last.chipLayer[M::CellIndex(x, row)], 0) << "gate cell " << x << "," << row;
    }
  }
}

TEST_F(DataSetTest, FloorTextMistakesNameTheirLine) {
  MapFileData d;
  std::string error;
  EXPECT_FALSE(datagen::CompileFloorText("chipset a.png\nspeed 3\n", &d, &error));
  EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
  EXPECT_FALSE(datagen::CompileFloorText("cells\n##Q#\n", &d, &error)) << "no legend for Q";
  EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
  EXPECT_FALSE(datagen::CompileFloorText("cells\n" + std::string(79, '#') + "\n", &d, &error)) << "row too long";
  EXPECT_FALSE(datagen::CompileFloorText("door 4 1 0\n", &d, &error));
  EXPECT_FALSE(datagen::CompileFloorText("time 1 2\n", &d, &error));
  EXPECT_FALSE(datagen::CompileFloorText("music \\xZZ\n", &d, &error));
  std::string many;
  for (int i = 0; i < 17; ++i) many += "object 1 1 0\n";
  EXPECT_FALSE(datagen::CompileFloorText(many, &d, &error)) << "17 objects";

  // Names with any bytes and cells with more pairs than characters still
  // round-trip through the text form.
  MapFileData wide;
  wide.chipSetName = "chip \\ \xE3\x81\x82.png";
  for (int i = 0; i < M::kCellCount; ++i) wide.attributeLayer[i] = i % 300;
  ASSERT_TRUE(datagen::CompileFloorText(datagen::DumpFloorText(wide), &d, &error)) << error;
  EXPECT_EQ(WriteMapFile(d), WriteMapFile(wide));
}

// Art as a player meets it: the title's front layer scrolls up and wraps,
// so nothing of it spans the picture's width at either edge (hills would hang
// from the top); a chest's coin shows the status bar's gold coin; the empty
// magic pips and the bar's end stay visible over the black of a dark floor.
TEST_F(DataSetTest, TitleLayerCoinIconAndEmptyMagicPipsReadWhereTheyAreShown) {
  const DecodedPicture front(Readable("data_en/BG_Title01.png"));
  ASSERT_TRUE(front.ok());
  for (int x = 0; x < front.width(); ++x) {
    for (const int y0 : {0, front.height() - 100}) {
      bool clear = false;
      for (int y = y0; y < y0 + 100 && !clear; ++y) clear = front.Rgb(x, y) == 0x00FF00u;
      ASSERT_TRUE(clear) << "column " << x << " is covered from row " << y0;
    }
  }

  const DecodedPicture icons(Readable("data_en/st_itemicon.png"));
  const DecodedPicture status(Readable("data_en/st_status4.png"));
  ASSERT_TRUE(icons.ok() && status.ok());
  EXPECT_EQ(icons.Rgb(6 * 32 + 10, 16), status.Rgb(2 * 18 + 5, 9)) << "the coin's gold";

  const DecodedPicture bar(Readable("data_en/st_magic_bar.png"));
  ASSERT_TRUE(bar.ok());
  for (const auto& [x, y] : {std::pair{2 * 9, 0}, std::pair{2 * 9 + 7, 10}, std::pair{3 * 9 + 1, 10}}) {
    const std::uint32_t rgb = bar.Rgb(x, y);
    EXPECT_GE((rgb >> 16) + (rgb >> 8 & 0xFF) + (rgb & 0xFF), 0x180u) << std::hex << rgb << " at " << x;
  }
}

// The icon over the player at a door says "press Up here" alike for each of
// the floor's four doors: their index means nothing to the player.
TEST_F(DataSetTest, EveryDoorShowsTheSameFieldIconAndItDiffersFromTheSigns) {
  const DecodedPicture icons(Readable("data_en/st_field_icon.png"));
  ASSERT_TRUE(icons.ok());
  const auto sameCells = [&](int a, int b) {
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        if (icons.Rgb(32 * a + x, y) != icons.Rgb(32 * b + x, y)) return false;
      }
    }
    return true;
  };
  constexpr int kSignCell = 0, kFirstDoorCell = 3;
  for (int door = 1; door < 4; ++door) EXPECT_TRUE(sameCells(kFirstDoorCell, kFirstDoorCell + door)) << door;
  EXPECT_FALSE(sameCells(kSignCell, kFirstDoorCell));
}

// Every sign and boss page is shown whole by the message window, and the
// generator refuses a page that could not be.
TEST_F(DataSetTest, EveryMessagePageFitsTheMessageWindow) {
  int pages = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Readable("text_en"))) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("[MSG]") && !name.starts_with("[BOSS]")) continue;
    std::vector<std::string> lines;
    std::istringstream text(ReadFile(entry.path().string()));
    for (std::string line; std::getline(text, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    EXPECT_EQ(datagen::SignPageProblem(lines), "") << name;
    ++pages;
  }
  EXPECT_GT(pages, 20);

  EXPECT_EQ(datagen::SignPageProblem({std::string(52, 'w'), "", "", "", ""}), "");
  const std::string tooLong = datagen::SignPageProblem({"short", std::string(53, 'w')});
  EXPECT_NE(tooLong.find("a line of 53 characters"), std::string::npos) << tooLong;
  EXPECT_NE(datagen::SignPageProblem(std::vector<std::string>(6, "six lines")), "");
}

TEST_F(DataSetTest, SoundsAndSettingsAreThere) {
  ASSERT_EQ(datagen::SoundEffectNames().size(), 42u);
  for (int i = 0; i < 42; ++i) {
    EXPECT_EQ(datagen::SoundEffectNames()[i], std::string(kEffectNames[i]) + ".wav");
    const std::string wave = ReadFile(Readable("sound/" + std::string(kEffectNames[i]) + ".wav"));
    ASSERT_GT(wave.size(), 44u) << kEffectNames[i];
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(wave.substr(8, 8), "WAVEfmt ");
    const double seconds = static_cast<double>(wave.size() - 44) / (22050 * 2);
    EXPECT_TRUE(seconds >= 0.03 && seconds <= 0.2) << kEffectNames[i] << " lasts " << seconds;
  }
  for (const char* music : {"BGM_F001.mp3", "BGM_Ending.mp3", "BGM_StoneGet.mp3", "BGM_Title.mp3", "BGM_Shop.mp3"}) {
    const std::string mp3 = ReadFile(Readable(std::string("sound/") + music));
    ASSERT_GT(mp3.size(), 1000u) << music;
    // An MPEG audio frame header: sync bits, layer III.
    EXPECT_EQ(static_cast<unsigned char>(mp3[0]), 0xFF) << music;
    EXPECT_EQ(static_cast<unsigned char>(mp3[1]) & 0xE6, 0xE2) << music;
  }
  const std::string ini = ReadFile(Readable("save/config.ini"));
  for (const char* line : {"[Config]\r\n", "Screen mode=0\r\n", "Volume=80\r\n", "Confirm=0\r\n", "Cancel=1\r\n",
                           "Jump=0\r\n", "Shot=1\r\n", "Shot Change=2\r\n", "Dash=3\r\n", "Menu=4\r\n",
                           "Don't use 3D Acceleration=1\r\n"}) {
    EXPECT_NE(ini.find(line), std::string::npos) << line;
  }
}

// The music is decoded as the game decodes it: a tune sounds on through its
// loop point, the jingle starts and ends in silence, and no note starts or
// stops dead, a loop's seam included.
TEST_F(DataSetTest, MusicDecodesToAudibleLoopsThatRunOnThroughTheirSeams) {
  qz::InitStreamInterfaces();
  ASSERT_EQ(qz::LoadAcmEntryPoints(), 0);
  for (const std::string& name : datagen::MusicNames()) {
    SCOPED_TRACE(name);
    const std::string file = ReadFile(Readable("sound/" + name));
    qz::testing::ConverterOver converter(qz::testing::Bytes(file.begin(), file.end()));
    ASSERT_TRUE(converter.ok());
    plat::WaveFormatEx format{};
    ASSERT_EQ(qz::GetConverterPcmFormat(converter.get(), &format), 0);
    ASSERT_EQ(format.bitsPerSample, 16);
    const std::vector<std::int16_t> samples = qz::testing::ToSamples(converter.ReadAll());
    const std::size_t frames = samples.size() / format.channels;
    const double seconds = static_cast<double>(frames) / format.samplesPerSec;
    EXPECT_GE(seconds, name == "BGM_StoneGet.mp3" ? 0.2 : 2.0);
    // Levels of 1 ms windows: sound fades in from and out to silence, never
    // starts or stops dead.
    const std::size_t window = format.samplesPerSec / 1000 * format.channels;
    std::vector<double> levels;
    int loudest = 0;
    for (std::size_t start = 0; start + window <= samples.size(); start += window) {
      double sum = 0;
      for (std::size_t i = start; i < start + window; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
        loudest = std::max(loudest, std::abs(static_cast<int>(samples[i])));
      }
      levels.push_back(std::sqrt(sum / static_cast<double>(window)));
    }
    EXPECT_GT(loudest, 4000) << "audible";
    ASSERT_GT(levels.size(), 2u);
    if (name == "BGM_StoneGet.mp3") {
      EXPECT_LT(levels.front(), 50) << "starts at silence";
      EXPECT_LT(levels.back(), 50) << "ends at silence";
    } else {
      EXPECT_GT(std::min(levels.front(), levels.back()), 50) << "rests at the loop point";
    }
    for (std::size_t i = 0; i < levels.size(); ++i) {
      const double before = levels[(i + levels.size() - 1) % levels.size()];
      if (levels[i] < 50) {
        EXPECT_LT(before, 1500) << "a cut into silence at " << i << " ms";
      }
      if (before < 50) {
        EXPECT_LT(levels[i], 1500) << "a jump out of silence at " << i << " ms";
      }
    }
  }
  qz::FreeAcmEntryPoints();
}

// The masks are subtracted from the dark floor: black lets the light
// through, white is darkness, and the Eternal Candle's mask lights farther.
TEST_F(DataSetTest, CandleMasksAreLightInTheMiddleAndTheCandleReachesFarther) {
  for (const auto& path : {Readable("data_en/mask_candle01.png"), Colours("data_en/mask_candle01.png")}) {
    const DecodedPicture small(path);
    ASSERT_TRUE(small.ok());
    EXPECT_EQ(small.Rgb(240, 240), 0x000000u);
    EXPECT_EQ(small.Rgb(0, 0), 0xFFFFFFu);
    EXPECT_EQ(small.Rgb(240, 479), 0xFFFFFFu);
  }
  const DecodedPicture small(Readable("data_en/mask_candle01.png"));
  const DecodedPicture large(Readable("data_en/mask_candle02.png"));
  ASSERT_TRUE(large.ok());
  EXPECT_EQ(large.Rgb(240, 240), 0x000000u);
  EXPECT_EQ(large.Rgb(240 + 150, 240), 0x000000u) << "still light 150 pixels out";
  EXPECT_GT(small.Rgb(240 + 150, 240) & 0xFF, 0x80u) << "mostly dark 150 pixels out";
}

TEST_F(DataSetTest, AFolderThatCannotBeMadeIsReportedNotSkipped) {
  ScratchFolder scratch;
  scratch.Write("taken", "a file where the data set should go");
  std::string error;
  EXPECT_FALSE(datagen::WriteDataSet(scratch.Posix("taken"), {}, &error));
  EXPECT_NE(error.find("taken"), std::string::npos) << error;
}

TEST_F(DataSetTest, TheSameSeedWritesTheSameFiles) {
  ScratchFolder again;
  std::string error;
  ASSERT_TRUE(datagen::WriteDataSet(again.root(), {}, &error)) << error;
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(again.root())) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = std::filesystem::relative(entry.path(), again.root()).string();
    EXPECT_EQ(ReadFile(entry.path().string()), ReadFile(Readable(relative))) << relative;
    ++files;
  }
  EXPECT_GT(files, 150);
}

}  // namespace
