// What the player is told when the game cannot go on as asked: a floor file
// that is missing or damaged (named on stderr with the reason, a message
// window, back to the title with the save untouched), pictures and sounds that
// fail (named as on disk, missing or damaged), a start outside any data set,
// a second copy, no display, and a configuration file that lacks its keys.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/library.h"
#include "core/main_window.h"
#include "core/window_state.h"
#include "game/action_input.h"
#include "game/config_file.h"
#include "game/doors.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/save_file.h"
#include "game/title_windows.h"
#include "graphics/back_buffer_readback.h"
#include "platform/backend.h"
#include "platform/debug_output.h"
#include "platform/glyph_provider.h"
#include "platform/window.h"
#include "support/scratch_folder.h"
#include "tests/game/game_data_fixture.h"
#include "tools/scripted_play.h"

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The box of the back buffer's white pixels: text over art that is never white.
struct WhiteBox {
  int top = -1, left = kScreenWidth, right = -1;
};
WhiteBox WhiteTextOnScreen() {
  WhiteBox box;
  const plat::WinRect rect{0, 0, kScreenWidth, kScreenHeight};
  qz::BaseImage image{};
  EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -1), 0);
  for (int y = 0; y < kScreenHeight && image.pixels != nullptr; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(image.pixels + y * image.pitch);
    for (int x = 0; x < kScreenWidth; ++x) {
      if ((row[x] & 0xFFFFFF) != 0xFFFFFF) continue;
      if (box.top < 0) box.top = y;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x);
    }
  }
  qz::ReleaseBackBufferLockSurfaces();
  return box;
}

// The lines of captured stderr.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// What the call tells on stderr.
template <typename Call>
std::string Told(Call call) {
  testing::internal::CaptureStderr();
  call();
  return testing::internal::GetCapturedStderr();
}

// Environment variables unset for a scope, then put back as they were.
class UnsetVariables {
 public:
  explicit UnsetVariables(std::initializer_list<const char*> names) : names_(names) {
    for (const char* name : names_) {
      if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
      unsetenv(name);
    }
  }
  ~UnsetVariables() {
    for (const char* name : names_) unsetenv(name);
    for (const auto& [name, value] : saved_) setenv(name, value.c_str(), 1);
  }

 private:
  std::vector<const char*> names_;
  std::vector<std::pair<const char*, std::string>> saved_;
};

class RefusalTest : public qz::testing::GameDataTest {
 protected:
  std::string Bytes(const std::string& relative) const { return data_.Read(relative); }
};

// Art whose colours are never white, so white pixels are text.
class RefusalMessageTest : public RefusalTest {
 protected:
  void SetUp() override {
    plat::SetGlyphProviderForTest(&glyphs_);
    UseDataSet(datagen::ArtStyle::kCellColours);
  }
  void TearDown() override {
    RefusalTest::TearDown();
    plat::SetGlyphProviderForTest(nullptr);
  }
  plat::SyntheticGlyphProvider glyphs_;
};

struct FloorDamage {
  const char* name;
  void (*damage)(std::string& bytes);  // left empty: the file is deleted
  const char* reason;
};

class FloorRefusalTest : public RefusalTest, public ::testing::WithParamInterface<FloorDamage> {};

// Continue from a slot on floor 002 whose file is damaged: the message, one
// Confirm, and the title; the slot is not written.
TEST_P(FloorRefusalTest, ContinueOntoABadFloorTellsWhyAndReturnsToTheTitleWithTheSaveUntouched) {
  SaveRecord record{};
  record.maxMagic = kStartMaxMagic;
  record.shotLevel[0] = 1;
  record.mapName = "002";
  record.coins = 77;
  const std::vector<std::uint8_t> save = EncodeSaveRecord(record);
  data_.Write("save/SaveData01.sav", std::string(save.begin(), save.end()));
  std::string map = Bytes("map/002.map");
  GetParam().damage(map);
  if (map.empty()) {
    std::filesystem::remove(Path("map/002.map"));
  } else {
    data_.Write("map/002.map", map);
  }

  Start();
  veltrin::testing::ScriptedPlay play;
  // Slot 1, Continue; the message window's zoom, a Confirm, the way back.
  ASSERT_TRUE(play.Queue("-:40 J:1 -:20 J:1 -:60 J:1 -:40"));
  bool finished = false;
  const std::string told = Told([&] { finished = play.RunUntil([&] { return play.Finished(); }, 400); });
  ASSERT_TRUE(finished) << "the message waited past its Confirm";
  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_EQ(player.dead, 0);
  EXPECT_EQ(Bytes("save/SaveData01.sav"), std::string(save.begin(), save.end()));

  const std::vector<std::string> lines = Lines(told);
  ASSERT_EQ(lines.size(), 1u) << told;
  EXPECT_EQ(lines[0], "veltrin: floor file " + Path("map/002.map") + " refused: " + GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, FloorRefusalTest,
    ::testing::Values(FloorDamage{"Deleted", [](std::string& bytes) { bytes.clear(); }, "the file is missing"},
                      FloorDamage{"Truncated", [](std::string& bytes) { bytes.resize(bytes.size() / 2); },
                                  "it ends early (truncated)"},
                      FloorDamage{"RandomBytes", [](std::string& bytes) { bytes.assign(bytes.size(), '\xA5'); },
                                  "a name length is outside 0..255"},
                      FloorDamage{"OneTrailingByte", [](std::string& bytes) { bytes.push_back('\0'); },
                                  "it has bytes past its end"}),
    [](const ::testing::TestParamInfo<FloorDamage>& info) { return std::string(info.param.name); });

// The window shows one short centred line naming the floor (glyphs of a
// fixed advance of 8, white on the window).
TEST_F(RefusalMessageTest, TheMessageNamesTheFloorThatCouldNotBeLoaded) {
  std::filesystem::remove(Path("map/003.map"));
  Start();
  gameState.scene = kSceneFloorPlay;
  // A floor jump from 002 to 003 has chosen the new number.
  GameStringAssign(mapName, "002");
  floorNumber = 2;
  // Closing the window ends the scene at its first wait, the line drawn.
  plat::SimulateCloseRequest(qz::QueryMainWindowHandle());
  Told([] { EnterDoor(0, 1, 0); });
  const auto [top, left, right] = WhiteTextOnScreen();
  ASSERT_GE(top, 230);
  EXPECT_LT(top, 244);
  EXPECT_NEAR(left + right, 639, 2) << "centred";
  // "Floor 003 could not be loaded." is 30 characters.
  EXPECT_EQ(right - left, 29 * 8 + 5);
  EXPECT_STREQ(mapName.c_str(), "002") << "the floor left stays named";
  EXPECT_EQ(floorNumber, 1);
}

// A door's save on a full disk: the banner says so where "AUTO SAVE" would
// stand (white text over art that is never white), stderr names the file, and
// the old save stays. The temporaries a kill left behind, of every slot, of
// its damaged copy and of the settings writer, are gone once the game has
// started; the saves stay.
TEST_F(RefusalMessageTest, AnAutosaveThatFailsSaysSoOnTheBannerAndOnStderr) {
  data_.Write("save/SaveData01.sav", "the old save");
  const std::string stale[] = {"save/SaveData01.sav.tmp", "save/SaveData02.sav.tmp", "save/SaveData03.sav.tmp",
                               "save/SaveData01.sav.damaged.tmp", "save/SaveData03.sav.damaged.tmp"};
  for (const std::string& name : stale) data_.Write(name, "half a save");
  data_.Write("save/SaveData03.sav", "a third save");
  // The settings writer's temporaries: one of a process that ended (a child
  // gone), one of this live process, which may be writing it now.
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string endedTemporary = "save/.profile_" + std::to_string(ended) + "_Ab12Cd";
  const std::string liveTemporary = "save/.profile_" + std::to_string(getpid()) + "_Ef34Gh";
  data_.Write(endedTemporary, "[Config]\r\nVol");
  data_.Write(liveTemporary, "[Config]\r\n");
  Start();
  for (const std::string& name : stale) EXPECT_FALSE(data_.Exists(name)) << name;
  EXPECT_EQ(Bytes("save/SaveData03.sav"), "a third save");
  EXPECT_FALSE(data_.Exists(endedTemporary));
  EXPECT_TRUE(data_.Exists(liveTemporary));
  std::filesystem::create_symlink("/dev/full", Path("save/SaveData01.sav.tmp"));
  gameState.scene = kSceneFloorPlay;
  gameState.saveSlot = 1;
  GameStringAssign(mapName, "001");
  floorNumber = 0;
  const std::string told = Told([] { EnterDoor(0, 1, 1); });
  EXPECT_TRUE(Has(told, "veltrin: could not save to " + Path("save/SaveData01.sav") +
                            ": the disk is full; the previous save is kept\n"))
      << told;
  EXPECT_EQ(Bytes("save/SaveData01.sav"), "the old save");

  const WhiteBox box = WhiteTextOnScreen();
  EXPECT_GE(box.top, 440) << "the line stands at the banner's foot";
  EXPECT_NEAR(box.left, 17, 1) << "from the banner's left margin";
}

TEST_F(RefusalTest, FailedPicturesAndSoundsAreNamedAsOnDiskWithWhyTheyFailed) {
  const std::string font = Bytes("data_en/st_font3.png");
  data_.Write("data_en/st_font3.png", font.substr(0, font.size() / 2));
  std::filesystem::remove(Path("sound/se_jump02.wav"));
  const std::string chips = Bytes("data_en/chip_meadow.png");
  data_.Write("data_en/chip_meadow.png", chips.substr(0, 100));

  const std::string told = Told([this] {
    Start();
    gameState.scene = kSceneFloorPlay;
    GameStringAssign(mapName, "001");
    floorNumber = 0;
    EnterDoor(0, 1, 0);
  });
  EXPECT_EQ(gameState.scene, kSceneFloorPlay) << "the floor plays without its chips";
  EXPECT_EQ(chipGraphs[1], -1);

  const std::string damaged = ": the file is damaged or of an unknown format";
  EXPECT_EQ(Lines(told), (std::vector<std::string>{
                             "veltrin: could not load " + Path("data_en/st_font3.png") + damaged,
                             "veltrin: could not load " + Path("sound/se_jump02.wav") + ": the file is missing",
                             "veltrin: could not load " + Path("data_en/chip_meadow.png") + damaged,
                         }));
  EXPECT_FALSE(Has(told, "\\"));
}

TEST_F(RefusalTest, OutsideADataSetOneLineSaysHowToMakeOneAndNothingStarts) {
  qz::testing::ScratchFolder empty;
  std::filesystem::current_path(empty.root());
  const std::string told = Told([] { EXPECT_EQ(StartGame(), -1); });
  EXPECT_EQ(qz::IsLibraryInitialised(), 0);
  const std::vector<std::string> lines = Lines(told);
  ASSERT_EQ(lines.size(), 1u) << told;
  EXPECT_TRUE(Has(lines[0], "no data set found in " + empty.root())) << lines[0];
  EXPECT_TRUE(Has(lines[0], "./play.sh")) << lines[0];
  EXPECT_TRUE(Has(lines[0], "veltrin_data DIR")) << lines[0];
  EXPECT_TRUE(std::filesystem::is_empty(empty.root())) << "no log left in a folder not the game's";
}

// Each refusal to start says why, once, on stderr.
TEST_F(RefusalTest, ASecondCopyAndAStartWithoutADisplaySayWhyTheyStop) {
  const std::string className = qz::GetWindowSystemState().settings.className;
  plat::SimulateOtherInstance(className.c_str(), true);
  const std::string second = Told([] { EXPECT_EQ(StartGame(), -1); });
  plat::SimulateOtherInstance(className.c_str(), false);
  EXPECT_EQ(second, "veltrin: the game could not start: another copy is already running.\n");

  std::string noDisplay;
  {
    const UnsetVariables unset{"DISPLAY", "WAYLAND_DISPLAY", "QZ_BACKEND"};
    noDisplay = Told([] { EXPECT_EQ(RunGame(), -1); });
  }
  EXPECT_EQ(qz::IsLibraryInitialised(), 0);
  ASSERT_EQ(Lines(noDisplay).size(), 1u) << noDisplay;
  EXPECT_TRUE(Has(noDisplay, "veltrin: no display to open the game's window on (DISPLAY is not set)")) << noDisplay;

  // A display named but not there: SDL would fall back to its invisible
  // offscreen driver and the game would run unseen.
  std::string display = ":187";
  while (std::filesystem::exists("/tmp/.X11-unix/X" + display.substr(1))) display += "1";
  std::string deadDisplay;
  {
    const UnsetVariables unset{"DISPLAY", "WAYLAND_DISPLAY", "QZ_BACKEND", "SDL_VIDEODRIVER"};
    setenv("DISPLAY", display.c_str(), 1);
    plat::SetBackendKindForTest(plat::BackendKind::kDesktop);
    deadDisplay = Told([] { EXPECT_EQ(RunGame(), -1); });
    plat::SetBackendKindForTest(plat::BackendKind::kHeadless);
  }
  EXPECT_EQ(qz::IsLibraryInitialised(), 0);
  // The display libraries may print their own complaints; the game says it once.
  const std::vector<std::string> said = Lines(deadDisplay);
  ASSERT_EQ(std::count_if(said.begin(), said.end(), [](const std::string& line) { return line.starts_with("veltrin:"); }),
            1)
      << deadDisplay;
  EXPECT_TRUE(Has(deadDisplay, "veltrin: the game could not start: no display could be opened (DISPLAY=" + display))
      << deadDisplay;
}

// A misspelt backend is refused by its name, with the names that would do,
// instead of quietly running on another backend.
TEST_F(RefusalTest, AnUnknownBackendIsRefusedByName) {
  std::string said;
  {
    const UnsetVariables unset{"QZ_BACKEND"};
    setenv("QZ_BACKEND", "headles", 1);
    plat::ChooseBackendAgainForTest();
    plat::StartDebugCapture();
    EXPECT_EQ(plat::GetBackendKind(), plat::BackendKind::kRefused);
    EXPECT_EQ(plat::TakeDebugCapture(), "QZ_BACKEND=headles names no backend (the known ones: desktop, headless)\n")
        << "the debugger hears of the refusal when the choice is made";
    said = Told([] { EXPECT_EQ(RunGame(), -1); });
  }
  plat::SetBackendKindForTest(plat::BackendKind::kHeadless);
  EXPECT_EQ(qz::IsLibraryInitialised(), 0);
  EXPECT_EQ(said,
            "veltrin: the game could not start: QZ_BACKEND=headles names no backend (the known ones: desktop, "
            "headless).\n");
}

TEST_F(RefusalTest, AConfigurationLackingKeysNamesThemAndAnyButtonNumberShows) {
  const auto read = [this](const std::string& text) {
    data_.Write("save/config.ini", text);
    ReadStartDirectory();
    return Told(ReadConfigFile);
  };
  const std::string config = Path("save/config.ini");
  EXPECT_EQ(read("\x89\x50\x4E\x47 garbage\r\n=1\r\n[Conf"),
            "veltrin: " + config +
                " lacks the [Config] keys Screen mode, Volume, Confirm, Cancel, Jump, Shot, Shot Change, Dash, Menu, "
                "Don't use 3D Acceleration; their defaults are used\n");
  EXPECT_EQ(ButtonMap.confirm, 1);
  EXPECT_EQ(ButtonMap.menu, 8);
  EXPECT_EQ(volumePercent, 80);

  // A value equal to its default is present, not missing.
  EXPECT_EQ(read("[Config]\r\nScreen mode=0\r\nVolume=80\r\nConfirm=1\r\nCancel=1\r\nJump=0\r\nShot=1\r\n"
                 "Shot Change=0\r\nMenu=4\r\nDon't use 3D Acceleration=0\r\n"),
            "veltrin: " + config + " lacks the [Config] keys Dash; their defaults are used\n");
  EXPECT_EQ(ButtonMap.dash, 4);
  EXPECT_EQ(ButtonMap.cancel, 1);
  EXPECT_EQ(read(Bytes("save/config.ini") + "Dash=3\r\n"), "");

  // Any number the file holds shows in the configuration window's column.
  read("[Config]\r\nConfirm=2147483647\r\nMenu=-2147483648\r\n");
  EXPECT_STREQ(MakeConfigValueText(0).c_str(), "2147483648 ");
  EXPECT_STREQ(MakeConfigValueText(6).c_str(), "-2147483647 ");
  EXPECT_STREQ(MakeConfigValueText(8).c_str(), "7 ") << "the second spare";
  EXPECT_STREQ(MakeConfigValueText(9).c_str(), "");
}

}  // namespace
