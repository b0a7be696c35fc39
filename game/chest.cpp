// The chest: a blocking sequence with its own frames. The lid opens over the
// captured floor, a message window opens with what the chest held and grants
// it, and the sequence waits for Confirm or Cancel once the window has been
// up for a moment; a treasure plays its jingle with the window shown.
#include <iterator>

#include "game/action_input.h"
#include "game/chest_contents.h"
#include "game/color_text.h"
#include "game/config_file.h"
#include "game/crossfade.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/items.h"
#include "game/map_cells.h"
#include "game/music.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "game/trap_graphics.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_present.h"
#include "sound/sound_handle.h"
#include "sound/sound_load.h"
#include "sound/sound_play.h"

namespace {

struct ChestContent {
  const char* title;
  const char* line2;
  const char* line3;
};

constexpr int kFirstContent = kChestCoin;
// Types 6..29; the shot upgrades 9 and 10 word their first level apart.
constexpr ChestContent kContents[] = {
    {"Get : Coin", "Got one coin!", "Used as currency in shops."},
    {"Get : MP Up", "Max MP increased by 1!", "This should make life easier."},
    {"Get : Blaze Shot", "Blaze Shot upgraded!", "Shot range increased."},
    {"Get : Gravity Shot", "Gravity Shot upgraded!", "Shot range increased."},
    {"Get : Magic Shot", "Magic Shot upgraded!", "Shot range increased."},
    {"Get : Hoverdash", "Enhances movement with magic.", "Use the dash button to activate."},
    {"Get : High Jump", "Makes your body feel lighter.", "You can now jump higher."},
    {"Get : Break Power", "Break power added to Blaze Shot!", "Some walls can now be destroyed."},
    {"Get : Blast Power", "Blast power added to Blaze Shot!", "Explosion now forms on impact."},
    {"Get : Blast Guard", "Guard power added to Blaze Shot!", "Impact blast now clears bullets."},
    {"Get : Impact Power", "Gravity Shot upgraded!", "Certain blocks can now be pushed."},
    {"Get : Chain Ring", "Chain power added to Magic Shot!", "Shot now reacts to magic blocks."},
    {"Get : Create Power", "Create power added to Magic Shot!", "Shot now creates blocks on impact."},
    {"Get : True Eye", "Eye that sees through all.", "Makes invisible objects visible."},
    {"Get : Eternal Candle", "Magic torch that never goes out.", "Lights up dark areas."},
    {"Get : Hourglass", "An hourglass that lets you take it easy.", "Slightly increases time limit on all floors."},
    {"Get : Stability Pendant", "Possesses the power to stabilize space-time.", "Slightly lessens the effects of inertia."},
    {"Get : Fire Ruby Replica", "Replica of the Fire Treasure.", "Opens its gate on floor 100."},
    {"Get : Aqua Sapphire Replica", "Replica of the Water Treasure.", "Opens its gate on floor 100."},
    {"Get : Wind Emerald Replica", "Replica of the Wind Treasure.", "Opens its gate on floor 100."},
    {"Get : Earth Diamond Replica", "Replica of the Earth Treasure.", "Opens its gate on floor 100."},
    {"Get : Airdash", "Hoverdash upgraded!", "You can now dash once in mid-air."},
    {"Get : Nothing", "Too bad!", "There was nothing in the chest!"},
    {"Get : Check Flag", "Records the current location.", "You can now return here at will."},
};
constexpr ChestContent kLearnedGravity{"Get : Gravity Shot", "Learned Gravity Shot!", "Knocks enemies back on impact."};
constexpr ChestContent kLearnedMagic{"Get : Magic Shot", "Learned Magic Shot!", "Transforms enemies into blocks."};
// A type no chest should hold shows the empty chest's texts and grants nothing.
constexpr ChestContent kUnknownContent = kContents[kChestNothing - kFirstContent];

static_assert(kFirstContent + static_cast<int>(std::size(kContents)) - 1 == kLastChestContent);
constexpr int kJingleVolumeFloor = 40;
constexpr int kTreasureFloor = 99;  // floor "100"
constexpr int kIconX = 96, kIconY = 224, kTextX = 136;

void PlaySe(SoundEffect effect, int playType = 1) { qz::PlaySoundHandle(soundEffects[effect], playType, 1); }

// The texts of the window of a chest holding `type`, read before the grant:
// a shot not yet learnt is worded apart.
const ChestContent& ContentOf(int type) {
  if (type < kFirstContent || type >= kFirstContent + static_cast<int>(std::size(kContents))) return kUnknownContent;
  if (type == kChestGravityShot && player.shotLevel[1] == 0) return kLearnedGravity;
  if (type == kChestMagicShot && player.shotLevel[2] == 0) return kLearnedMagic;
  return kContents[type - kFirstContent];
}

void GrantContent(int type) {
  switch (type) {
    case kChestCoin:
      if (player.coins < kCoinCap) ++player.coins;
      return;
    case kChestMpUp: ++player.maxMagic; return;
    case kChestBlazeShot: ++player.shotLevel[0]; return;
    case kChestGravityShot: ++player.shotLevel[1]; return;
    case kChestMagicShot: ++player.shotLevel[2]; return;
    case kChestAirdash: player.ProgressFlags[kAirdash] = 1; return;
    default: break;
  }
  if (type >= kChestFirstFlag && type <= kChestLastTreasure) player.ProgressFlags[type - kChestFirstFlag] = 1;
  // The new sight and light act on the floor being played at once.
  if (type == kChestTrueEye) RevealTrueEyeBlocks();
  if (type == kChestCandle) LoadCandleMask();
}

bool LeftForTitleOrQuit() { return gameState.quitRequested == 1 || gameState.scene == kSceneTitle; }

void DrawContent(int type, const ChestContent& content) {
  if (type >= 0 && type < static_cast<int>(std::size(sheets.itemIcon))) {
    qz::BlitGraph(kIconX, kIconY, sheets.itemIcon[type], 1);
  }
  DrawColorText(kTextX, 206, GameString(content.title), kTextOrange);
  DrawColorText(kTextX, 230, GameString(content.line2), kTextWhite);
  DrawColorText(kTextX, 254, GameString(content.line3), kTextWhite);
}

// Waits with the window shown for Confirm or Cancel pressed once it has been
// up for a moment: a player still pressing Shot or Jump from the walk there
// (or mashing them) must not close it unread. False when the game is left.
bool WaitUntilRead() {
  for (int shown = 0;; ++shown) {
    WaitFrame();
    if (CheckQuitRequest() != 0 || LeftForTitleOrQuit()) return false;
    ReadActionInput();
    qz::ClearDrawTarget(nullptr);
    qz::BlitGraph(0, 0, oldScreen, 0);
    qz::PresentFrame();
    if (shown >= kChestReadingFrames && (ActionFlags.confirm == 1 || ActionFlags.cancel == 1)) return true;
  }
}

void DrawChestOver(int graph, int cell, int sx, int sy) {
  qz::BlitGraph(0, 0, graph, 0);
  qz::BlitGraph(sx, sy, sheets.itemBox[cell], 1);
}

// The treasure jingle in place of the floor music, played to its end.
void PlayTreasureJingle() {
  if (bgmHandle != -1) {
    qz::StopSoundHandle(bgmHandle);
    qz::DeleteSoundHandle(bgmHandle);
    bgmHandle = -1;
  }
  qz::SetSoundCreateMode(qz::kSoundCreateStreamFromFile);
  const int jingle = LoadSound("\\sound\\BGM_StoneGet.mp3");
  qz::SetSoundHandleVolume(VolumeLevel(volumePercent), jingle);
  qz::PlaySoundHandle(jingle, 0, 1);
  qz::DeleteSoundHandle(jingle);
  PlayBgm(GameString(), 1);
}

bool FloorNumberValid() { return floorNumber >= 0 && floorNumber < kFloorCount; }

}  // namespace

void OpenChest(MapObjectRecord& slot) {
  if (player.keys < 1) return;
  const int sx = slot.x * kCellSize - cameraX;
  const int sy = slot.y * kCellSize - cameraY;
  CaptureScreen(oldScreen);
  DrawChestOver(oldScreen, 0, sx, sy);
  qz::PresentFrame();
  PlaySe(kSeBoxOpen01, 0);
  HoldPicture(100);
  PlaySe(kSeBoxOpen02);
  for (int cell = 1; cell <= 3; ++cell) {
    DrawChestOver(oldScreen, cell, sx, sy);
    qz::PresentFrame();
    WaitFrame();
    HoldPicture(64);
  }
  RenewOldScreen();
  qz::BlitGraph(sx, sy, sheets.itemBox[3], 1);
  const int type = slot.type;
  const ChestContent& content = ContentOf(type);
  AnimateMessageWindow(1, 1, [&] { DrawContent(type, content); });
  CaptureScreen(oldScreen);
  // Shown at once: the jingle below holds the game until it ends.
  qz::PresentFrame();
  if (FloorNumberValid()) gameState.FloorProgress.floorValue[floorNumber] = type;
  GrantContent(type);
  const bool treasure = type >= kChestFirstTreasure && type <= kChestLastTreasure;
  // The gates of floor "100" open for a treasure whatever the volume; only
  // the jingle needs the sound up.
  if (treasure && volumePercent > kJingleVolumeFloor) PlayTreasureJingle();
  if (treasure && floorNumber == kTreasureFloor) ClearGateCellsByFlags();
  if (!WaitUntilRead()) return;
  RenewOldScreen();
  AnimateMessageWindow(0, 1);
  --player.keys;
  slot.active = 0;
  if (FloorNumberValid()) gameState.FloorProgress.floorItems[floorNumber][kSlotChest] = 1;
  SetInputLatches(1);
}
