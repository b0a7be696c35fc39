// Arbitrary bytes as a save slot, applied to the live game as Continue does.
// The bytes are decoded over a new game's record (fields past a damaged spot
// keep the new game's values) and written back with a true checksum, so the
// mutations reach the reader's checks and the live game: slot 1 is loaded,
// its floor entered and played for two frames, and the status screen shown
// for three. The bytes as they are go to slot 2, whose label is made.
#include <cstdint>
#include <vector>

#include "fuzz/game_fuzz_harness.h"
#include "game/doors.h"
#include "game/save_file.h"
#include "game/screens.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrin::fuzz::LiveGame& game = veltrin::fuzz::LiveGame::Get();
  const veltrin::fuzz::LiveGame::InputScope input = game.BeginInput();
  game.WriteGameFile(SaveDataFile(2), data, size);
  MakeSaveSlotLabel(2);

  ResetNewGame();
  SaveRecord record = CaptureSaveRecord();
  record.mapName = "001";
  const std::vector<std::uint8_t> exact(data, data + size);
  DecodeSaveRecord(exact.data(), exact.size(), &record);
  const std::vector<std::uint8_t> sealed = EncodeSaveRecord(record);
  game.WriteGameFile(SaveDataFile(1), sealed.data(), sealed.size());

  ResetNewGame();
  gameState.scene = kSceneFloorPlay;
  gameState.saveSlot = 1;
  if (ReadSaveFile(1) != 1) return 0;
  floorNumber = ParseIntAndFree(mapName) - 1;
  EnterDoor(entrance, 1, 0);
  for (int frame = 0; frame < 2 && gameState.scene == kSceneFloorPlay; ++frame) RunFrame();
  if (gameState.scene != kSceneFloorPlay) return 0;
  EnterStatusScreen();
  for (int frame = 0; frame < 3 && gameState.scene == kSceneStatus; ++frame) RunFrame();
  return 0;
}
