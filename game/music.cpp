// Music and volume. Mode 0 leaves bgmName to the floor loader, which uses it
// to keep one piece playing across floors that name it.
#include "game/music.h"

#include <string>

#include "game/config_file.h"
#include "game/game_assets.h"
#include "game/game_files.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "sound/sound_handle.h"
#include "sound/sound_load.h"
#include "sound/sound_play.h"

std::int32_t bgmHandle = -1;

namespace {

constexpr const char* kFallbackMusic = "BGM_F001.mp3";
// The sound effects that follow the volume even when only the menu's change.
constexpr SoundEffect kMenuSounds[] = {kSeOk, kSeCansel, kSeSelect};

std::string MusicRelativePath(const GameString& name) { return "\\sound\\" + std::string(name.c_str()); }

}  // namespace

int VolumeLevel(int percent) { return percent * 255 / 100; }

void ApplyVolume(int percent, int allSounds) {
  const int level = VolumeLevel(percent);
  qz::SetSoundHandleVolume(level, bgmHandle);
  for (SoundEffect effect : kMenuSounds) qz::SetSoundHandleVolume(level, soundEffects[effect]);
  if (allSounds == 0) return;
  for (int effect = kSeSelect + 1; effect < kSoundEffectCount; ++effect) {
    qz::SetSoundHandleVolume(level, soundEffects[effect]);
  }
}

void PlayBgm(GameString name, int mode) {
  if (bgmHandle != -1) {
    if (qz::IsSoundHandlePlaying(bgmHandle) == 1) qz::StopSoundHandle(bgmHandle);
    qz::DeleteSoundHandle(bgmHandle);
    bgmHandle = -1;
  }
  if (mode == 2) {
    GameStringAssign(bgmName, "");
    return;
  }
  if (mode == 1) name = bgmName;
  qz::SetSoundCreateMode(qz::kSoundCreateStreamFromFile);
  // The load is the only open on the usual path (each open asks every folder
  // on the path for an archive); a failed one is told apart as missing, for
  // mode 0's fallback, or damaged, reported, afterwards.
  const std::string relative = MusicRelativePath(name);
  const GameString path = GamePath(relative.c_str());
  bgmHandle = qz::LoadSoundFile(path.c_str(), 3, -1);
  if (bgmHandle == -1) {
    const bool opens = CanOpenFile(path) != 0;
    if (mode == 0 && !opens) {
      bgmHandle = LoadSound(MusicRelativePath(GameString(kFallbackMusic)).c_str());
    } else {
      ReportLoadFailure(relative.c_str(), path, opens);
    }
  }
  qz::SetSoundHandleVolume(VolumeLevel(volumePercent), bgmHandle);
  qz::PlaySoundHandle(bgmHandle, 3, 1);
}
