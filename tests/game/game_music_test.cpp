// Music and volume on the generated sounds: the volume arithmetic, which
// handles a volume change reaches, and the three PlayBgm modes with the
// fallback music for a missing file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/config_file.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/music.h"
#include "sound/sound_handle.h"
#include "sound/sound_play.h"
#include "tests/game/game_data_fixture.h"

namespace {

TEST(GameVolumeTest, PercentToLibraryVolumeTruncates) {
  EXPECT_EQ(VolumeLevel(0), 0);
  EXPECT_EQ(VolumeLevel(50), 127);
  EXPECT_EQ(VolumeLevel(80), 204);
  EXPECT_EQ(VolumeLevel(100), 255);
}

class GameMusicTest : public qz::testing::GameDataTest {
 protected:
  static std::int32_t Level(int handle) {
    const qz::SoundRecord* record = qz::GetSoundRecord(handle);
    EXPECT_NE(record, nullptr);
    return record != nullptr ? record->volume : 1;
  }
};

TEST_F(GameMusicTest, MenuVolumeChangeReachesOnlyTheMusicAndTheMenuSounds) {
  Start();
  PlayBgm(GameString("BGM_F001.mp3"), 0);
  ApplyVolume(50, 1);
  const std::int32_t half = Level(soundEffects[kSeShot01]);
  ApplyVolume(100, 1);
  const std::int32_t full = Level(soundEffects[kSeShot01]);
  ASSERT_NE(half, full);

  ApplyVolume(50, 0);
  EXPECT_EQ(Level(bgmHandle), half);
  for (SoundEffect menu : {kSeOk, kSeCansel, kSeSelect}) EXPECT_EQ(Level(soundEffects[menu]), half) << menu;
  for (int effect = kSeSelect + 1; effect < kSoundEffectCount; ++effect) {
    EXPECT_EQ(Level(soundEffects[effect]), full) << effect;
  }
}

TEST_F(GameMusicTest, PlayBgmModes) {
  Start();
  GameStringAssign(bgmName, "BGM_F001.mp3");
  // Mode 0 with a missing file plays the fallback, looping; bgmName stays.
  PlayBgm(GameString("BGM_Missing.mp3"), 0);
  const int fallback = bgmHandle;
  EXPECT_EQ(qz::IsSoundHandlePlaying(fallback), 1);
  EXPECT_STREQ(bgmName.c_str(), "BGM_F001.mp3");

  // Mode 1 replays bgmName in a new handle; the old one is gone.
  PlayBgm(GameString(""), 1);
  EXPECT_NE(bgmHandle, fallback);
  EXPECT_EQ(qz::IsSoundHandlePlaying(bgmHandle), 1);
  EXPECT_EQ(qz::GetSoundRecord(fallback), nullptr);

  // Mode 2 stops, deletes and forgets.
  const int replay = bgmHandle;
  PlayBgm(GameString(""), 2);
  EXPECT_EQ(bgmHandle, -1);
  EXPECT_EQ(qz::GetSoundRecord(replay), nullptr);
  EXPECT_STREQ(bgmName.c_str(), "");

  // A missing name is not a fault of the data set: only the fallback plays.
  missingGameFiles.clear();
  PlayBgm(GameString("BGM_Missing.mp3"), 0);
  EXPECT_EQ(qz::IsSoundHandlePlaying(bgmHandle), 1);
  EXPECT_TRUE(missingGameFiles.empty());

  // A file that is there but does not decode is reported, not replaced.
  {
    std::ofstream damaged(Path("sound/BGM_Damaged.mp3"), std::ios::binary);
    damaged << "not music";
  }
  PlayBgm(GameString("BGM_Damaged.mp3"), 0);
  EXPECT_EQ(bgmHandle, -1);
  EXPECT_EQ(missingGameFiles, std::vector<std::string>{"\\sound\\BGM_Damaged.mp3"});

  // Mode 1 has no fallback: a missing bgmName is reported.
  GameStringAssign(bgmName, "BGM_Missing.mp3");
  PlayBgm(GameString(""), 1);
  EXPECT_EQ(bgmHandle, -1);
  EXPECT_EQ(missingGameFiles.back(), "\\sound\\BGM_Missing.mp3");

  // Without the fallback file there is nothing to play.
  std::filesystem::remove(Path("sound/BGM_F001.mp3"));
  PlayBgm(GameString("BGM_Missing.mp3"), 0);
  EXPECT_EQ(bgmHandle, -1);
}

}  // namespace
