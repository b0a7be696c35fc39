// The three save slots: the byte format of a slot file (fixed little-endian
// fields, one map name, a checksum) and the writer and reader that move the
// live progress to and from "\save\SaveData0N.sav".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/game_state.h"

// Everything a slot stores, apart from the live variables it comes from.
struct SaveRecord {
  std::int32_t floorItems[kFloorCount][3];  // key switch used, key found, chest opened
  std::int32_t doorLinks[kFloorCount][kDoorsPerFloor];
  std::int32_t visited[kFloorCount];
  std::int32_t shopFound[kFloorCount];
  std::int32_t floorValue[kFloorCount];
  std::int32_t shopSold[32];
  std::int32_t bossDefeated[16];
  std::int32_t maxMagic;
  std::int32_t shotLevel[3];
  std::int32_t coins;
  std::int32_t keys;
  std::int32_t progressFlags[kProgressFlagCount];
  std::int32_t reserved;
  std::string mapName;  // at most 255 bytes
  std::int32_t entrance;
  std::int32_t gameOvers;
  std::uint32_t playTimeMs;
};

// A file holds 4337 bytes plus the name's length.
inline constexpr std::size_t kSaveFileFixedBytes = 4337;
inline constexpr std::size_t kSaveFileMaxBytes = kSaveFileFixedBytes + 255;

// The file bytes of a record, closed by its checksum.
std::vector<std::uint8_t> EncodeSaveRecord(const SaveRecord& record);
// Reads a file's bytes into *out (bytes past the checksum are ignored): "" for
// a save the game could have written, else why it is damaged: short, a name
// length outside 0..255, a name with a zero inside or without its terminating
// zero, a checksum that does not match, or a value the game never writes (a
// map name that is not a floor "001".."100", an entrance outside 0..4, Max
// MP outside 16..116 (each floor's one chest gives one MP or one coin, and
// no coin buys more than one MP), shot levels past a level a floor, coins or keys outside
// 0..99, door links outside -1..101, found items outside -1..29, flags
// holding neither 0 nor 1, more game overs than their cap).
const char* SaveFileFault(const std::uint8_t* bytes, std::size_t size, SaveRecord* out);
// True when SaveFileFault finds nothing.
bool DecodeSaveRecord(const std::uint8_t* bytes, std::size_t size, SaveRecord* out);

// The live progress as a record, and a record put back into the live state.
SaveRecord CaptureSaveRecord();
void ApplySaveRecord(const SaveRecord& record);

// The path of slot n: "\save\SaveData0" n ".sav" under the start directory.
GameString SaveDataFile(int slot);
// Stores the live progress in slot 1..3 after bringing the play time up to
// date: 1 when written. Slot -1 (a debug start) writes nothing and returns 0.
// The file is replaced whole and flushed to the disk (qz::ReplaceFileBytes),
// so a failed write or a power loss keeps the old save; a failure returns 0,
// is told on stderr with the file's path and sets *failure to a few words on
// why. A slot file the reader refuses is first copied beside itself, to the
// first free name of its name + ".damaged", ".damaged.2" .. ".damaged.16"
// (none when a copy already holds the same bytes, or all are taken).
int WriteSaveFile(int slot, std::string* failure = nullptr);
// What reading a slot found.
enum class SlotContents { kEmpty, kSaved, kDamaged };
// Loads slot 1..3 into the live progress. A missing file is kEmpty and changes
// nothing; a damaged one resets a new game and is named on stderr with why,
// once for as long as the file holds the same bytes.
SlotContents ReadSaveSlot(int slot);
// ReadSaveSlot as 1 when the slot loaded, else 0.
int ReadSaveFile(int slot);
// Removes the temporaries of slot writes cut off by a kill or a power loss.
void RemoveInterruptedSaves();
