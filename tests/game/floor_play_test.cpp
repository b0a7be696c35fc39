// The floor-play frame as a player sees it, probed on the cell-colour data
// set: the camera and the cells it shows, marks and items hidden where they
// should be, the darkness of a dark floor, timed cells, the effects' life,
// the status bar's places, every floor event, the dash trail across a door,
// and the game-over timing.
#include <algorithm>
#include <tuple>

#include "game/doors.h"
#include "game/effects.h"
#include "game/game_over.h"
#include "game/hud.h"
#include "game/key_hint.h"
#include "game/player.h"
#include "sound/sound_play.h"
#include "tests/game/floor_fixture.h"
#include "tests/game/frame_keys.h"

namespace {

using qz::testing::FloorTest;
using qz::testing::ScreenPixel;

// One floor-play frame on a cleared screen, the animations at their start
// unless they are to run on.
void Frame(bool fromStart = true) {
  if (fromStart) ResetFloorAnimation();
  qz::ClearDrawTarget(nullptr);
  UpdateFloorPlay();
}

// The screen's pixel once the status bar alone is drawn.
std::uint32_t HudPixel(int x, int y) {
  qz::ClearDrawTarget(nullptr);
  DrawHud();
  return ScreenPixel(x, y);
}

// The effects alone drawn on a cleared screen.
void EffectsFrame() {
  qz::ClearDrawTarget(nullptr);
  DrawEffects();
}

// Puts the player there; its update works from the exact position.
void PlacePlayer(int x, int y) {
  player.x = x;
  player.y = y;
  player.posX = x;
  player.posY = y;
  player.velocityX = player.velocityY = 0;
  player.airborne = 0;
}

int Channel(std::uint32_t rgb, int shift) { return static_cast<int>(rgb >> shift & 0xFF); }

// Each channel of `rgb` as blending `apply` would leave it, within 3.
template <typename Apply>
void ExpectChannels(std::uint32_t pixel, std::uint32_t rgb, Apply apply) {
  for (int shift : {16, 8, 0}) {
    EXPECT_NEAR(Channel(pixel, shift), apply(Channel(rgb, shift)), 3) << std::hex << pixel << " from " << rgb;
  }
}

// Drawn at alpha 216 over black, or opaque (the numbers leave blend mode 0).
bool DrawnOverBlack(std::uint32_t pixel, std::uint32_t rgb) {
  auto near = [&](int scale) {
    for (int shift : {16, 8, 0}) {
      if (std::abs(Channel(pixel, shift) - Channel(rgb, shift) * scale / 255) > 3) return false;
    }
    return true;
  };
  return near(216) || near(255);
}

TEST_F(FloorTest, TheCameraFollowsThePlayerAndShowsTheCellsUnderIt) {
  ASSERT_EQ(Enter("001", 0), 1);
  // Held at the field's top-left and bottom-right corners.
  for (const auto& [x, y, left, top] : {std::tuple{100, 50, 0, 0}, std::tuple{2400, 1500, 1792, 1024}}) {
    PlacePlayer(x, y);
    Frame();
    EXPECT_EQ(std::tie(cameraX, cameraY), std::make_tuple(left, top));
  }

  // Row 27 is wall, row 28 open sky; column 0 wall, column 1 open.
  const std::uint32_t wall = Cell("chip_meadow.png", 1);
  const std::uint32_t sky = Cell("BG_Meadow.png", 0);
  PlacePlayer(288 + 10, 208 + 28 * 32 - 200);
  Frame();
  ASSERT_EQ(cameraX, 10);
  ASSERT_EQ(cameraY, 28 * 32 - 200);
  EXPECT_EQ(ScreenPixel(130, 199), wall);
  EXPECT_EQ(ScreenPixel(130, 200), sky);
  EXPECT_EQ(ScreenPixel(21, 300), wall);
  EXPECT_EQ(ScreenPixel(23, 300), sky);
}

TEST_F(FloorTest, ItemsUnderCoveringChipsAreNotDrawnAndTheEnteredCheckCubeShowsItIsSet) {
  ASSERT_EQ(Enter("001", 0), 1);
  // The first pick-up of floor 001 stands on open sky in the first screen.
  const int column = mapObjects[0].x, row = mapObjects[0].y;
  Frame();
  const int sx = column * 32 - cameraX + 10;
  const int sy = row * 32 - cameraY + 10;
  ASSERT_TRUE(sx >= 0 && sx < kScreenWidth && sy >= 0 && sy < kScreenHeight) << "pick-up at " << column << ", " << row;
  const std::uint32_t item = Cell("pat_item.png", mapObjects[0].type * 6);
  EXPECT_EQ(ScreenPixel(sx, sy), item);
  SetCell(column, row, 1, 0);  // chip 1 (table value 120) covers the cell
  Frame();
  EXPECT_EQ(ScreenPixel(sx, sy), Cell("chip_meadow.png", 1));
  chipTable[1] = 50;
  Frame();
  EXPECT_EQ(ScreenPixel(sx, sy), item);
  mapObjects[0].x = column + kScreenWidth / 32 + 1;  // out of view: culled
  Frame();
  EXPECT_EQ(ScreenPixel(sx, sy), Cell("chip_meadow.png", 1));

  // The check cube of 002 is drawn opaque over whatever is behind it (its
  // dark rim reads on pale ground); once the floor was entered by it, it
  // shows that it is set: lit, and still while the unset one bobs.
  ASSERT_EQ(Enter("002", 0), 1);
  ASSERT_EQ(marks[0].type, kMarkCheckCube);
  PlacePlayer(marks[0].x, marks[0].y - 100);
  Frame();
  const int mx = marks[0].x - cameraX + 10;
  const int my = marks[0].y - cameraY + 10;
  const std::uint32_t cube = ScreenPixel(mx, my);
  EXPECT_EQ(cube, Cell("chip_cube.png", kMarkCheckCube));
  marks[0].active = 0;
  Frame();
  const std::uint32_t plain = ScreenPixel(mx, my);
  EXPECT_NE(cube, plain);
  marks[0].active = 1;
  entrance = 4;
  Frame();
  const std::uint32_t set = ScreenPixel(mx, my);
  EXPECT_NE(set, plain);
  EXPECT_NE(set, cube);
  EXPECT_NEAR(Channel(set, 16), Channel(cube, 16), 1) << "lit gold: red kept, blue dimmed";
  EXPECT_LT(Channel(set, 0), Channel(cube, 0) / 2 + 2) << std::hex << cube << " set " << set;
  markBob = 5;
  markFrame = 3;
  PlacePlayer(marks[0].x, marks[0].y - 100);
  Frame(false);
  EXPECT_EQ(ScreenPixel(mx, my), set) << "the set cube stands still on its first picture";
  entrance = 0;
  PlacePlayer(marks[0].x, marks[0].y - 100);
  Frame(false);
  EXPECT_EQ(ScreenPixel(mx, my + 5), Cell("chip_cube.png", kMarkCheckCube + 3)) << "the unset cube bobs and turns";
}

TEST_F(FloorTest, MarksAndItemsAnimateEverySixthFrameAndTheMarksBob) {
  ASSERT_EQ(Enter("002", 0), 1);
  for (int frame = 1; frame <= 6 * 10; ++frame) {
    Frame(false);
    if (frame == 6) {
      EXPECT_EQ(markFrame, 1);
      EXPECT_EQ(itemFrame, 1);
      EXPECT_EQ(markBob, 1);
    }
  }
  // Ten steps: bob up nine, then turned; the pictures wrapped from 5 to 0.
  EXPECT_EQ(markFrame, 4);
  EXPECT_EQ(itemFrame, 4);
  EXPECT_EQ(markBob, 8);
  EXPECT_EQ(markBobStep, -1);
}

TEST_F(FloorTest, ADarkFloorDarkensAllButTheLightAroundThePlayer) {
  ASSERT_EQ(Enter("003", 0), 1);
  ASSERT_EQ(mapFlags[kMapFlagDark], 1);
  struct Probe {
    int playerX, x;
    bool inBox;
  };
  // Player at the left edge: only the right of the mask is boxed; at the
  // right edge only the left. Near the player the mask's light leaves the
  // picture as it was.
  for (const Probe& p : {Probe{100, 600, true}, Probe{100, 60, false}, Probe{2300, 20, true},
                         Probe{2300, 600, false}}) {
    SCOPED_TRACE(p.x);
    PlacePlayer(p.playerX, 1200);
    mapFlags[kMapFlagDark] = 0;
    Frame();
    const std::uint32_t lit = ScreenPixel(p.x, 240);
    mapFlags[kMapFlagDark] = 1;
    Frame();
    const std::uint32_t dark = ScreenPixel(p.x, 240);
    if (p.inBox) {
      ExpectChannels(dark, lit, [](int c) { return std::max(0, c - 236); });
    } else {
      ExpectChannels(dark, lit, [](int c) { return c; });
    }
  }
}

TEST_F(FloorTest, ATimedCellEmptiesOnItsLastFrame) {
  ASSERT_EQ(Enter("001", 0), 1);
  SetCell(20, 35, 6, 120);
  timedCells[4] = TimedCellRecord{20, 35, 3, 1};
  timedCellCount = 1;
  Frame();
  Frame();
  EXPECT_EQ(AttributeAt(20, 35), 120);
  EXPECT_EQ(timedCells[4].timer, 1);
  Frame();
  EXPECT_EQ(AttributeAt(20, 35), 0);
  EXPECT_EQ(ChipAt(20, 35), 0);
  EXPECT_EQ(timedCells[4].inUse, 0);
  EXPECT_EQ(timedCellCount, 0);
}

TEST_F(FloorTest, EffectsDrawEachCellOnceThenFreeTheirRecord) {
  cameraX = cameraY = 0;
  SpawnEffect(4, 100, 100);  // kind 7, eight frames, plain
  ASSERT_EQ(effectCount, 1);
  for (int frame = 0; frame < 8; ++frame) {
    EffectsFrame();
    EXPECT_EQ(ScreenPixel(112, 112), Cell("ef_hit01.bmp", frame)) << frame;
  }
  EXPECT_EQ(effectCount, 0);
  EXPECT_EQ(effects[0].inUse, 0);

  // Kinds 0..2 keep their place beside the player; kind 4 sits on its pip.
  player.x = 300;
  ASSERT_EQ(StartEffect(1, 16, 1, -20.0, 100.0, 0.0, 1.0), 0);
  ASSERT_EQ(StartEffect(4, 16, 12, 0.0, 0.0, 0.0, 1.0), 1);
  EffectsFrame();
  EXPECT_EQ(ScreenPixel(305, 125), Cell("ef_shot2.bmp", 0));
  EXPECT_EQ(ScreenPixel((12 + 10) * 9 + 10, 11), Cell("ef_mpcharge.bmp", 0));
  player.x = 400;
  EffectsFrame();
  EXPECT_EQ(ScreenPixel(405, 125), Cell("ef_shot2.bmp", 1));
  EXPECT_EQ(ScreenPixel(305, 125), 0u);
}

TEST_F(FloorTest, PoolsHandOutTheLowestFreeRecordAndNeverRunPastTheirEnd) {
  EXPECT_EQ(FindFreeSlot(4), -1);
  EXPECT_EQ(FindFreeSlot(6), -1);
  EXPECT_EQ(FindFreeSlot(-1), -1);
  EXPECT_EQ(FindFreeSlot(kPoolEnemies), 0);
  enemies[0].life = 3;
  EXPECT_EQ(FindFreeSlot(kPoolEnemies), 1);
  for (int i = 0; i < kEffectPoolSize; ++i) ASSERT_EQ(StartEffect(3, 1, 1, 0, 0, 0, 1), i);
  EXPECT_EQ(FindFreeSlot(kPoolEffects), -1);
  SpawnEffect(0, 5, 5);
  EXPECT_EQ(effectCount, kEffectPoolSize);
  effects[100].inUse = 0;
  effects[200].inUse = 0;
  EXPECT_EQ(FindFreeSlot(kPoolEffects), 100);
  // A counter run high by a slip stops at the pool's end.
  effects[100].inUse = effects[200].inUse = 1;
  effectCount = kEffectPoolSize + 44;
  DrawEffects();
  EXPECT_EQ(effectCount, 44);
  EXPECT_EQ(FindFreeSlot(kPoolEffects), 0);
  EXPECT_EQ(FindFreeSlot(kPoolPlayerShots), 0);
  enemyBullets[0].inUse = 1;
  EXPECT_EQ(FindFreeSlot(kPoolEnemyBullets), 1);
  EXPECT_EQ(FindFreeSlot(kPoolTimedCells), 0);
}

TEST_F(FloorTest, TheStatusBarPutsPipsLabelsAndFloorIconsInTheirPlaces) {
  auto pip = [](int cell) { return Cell("st_magic_bar.png", cell); };
  player.maxMagic = 0;
  EXPECT_TRUE(DrawnOverBlack(HudPixel(106, 18), pip(3)));
  player.maxMagic = 5;
  player.magic = 3;
  const int cells[] = {0, 0, 0, 2, 2, 3};
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(DrawnOverBlack(HudPixel(106 + 9 * i, 18), pip(cells[i]))) << i;
  player.infiniteMagic = 1;
  EXPECT_TRUE(DrawnOverBlack(HudPixel(106 + 9, 18), pip(1)));
  EXPECT_TRUE(DrawnOverBlack(HudPixel(106 + 36, 18), pip(2)));
  player.shotKind = 2;
  EXPECT_TRUE(DrawnOverBlack(HudPixel(18, 18), Cell("st_bullet.png", 2)));

  const std::uint32_t inertia = Cell("st_font_inertia.png", 0);
  mapFlags[kMapFlagInertia] = 1;
  EXPECT_TRUE(DrawnOverBlack(HudPixel(548, 465), inertia));
  EXPECT_EQ(HudPixel(511, 465), 0u);
  mapFlags[kMapFlagJumpBonus] = 1;
  EXPECT_TRUE(DrawnOverBlack(HudPixel(511, 465), inertia));
  EXPECT_TRUE(DrawnOverBlack(HudPixel(563, 465), Cell("st_font_jump.png", 0)));

  floorNumber = 4;
  gameState.FloorProgress.floorItems[4][1] = 1;  // key taken
  gameState.FloorProgress.floorItems[4][0] = 1;  // switch used
  EXPECT_TRUE(DrawnOverBlack(HudPixel(13, 460), Cell("st_status4.png", 1)));
  EXPECT_EQ(HudPixel(33, 460), 0u);  // chest not opened
  EXPECT_TRUE(DrawnOverBlack(HudPixel(53, 460), Cell("st_status4.png", 4)));
  hudItemsHidden = 1;
  EXPECT_EQ(HudPixel(13, 460), 0u);
  EXPECT_EQ(HudPixel(511, 465), 0u);
}

// "ICE" shows on the floors whose going is slippery: ice cells (the
// snowfield) as well as the inertia flag; a floor of neither shows none.
TEST_F(FloorTest, TheIceMarkFollowsTheFloorsSlipperyGround) {
  auto iceShown = [] { return DrawnOverBlack(HudPixel(548, 465), Cell("st_font_inertia.png", 0)); };
  for (const char* floor : {"056", "057"}) {
    ASSERT_EQ(Enter(floor, 0), 1);
    EXPECT_EQ(mapFlags[kMapFlagInertia], 0) << floor;
    EXPECT_TRUE(iceShown()) << floor;
  }
  ASSERT_EQ(Enter("001", 0), 1);
  EXPECT_FALSE(iceShown());
  SetCell(kMapColumns - 1, kMapRows - 1, 36, kAttrSlippery);  // one cell, in the last corner
  EXPECT_TRUE(iceShown());
  SetCell(kMapColumns - 1, kMapRows - 1, 0, 0);
  EXPECT_FALSE(iceShown());
  ASSERT_EQ(Enter("004", 0), 1);
  EXPECT_TRUE(iceShown()) << "the inertia flag";
}

TEST_F(FloorTest, EachFloorEventRunsOnceAndOnlyWhenNothingHoldsTheFrame) {
  ASSERT_EQ(Enter("002", 0), 1);
  // A boss countdown and a pending scene change hold every event back.
  player.eventCode = 8;
  gameState.bossCountdown = 5;
  Frame();
  EXPECT_EQ(player.eventCode, 8);
  EXPECT_EQ(entrance, 0);
  gameState.bossCountdown = 0;
  skipFade = 1;
  ActionFlags.menu = 1;
  Frame();
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(entrance, 0);
  skipFade = 0;
  Frame();  // the menu opens the status screen and ends the frame
  EXPECT_EQ(gameState.scene, kSceneStatus);
  EXPECT_EQ(entrance, 0);
  ActionFlags.menu = 0;
  gameState.scene = kSceneFloorPlay;
  skipFade = 0;

  // 8: the check cube.
  Frame();
  EXPECT_EQ(player.eventCode, 0);
  EXPECT_EQ(entrance, 4);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeCheckCube]), 1);
  const int cubeEffect = FindFreeSlot(kPoolEffects) - 1;
  ASSERT_GE(cubeEffect, 0);
  EXPECT_EQ(std::tie(effects[cubeEffect].kind, effects[cubeEffect].x), std::make_tuple(13, player.x + 32));

  // 1: the sign; 3: the shop, which opens where the floor has a shop file.
  player.eventCode = 1;
  Frame();
  EXPECT_EQ(player.eventCode, 0);
  WriteDataFile("text_en/[SHOP] 002.txt", "Shop\r\nBG_Shop01.png\r\n-\r\n");
  player.eventCode = 3;
  Frame();
  EXPECT_EQ(player.eventCode, 0);
  EXPECT_EQ(gameState.scene, kSceneShop);
  gameState.scene = kSceneFloorPlay;
  skipFade = 0;

  // 2: the recovery point refills and sparkles on each refilled pip.
  EmptyObjectPools();
  player.maxLife = 5;
  player.life = 1;
  player.maxMagic = 16;
  player.magic = 10;
  const int third = thirdScreen;
  player.eventCode = 2;
  Frame();
  EXPECT_EQ(player.life, 5);
  EXPECT_EQ(player.magic, 16);
  EXPECT_EQ(player.eventCode, 0);
  ASSERT_EQ(effectCount, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(std::tie(effects[i].kind, effects[i].param), std::make_tuple(4, 10 + i));
  EXPECT_NE(thirdScreen, third);
  EXPECT_EQ(qz::IsValidGraphHandle(thirdScreen), 1);

  // 5: door 1 of floor 002 leads to floor 001's entrance 1, linked both ways,
  // through the banner (400 ms on the clock) and the autosave.
  const MapFileData first = Generated("001");
  const std::int32_t before = qz::GetMillisecondCount();
  player.eventCode = 5;
  Frame();
  EXPECT_GE(qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before), 400);
  EXPECT_STREQ(mapName.c_str(), "001");
  EXPECT_EQ(floorNumber, 0);
  EXPECT_EQ(entrance, 1);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[1][1], 1);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[0][1], 2);
  EXPECT_EQ(fadeRequest, 1);
  EXPECT_EQ(skipFade, 1);
  EXPECT_EQ(player.eventCode, 0);
  for (int i = 0; i < MapFileData::kCellCount; ++i) {
    if (first.attributeLayer[static_cast<std::size_t>(i)] != kAttrEntrance0 + 1) continue;
    EXPECT_EQ(player.x, i / kMapRows * 32 - 16);
    EXPECT_EQ(player.y, i % kMapRows * 32);
  }

  // 9: the floor jump enters the chosen floor at entrance 0.
  skipFade = 0;
  floorNumber = 2;
  player.eventCode = 9;
  Frame();
  EXPECT_STREQ(mapName.c_str(), "003");
  EXPECT_EQ(entrance, 0);
  EXPECT_EQ(player.eventCode, 0);
}

TEST_F(FloorTest, DoorsWithoutAFloorResetThePlayerAndTheEndingDoorEndsTheGame) {
  ASSERT_EQ(Enter("100", 0), 1);
  for (int target : {0, 102}) {
    doors[2] = FloorDoor{target, 0};
    player.life = 4;
    player.magic = 7;
    player.velocityX = 3.0;
    EnterDoor(2, 0, 1);
    EXPECT_EQ(std::tie(player.life, player.magic, player.velocityX), std::make_tuple(1, 0, 0.0));
    EXPECT_STREQ(mapName.c_str(), "100");
    EXPECT_EQ(floorNumber, 99);
  }
  ASSERT_EQ(doors[0].targetFloor, kEndingFloor);
  player.eventCode = 4;
  Frame();
  EXPECT_EQ(gameState.scene, kSceneEnding);
  EXPECT_EQ(fadeRequest, 1);
  EXPECT_EQ(skipFade, 1);
  ASSERT_NE(bgmHandle, -1);
  EXPECT_EQ(qz::IsSoundHandlePlaying(bgmHandle), 1);
}

TEST_F(FloorTest, ADashRightAfterEnteringAFloorLeavesNoAfterimageOfTheDashBeforeIt) {
  // The entrance by the left wall: the camera stays put for the dash.
  WriteMap("061", WriteMapFile(SmallFloor()));
  floorNumber = 60;
  EnterDoor(4, 1, 0);
  const int entryX = player.x, entryY = player.y;
  // Dashing 96 pixels right of the entrance, then through a door back to it.
  player.x = entryX + 96;
  player.dashState = 1;
  PlaceCamera();
  for (int i = 0; i < 3; ++i) DrawPlayer();
  const int cameraBefore = cameraX;
  EnterDoor(0, 1, 0);
  ASSERT_EQ(player.x, entryX);
  ASSERT_EQ(player.y, entryY);
  PlaceCamera();
  ASSERT_EQ(cameraX, cameraBefore);
  player.dashState = 1;
  for (int frame = 0; frame < 4; ++frame) {
    qz::ClearDrawTarget(nullptr);
    DrawPlayer();
    EXPECT_EQ(ScreenPixel(entryX + 96 + 32 - cameraX, entryY + 32 - cameraY), 0u) << "frame " << frame;
  }
}

TEST_F(FloorTest, TheBannerShowsTheFloorAndATimeRunBelowZeroAsZeros) {
  MapFileData floor = SmallFloor();
  floor.timeLimit = 10;
  floor.attributeLayer[MapFileData::CellIndex(9, 42)] = kAttrCheckCube;
  WriteMap("061", WriteMapFile(floor));
  floorNumber = 60;
  EnterDoor(4, 1, 0);
  ASSERT_EQ(floorTime, -20);
  // The digits are added onto the banner's background.
  auto added = [](std::uint32_t digit) {
    const std::uint32_t back = Cell("bg_floorback_blue.png", 0);
    std::uint32_t sum = 0;
    for (int shift : {16, 8, 0}) sum |= static_cast<std::uint32_t>(std::min(255, Channel(back, shift) + Channel(digit, shift))) << shift;
    return sum;
  };
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ScreenPixel(330 + 26 * i + 10, 286), added(Cell("st_font5.png", 0))) << "time digit " << i;
  }
  const int floorDigits[] = {0, 6, 1};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ScreenPixel(354 + 52 * i + 20, 230), added(Cell("st_font5.png", floorDigits[i]))) << "floor digit " << i;
  }
}

// Under the picture the Game Over names the keys that try again, as the
// button map has them, and not before the picture shows.
TEST_F(FloorTest, GameOverNamesTheKeysThatTryAgain) {
  const auto hintPixels = [] {
    int white = 0;
    for (int y = 292; y < 320; ++y) {
      for (int x = 200; x < 440; x += 2) white += ScreenPixel(x, y) == 0xFFFFFFu ? 1 : 0;
    }
    return white;
  };
  ASSERT_EQ(Enter("002", 0), 1);
  player.dead = 1;
  gameState.sceneFrame = 0;
  for (int frame = 1; frame <= 10; ++frame) Frame();
  EXPECT_EQ(hintPixels(), 0) << "before the picture";
  Frame();
  const int zOrX = hintPixels();
  EXPECT_GT(zOrX, 0);
  ButtonMap.cancel = 9;  // Space
  Frame();
  EXPECT_GT(hintPixels(), zOrX) << "Z or Space";
  ButtonMap.cancel = ButtonMap.confirm;
  Frame();
  EXPECT_LT(hintPixels(), zOrX) << "one key for both";
  ButtonMap = kBuiltInButtonMap;
  EXPECT_EQ(ConfirmOrCancelHint("try again"), "Z or X: try again");
  EXPECT_EQ(ButtonKeyName(10), "Button 11") << "a joypad's button past the keyboard's ten";
}

TEST_F(FloorTest, GameOverShowsItsPictureFromTheEleventhFrameAndRestartsAtTheEntrance) {
  const MapFileData file = Generated("002");
  ASSERT_EQ(Enter("002", 0), 1);
  ActivateCheckCube();
  player.dead = 1;
  gameState.sceneFrame = 0;
  gameOverStars[0] = GameOverStarRecord{600.0, 100.0, 8.0, 0.0, 0, 0, 1};
  const std::uint32_t picture = Cell("st_gameover.png", 0);
  ActionFlags.confirm = 1;
  for (int frame = 1; frame <= 10; ++frame) {
    Frame();
    EXPECT_EQ(player.dead, 1) << frame;
    EXPECT_NE(ScreenPixel(320, 240), picture) << frame;
  }
  EXPECT_EQ(gameOverStars[0].active, 0);  // flew off the screen's right
  // Three frames of the picture with the buttons up before a press counts.
  ActionFlags.confirm = 0;
  for (int frame = 11; frame <= 13; ++frame) {
    Frame();
    EXPECT_EQ(ScreenPixel(320, 240), picture) << frame;
    EXPECT_EQ(player.dead, 1) << frame;
  }
  ActionFlags.cancel = 1;
  player.x = 900;
  const std::int32_t before = qz::GetMillisecondCount();
  Frame();
  EXPECT_GE(qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before), 400);
  EXPECT_EQ(std::tie(player.dead, player.life, player.magic), std::make_tuple(0, 1, 0));
  EXPECT_EQ(entrance, 4);
  EXPECT_EQ(floorTime, file.timeLimit - 30);
  EXPECT_EQ(std::tie(player.x, player.y), std::make_tuple(marks[0].x - 16, marks[0].y));
}

// A hit that ends the try bursts at the player and flashes the body where it
// stood over the game over's stars, red on the hit's frame, then white, then
// red; the next frame holds the hit's picture for the death beat, and the
// body is gone from the game over's eleventh frame, its picture's.
TEST_F(FloorTest, AHitBurstsAndFlashesThePlayerRedAndWhiteThenHoldsForTheDeathBeat) {
  ASSERT_EQ(Enter("002", 0), 1);
  Frame();
  const int sx = player.x - cameraX + 32, sy = player.y - cameraY + 40;
  const std::uint32_t body = ScreenPixel(sx, sy);
  player.life = 0;
  const int burst = FindFreeSlot(kPoolEffects);
  Frame();
  ASSERT_EQ(player.dead, 1);
  ASSERT_GE(burst, 0);
  EXPECT_EQ(effects[burst].inUse, 1);
  EXPECT_EQ(effects[burst].kind, 9) << "the big hit burst, not a pick-up's sparkle";
  EXPECT_EQ(effects[burst].x, player.x + 32);
  const std::uint32_t hit = ScreenPixel(sx, sy);
  effects[burst].inUse = 0;  // the probes below see the body alone
  --effectCount;
  for (GameOverStarRecord& star : gameOverStars) star.active = 0;

  // The body as drawn on the frame after game-over frame `sceneFrame`.
  auto bodyAfter = [&](int sceneFrame) {
    gameState.sceneFrame = sceneFrame;
    Frame(false);
    return ScreenPixel(sx, sy);
  };
  const std::int32_t before = qz::GetMillisecondCount();
  const std::uint32_t red = bodyAfter(1);
  EXPECT_GE(qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before), 600) << "the death beat";
  EXPECT_EQ(hit, red) << "the hit's frame is red over the stars and the burst";
  const std::int32_t after = qz::GetMillisecondCount();
  const std::uint32_t white = bodyAfter(4);
  EXPECT_LT(qz::ElapsedMilliseconds(qz::GetMillisecondCount(), after), 100) << "one beat only";
  EXPECT_EQ(bodyAfter(8), red);
  const std::uint32_t gone = bodyAfter(20);
  EXPECT_EQ(bodyAfter(10), gone) << "no flash once the picture shows";
  EXPECT_NE(gone, body);
  for (int shift : {16, 8, 0}) {
    EXPECT_GE(Channel(white, shift), Channel(body, shift)) << std::hex << body << " flashed " << white;
  }
  EXPECT_NE(white, body);
  EXPECT_GE(Channel(red, 16), Channel(body, 16)) << std::hex << body << " flashed " << red;
  EXPECT_LE(Channel(red, 8), Channel(body, 8) / 2 + 1) << std::hex << body << " flashed " << red;
  EXPECT_LE(Channel(red, 0), Channel(body, 0) / 2 + 1) << std::hex << body << " flashed " << red;
  EXPECT_NE(red, white);
}

// Z held from the jump through the death, its keyboard repeat reaching the
// game as a release and a press (as X11 sends it where repeat detection is
// off), the two now and then a frame apart: no fresh Confirm. The picture
// shows and waits; a press after a real release restarts.
TEST_F(FloorTest, AConfirmHeldSinceBeforeTheDeathDoesNotRestartTheTry) {
  ASSERT_EQ(Enter("002", 0), 1);
  const auto frame = [] {
    RunFrame();
    qz::PumpMessagesEntry();
  };
  qz::testing::Press('Z', true);
  for (int i = 0; i < 5; ++i) frame();
  player.life = 0;
  frame();
  ASSERT_EQ(player.dead, 1);
  const std::uint32_t picture = Cell("st_gameover.png", 0);
  ASSERT_EQ(gameState.sceneFrame, 1);  // the death's frame was the first
  for (int sceneFrame = 2; sceneFrame <= 60; ++sceneFrame) {
    if (sceneFrame % 3 == 0) qz::testing::Press('Z', true);  // the repeat's press...
    if (sceneFrame % 3 == 2) qz::testing::Press('Z', false);  // ...a frame after its release
    frame();
    ASSERT_EQ(player.dead, 1) << "frame " << sceneFrame;
    if (sceneFrame >= 11) {
      ASSERT_EQ(ScreenPixel(320, 240), picture) << "frame " << sceneFrame;
    }
  }
  qz::testing::Press('Z', false);
  for (int i = 0; i < 3; ++i) frame();
  qz::testing::Press('Z', true);
  qz::testing::Press('Z', false);
  frame();
  EXPECT_EQ(player.dead, 0);
}

}  // namespace
