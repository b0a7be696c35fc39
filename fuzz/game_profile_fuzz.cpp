// Arbitrary bytes as the game's two profile files, read as a start reads
// them: the bytes up to the first zero byte are "\save\config.ini", the rest
// "\debug.ini". The configuration is applied (volume, button map, the
// configuration window's values, a frame of input); a debug file that
// starts a floor enters it and plays two frames.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fuzz/game_fuzz_harness.h"
#include "game/action_input.h"
#include "game/config_file.h"
#include "game/doors.h"
#include "game/music.h"
#include "game/title_windows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrin::fuzz::LiveGame& game = veltrin::fuzz::LiveGame::Get();
  const veltrin::fuzz::LiveGame::InputScope input = game.BeginInput();
  const std::uint8_t* end = data + size;
  const std::uint8_t* zero = std::find(data, end, 0);
  game.WriteGameFile(GamePath("\\save\\config.ini"), data, static_cast<std::size_t>(zero - data));
  const std::uint8_t* debug = zero == end ? end : zero + 1;
  game.WriteGameFile(GamePath("\\debug.ini"), debug, static_cast<std::size_t>(end - debug));

  ReadConfigFile();
  if (volumePercent < 0 || volumePercent > 100) std::abort();
  ApplyVolume(volumePercent, 1);
  for (int index = 0; index <= 10; ++index) MakeConfigValueText(index);
  ReadActionInput();

  ResetNewGame();
  if (LoadDebugIni() == 1) {
    if (floorNumber < 0 || floorNumber >= kFloorCount || entrance < 0 || entrance > 4) std::abort();
    player.life = player.maxLife;
    player.magic = 0;
    EnterDoor(entrance, 1, 0);
    RunFrame();
    RunFrame();
  }
  return 0;
}
