// The shop on the started game, driven by keys frame by frame and, inside its
// blocking dialog and result message, by a key script that answers them the
// way a player would: the shop file's parsing and its faulty rows, buying
// with the sold-out mark surviving a save and a load, the dialog's answer
// mid-slide, the cursor's resting places, and the ways out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/file_access.h"
#include "core/main_window.h"
#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/doors.h"
#include "game/floor_play.h"
#include "game/game_assets.h"
#include "game/game_entry.h"
#include "game/game_state.h"
#include "game/map_format.h"
#include "game/music.h"
#include "game/save_file.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "game/shop.h"
#include "game/shop_goods.h"
#include "graphics/graph_handles.h"
#include "platform/window.h"
#include "sound/sound_play.h"
#include "tests/game/frame_keys.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/game_screen_probe.h"
#include "tests/game/scripted_keys.h"

namespace {

// Keys of pad 1 and the pad-word bits they set: button 0 Confirm, 1 Cancel.
constexpr std::uint32_t kConfirmKey = 'Z', kCancelKey = 'X';
constexpr std::uint32_t kConfirmBit = 0x10, kUpBit = 0x8;
constexpr int kDialogNoY = 258, kDialogYesY = 234;

using qz::testing::Frames;
using qz::testing::Hold;
using qz::testing::Press;

// Keys pressed from inside the game's own loops: the scripted keys' driver
// runs the first waiting step once its condition holds. The game pumps as it
// reads the keyboard, so a step acts before the next input read.
class KeyScript {
 public:
  using Condition = std::function<bool()>;
  using Action = std::function<void()>;

  void Press(std::uint32_t key, Condition when) { Add(std::move(when), [this, key] { held_.insert(key); }); }
  void Release(std::uint32_t key, Condition when) { Add(std::move(when), [this, key] { held_.erase(key); }); }
  // A press once the condition holds, released once the game has read it.
  void Tap(std::uint32_t key, std::uint32_t bit, Condition when) {
    Press(key, std::move(when));
    Release(key, [bit] { return (padState & bit) != 0; });
  }
  // True from ms milliseconds after the step before it acted.
  Condition After(int ms) const {
    return [this, ms] { return qz::ElapsedMilliseconds(qz::GetMillisecondCount(), lastActed_) >= ms; };
  }
  bool Done() const { return next_ == steps_.size(); }

  // Runs frames until every step has acted, and two more. A game left
  // waiting in one of its loops with nothing more to come is closed, so a
  // wrong answer fails the test instead of hanging it.
  void Run() {
    next_ = 0;
    stalled_ = false;
    held_.clear();
    lastActed_ = qz::GetMillisecondCount();
    {
      qz::testing::ScriptedKeys keys([this] { return NextKeys(); });
      for (int frame = 0; frame < kFrameLimit && !Done() && !stalled_ && gameState.quitRequested == 0; ++frame) {
        RunFrame();
      }
      RunFrame();
      RunFrame();
    }
    EXPECT_TRUE(Done() && !stalled_) << "stalled after step " << next_ << " of " << steps_.size();
  }

 private:
  static constexpr int kStallMilliseconds = 5000;
  static constexpr int kFrameLimit = 1000;
  void Add(Condition when, Action act) { steps_.emplace_back(std::move(when), std::move(act)); }
  std::set<std::uint32_t> NextKeys() {
    if (qz::ElapsedMilliseconds(qz::GetMillisecondCount(), lastActed_) > kStallMilliseconds) {
      if (!stalled_) plat::SimulateCloseRequest(qz::QueryMainWindowHandle());
      stalled_ = true;
      return held_;
    }
    if (!Done() && steps_[next_].first()) {
      steps_[next_++].second();
      lastActed_ = qz::GetMillisecondCount();
    }
    return held_;
  }

  std::vector<std::pair<Condition, Action>> steps_;
  std::set<std::uint32_t> held_;
  std::size_t next_ = 0;
  std::int32_t lastActed_ = 0;
  bool stalled_ = false;
};

// The dialog's loop runs: its cursor rests on "No" (tests park it at 0 first).
bool DialogWaits() { return DialogCursor.y == kDialogNoY && DialogCursor.moving == 0; }

class ShopTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    UseDataSet(datagen::ArtStyle::kCellColours);
    Start();
    mapName = GameString("001");
    floorNumber = 0;
    gameState.scene = kSceneFloorPlay;
    gameState.saveSlot = 1;
    EnterDoor(0, 1, 0);
    Frames(3);
    ASSERT_EQ(gameState.scene, kSceneFloorPlay);
  }
  void TearDown() override {
    for (std::uint32_t key : {kConfirmKey, kCancelKey, std::uint32_t{plat::VK_UP}, std::uint32_t{plat::VK_DOWN},
                              std::uint32_t{plat::VK_ESCAPE}}) {
      plat::SimulateKey(qz::QueryMainWindowHandle(), key, false);
    }
    GameDataTest::TearDown();
  }
  // A tap of a direction and the 8 frames that bring the cursor to rest.
  static void Move(std::uint32_t key) {
    Hold({key});
    Frames(8);
  }
  void WriteShop(const std::string& lines) { data_.Write("text_en/[SHOP] 001.txt", lines); }
  // Floor play raises the shop's event; the next frame fades into the shop.
  static void OpenShop() {
    player.eventCode = 3;
    RunFrame();
    ASSERT_EQ(gameState.scene, kSceneShop);
    RunFrame();
  }
  // Confirm on the cursor's row, then the dialog answered Yes by sliding up
  // to it, then the result message dismissed.
  static void BuyWithDialog() {
    DialogCursor.y = 0;
    KeyScript script;
    script.Tap(kConfirmKey, kConfirmBit, [] { return true; });
    script.Tap(plat::VK_UP, kUpBit, DialogWaits);
    script.Tap(kConfirmKey, kConfirmBit, [] { return DialogCursor.y == kDialogYesY && DialogCursor.moving == 0; });
    script.Tap(kConfirmKey, kConfirmBit, script.After(40 * kFrameMilliseconds));
    script.Run();
  }
  // Pure red text pixels in a box of the screen.
  static int RedPixels(int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const std::uint32_t p = qz::testing::ScreenPixel(x, y);
        if ((p >> 16) >= 0xE0 && ((p >> 8) & 0xFF) <= 0x30 && (p & 0xFF) <= 0x30) ++n;
      }
    }
    return n;
  }
  // Red in the "Sold Out" place of goods row i, and none left of it.
  static bool ShowsSoldOut(int row) {
    const int y = 141 + 54 * row;
    return RedPixels(488, y, 560, y + 16) > 0 && RedPixels(470, y, 488, y + 16) == 0;
  }
};

constexpr const char* kStock =
    "Test Shop\r\nBG_Shop01.png\r\nchara_shopkeeper01.png\r\n"
    "# MP Up, without limit\r\n7\r\n-1\r\n"
    "# High Jump, once\r\n12\r\n5\r\n"
    "# Hourglass\r\n21\r\n-1\r\n";

TEST_F(ShopTest, ShopFileRowsParseAndBadRowsSellNothing) {
  std::filesystem::remove(Path("text_en/[SHOP] 001.txt"));
  player.eventCode = 3;
  RunFrame();
  EXPECT_EQ(player.eventCode, 0);
  EXPECT_EQ(gameState.scene, kSceneFloorPlay) << "no file, no shop";
  EXPECT_EQ(fadeRequest, 0);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeShopOpen]), 0);

  // Numbers as atoi reads them; an empty line, an id past the 32 icons, and
  // a sold-flag index past the 32 flags.
  WriteShop("Odd Shop\r\nBG_Shop01.png\r\n-\r\nx\r\n 12abc\r\n7\r\nx\r\n99\r\n\r\nx\r\n9\r\n77\r\n");
  OpenShop();
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeShopOpen]), 1);
  EXPECT_EQ(shopStock.goodsId[0], 12);
  EXPECT_STREQ(shopStock.goodsName[0].c_str(), "High Jump");
  EXPECT_STREQ(shopStock.priceText[0].c_str(), " 5");
  EXPECT_EQ(shopStock.soldFlagIndex[1], 0);
  EXPECT_EQ(shopStock.price[1], -1) << "no goods, no price";
  EXPECT_STREQ(shopStock.priceText[1].c_str(), "");
  EXPECT_STREQ(shopStock.priceText[2].c_str(), " 3");
  const std::uint32_t room = datagen::CellColour("BG_Shop01.png", 0);
  EXPECT_EQ(qz::testing::ScreenPixel(200, 470), room) << "\"-\": no keeper";
  // Icons by goods id; none for an id outside the sheet.
  EXPECT_EQ(qz::testing::ScreenPixel(452, 151), datagen::CellColour("st_itemicon.png", 12));
  EXPECT_EQ(qz::testing::ScreenPixel(452, 205), datagen::CellColour("st_shop_window01.png", 0));

  // The row without goods refuses to sell; the odd flag index sells without
  // limit and writes no flag.
  player.coins = 99;
  const std::vector<std::int32_t> soldBefore(std::begin(gameState.FloorProgress.shopSold),
                                             std::end(gameState.FloorProgress.shopSold));
  const ShopPurchase refused = BuyShopRow(1);
  EXPECT_FALSE(refused.bought);
  EXPECT_STREQ(refused.message.c_str(), " is sold out.");
  EXPECT_EQ(player.coins, 99);
  const int gravity = player.shotLevel[1];
  EXPECT_TRUE(BuyShopRow(2).bought);
  EXPECT_TRUE(BuyShopRow(2).bought);
  EXPECT_EQ(player.shotLevel[1], gravity + 2);
  EXPECT_EQ(player.coins, 93);
  EXPECT_EQ(std::vector<std::int32_t>(std::begin(gameState.FloorProgress.shopSold),
                                      std::end(gameState.FloorProgress.shopSold)),
            soldBefore);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[0], 0);

  // A short file: its missing lines read as empty, so as nothing to sell.
  Hold({kCancelKey});
  Frames(2);
  WriteShop("Short\r\nBG_Shop01.png\r\nchara_shopkeeper01.png\r\nx\r\n8\r\n-1\r\nx\r\n");
  OpenShop();
  EXPECT_STREQ(shopStock.goodsName[0].c_str(), "Blaze Shot");
  EXPECT_EQ(shopStock.goodsId[1], 0);
  EXPECT_EQ(shopStock.soldFlagIndex[1], 0);
  EXPECT_EQ(shopStock.price[1], -1);
  EXPECT_EQ(shopStock.goodsId[2], 0);
  EXPECT_NE(qz::testing::ScreenPixel(200, 470), room) << "the keeper is added over the room";
}

// The installed file set wrapped so a test sees which shop files stay open.
struct ShopFileWatch {
  static inline qz::FileAccessTable inner{};
  static inline int opens = 0;
  static inline std::set<qz::FileHandle> open;
  static qz::FileHandle Open(const char* path, int useCache, int reserved, int asynchronous) {
    const qz::FileHandle file = inner.Open(path, useCache, reserved, asynchronous);
    if (file != 0 && std::string(path).find("[SHOP]") != std::string::npos) {
      ++opens;
      open.insert(file);
    }
    return file;
  }
  static int Close(qz::FileHandle file) {
    open.erase(file);
    return inner.Close(file);
  }
};

TEST_F(ShopTest, EachVisitOpensTheShopFileOnceAndClosesIt) {
  WriteShop(kStock);
  ShopFileWatch::inner = qz::GetFileAccessTable();
  ShopFileWatch::opens = 0;
  ShopFileWatch::open.clear();
  qz::FileAccessTable watched = ShopFileWatch::inner;
  watched.Open = ShopFileWatch::Open;
  watched.Close = ShopFileWatch::Close;
  qz::SetFileAccessTable(&watched);
  OpenShop();
  Hold({kCancelKey});
  Frames(2);
  OpenShop();
  qz::SetFileAccessTable(&ShopFileWatch::inner);
  EXPECT_EQ(ShopFileWatch::opens, 2);
  EXPECT_TRUE(ShopFileWatch::open.empty()) << "a shop file left open";
  EXPECT_EQ(shopStock.goodsId[1], 12);
}

TEST_F(ShopTest, BuyingPaysMarksALimitedRowSoldAndTheMarkSurvivesSaveAndLoad) {
  WriteShop(kStock);
  OpenShop();
  EXPECT_EQ(hudItemsHidden, 1);
  player.coins = 5;
  Move(plat::VK_DOWN);
  ASSERT_EQ(MenuCursor.row, 1);
  EXPECT_FALSE(ShowsSoldOut(1));
  BuyWithDialog();
  EXPECT_EQ(gameState.scene, kSceneShop);
  EXPECT_EQ(player.coins, 0) << "exact coins buy";
  EXPECT_EQ(player.ProgressFlags[kHighJump], 1);
  EXPECT_EQ(gameState.FloorProgress.shopSold[5], 1);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeShoping]), 1);
  EXPECT_TRUE(ShowsSoldOut(1));
  EXPECT_FALSE(ShowsSoldOut(0));

  // Again: sold out, coins kept; one coin short: not enough.
  player.coins = 9;
  ShopPurchase again = BuyShopRow(1);
  EXPECT_FALSE(again.bought);
  EXPECT_STREQ(again.message.c_str(), "High Jump is sold out.");
  ShopPurchase shortOfOne = BuyShopRow(2);
  EXPECT_STREQ(shortOfOne.message.c_str(), "Not enough coins.");
  EXPECT_EQ(player.coins, 9);
  EXPECT_EQ(player.ProgressFlags[kHourglass], 0);
  // Without limit the goods sell again and again, each time with its effect.
  const int maxMagic = player.maxMagic;
  EXPECT_STREQ(BuyShopRow(0).message.c_str(), "MP Up purchased.");
  EXPECT_TRUE(BuyShopRow(0).bought);
  EXPECT_EQ(player.maxMagic, maxMagic + 4);
  EXPECT_EQ(player.coins, 5);
  EXPECT_EQ(shopStock.price[0], 2);

  // Saved, forgotten and loaded: the next visit shows the row sold out at once.
  Hold({kCancelKey});
  Frames(2);
  ASSERT_EQ(gameState.scene, kSceneFloorPlay);
  ASSERT_EQ(WriteSaveFile(1), 1);
  ResetNewGame();
  EXPECT_EQ(gameState.FloorProgress.shopSold[5], 0);
  ASSERT_EQ(ReadSaveFile(1), 1);
  gameState.scene = kSceneFloorPlay;
  OpenShop();
  EXPECT_EQ(shopStock.price[1], -1);
  EXPECT_TRUE(ShowsSoldOut(1));
}

TEST_F(ShopTest, TheDialogOpensOnNoAndAConfirmMidSlideCountsFromFourSteps) {
  WriteShop(kStock);
  OpenShop();
  player.coins = 50;
  // Confirm at once: the cursor stood on "No".
  DialogCursor.y = 0;
  KeyScript atOnce;
  atOnce.Tap(kConfirmKey, kConfirmBit, [] { return true; });
  atOnce.Tap(kConfirmKey, kConfirmBit, [] { return DialogWaits() && (padState & kConfirmBit) == 0; });
  atOnce.Run();
  EXPECT_EQ(player.coins, 50);
  EXPECT_EQ(gameState.scene, kSceneShop);

  // Confirm while the cursor slides up: three steps done is still No, four is Yes.
  for (int stepsBeforeConfirm : {2, 3}) {
    DialogCursor.y = 0;
    KeyScript midSlide;
    midSlide.Tap(kConfirmKey, kConfirmBit, [] { return true; });
    midSlide.Tap(plat::VK_UP, kUpBit, DialogWaits);
    midSlide.Tap(kConfirmKey, kConfirmBit,
                 [stepsBeforeConfirm] { return DialogCursor.y == kDialogNoY - 3 * stepsBeforeConfirm; });
    if (stepsBeforeConfirm == 3) midSlide.Tap(kConfirmKey, kConfirmBit, midSlide.After(40 * kFrameMilliseconds));
    midSlide.Run();
    EXPECT_EQ(player.coins, stepsBeforeConfirm == 2 ? 50 : 48) << stepsBeforeConfirm;
  }
  EXPECT_EQ(gameState.scene, kSceneShop);
}

TEST_F(ShopTest, TheCursorRestsWhereItsStepsAndWrapsLeadIt) {
  WriteShop(kStock);
  OpenShop();
  std::vector<int> ys;
  for (int i = 0; i < 4; ++i) {
    Move(plat::VK_DOWN);
    ys.push_back(MenuCursor.y);
  }
  for (int i = 0; i < 4; ++i) {
    Move(plat::VK_UP);
    ys.push_back(MenuCursor.y);
  }
  EXPECT_EQ(ys, (std::vector<int>{197, 251, 305, 143, 303, 249, 195, 141}));
  EXPECT_EQ(MenuCursor.row, 0);

  // Up still held from floor play moves the cursor on the shop's first frame.
  Hold({kCancelKey});
  Frames(2);
  Press(plat::VK_UP, true);
  OpenShop();
  EXPECT_EQ(MenuCursor.row, 3);
  EXPECT_EQ(MenuCursor.targetY, 303);
  EXPECT_EQ(MenuCursor.y, 143 + 20);
}

TEST_F(ShopTest, CancelMidMoveOrExitLeaveForTheFloorAndEscapeInTheDialogBuysNothing) {
  WriteShop(kStock);
  OpenShop();
  const int shopMusic = bgmHandle;
  Hold({plat::VK_DOWN});
  ASSERT_EQ(MenuCursor.moving, 1);
  SetInputLatches(0);
  Hold({kCancelKey});
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(fadeRequest, 2);
  EXPECT_EQ(skipFade, 0) << "skipped for one frame only";
  EXPECT_EQ(jumpLatch, 1);
  EXPECT_STREQ(bgmName.c_str(), "BGM_F001.mp3");
  EXPECT_NE(bgmHandle, shopMusic);
  EXPECT_EQ(qz::IsSoundHandlePlaying(bgmHandle), 1);
  EXPECT_EQ(qz::IsValidGraphHandle(pictureScreen), 1);

  Frames(2);
  OpenShop();
  Move(plat::VK_UP);  // wraps to "Exit"
  ASSERT_EQ(MenuCursor.row, 3);
  Hold({kConfirmKey});
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);

  Frames(2);
  OpenShop();
  player.coins = 50;
  DialogCursor.y = 0;
  KeyScript escape;
  escape.Tap(kConfirmKey, kConfirmBit, [] { return true; });
  escape.Press(plat::VK_ESCAPE, DialogWaits);
  escape.Release(plat::VK_ESCAPE, [] { return gameState.scene == kSceneTitle; });
  escape.Run();
  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_EQ(player.coins, 50);
}

TEST_F(ShopTest, TheMeadowsShopOnItsThirdFloorIsOneThePlayerWalksInto) {
  ASSERT_TRUE(data_.Exists("text_en/[SHOP] 003.txt"));
  floorNumber = 2;
  EnterDoor(0, 1, 0);
  Frames(3);
  ASSERT_STREQ(mapName.c_str(), "003");
  EXPECT_EQ(gameState.FloorProgress.shopFound[2], 1);
  player.posX = 51 * 32 - 16;  // the door's cell under the player's head
  player.posY = 42 * 32;
  player.x = static_cast<int>(player.posX);
  player.y = static_cast<int>(player.posY);
  Press(plat::VK_UP, true);
  for (int frame = 0; frame < 10 && gameState.scene != kSceneShop; ++frame) RunFrame();
  Press(plat::VK_UP, false);
  ASSERT_EQ(gameState.scene, kSceneShop);
  RunFrame();
  EXPECT_STREQ(shopStock.goodsName[0].c_str(), "MP Up");
  EXPECT_STREQ(shopStock.goodsName[1].c_str(), "Blaze Shot");
  EXPECT_STREQ(shopStock.goodsName[2].c_str(), "Gravity Shot");
  EXPECT_EQ(shopStock.soldFlagIndex[0], -1);
  EXPECT_TRUE(missingGameFiles.empty()) << missingGameFiles.front();
}

// Every generated floor with a shop door has a shop file that sells real
// goods, and no two limited rows of the campaign share a sold-flag index.
TEST(ShopDataTest, EveryShopDoorOfTheCampaignHasAFileOfRealGoods) {
  const std::string& root = qz::testing::GameDataSet(datagen::ArtStyle::kReadable);
  std::vector<bool> flagUsed(kShopSoldFlags, false);
  int shops = 0;
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    MapFileData data;
    std::string error;
    ASSERT_TRUE(datagen::CompileFloorText(floor.text, &data, &error)) << error;
    if (std::find(data.attributeLayer.begin(), data.attributeLayer.end(), 3) == data.attributeLayer.end()) continue;
    ++shops;
    std::ifstream file(root + "/text_en/[SHOP] " + floor.name + ".txt", std::ios::binary);
    ASSERT_TRUE(file.good()) << floor.name;
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(0, line.find('\r')));
    ASSERT_EQ(lines.size(), 12u) << floor.name;
    EXPECT_TRUE(std::filesystem::exists(root + "/data_en/" + lines[1])) << lines[1];
    EXPECT_TRUE(lines[2] == "-" || std::filesystem::exists(root + "/data_en/" + lines[2])) << lines[2];
    for (int row = 0; row < kShopRows; ++row) {
      EXPECT_NE(FindShopGoods(std::stoi(lines[4 + 3 * row])), nullptr) << floor.name << " row " << row;
      const int flag = std::stoi(lines[5 + 3 * row]);
      if (flag == -1) continue;
      ASSERT_TRUE(flag >= 0 && flag < kShopSoldFlags) << floor.name << " row " << row;
      EXPECT_FALSE(flagUsed[flag]) << "sold flag " << flag << " again on " << floor.name;
      flagUsed[flag] = true;
    }
  }
  EXPECT_GE(shops, 1) << "a player meets a shop on the campaign's floors";
}

}  // namespace
