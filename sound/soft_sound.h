// Software sounds: handles of PCM data records and of players that feed a
// looping device buffer from a ring of PCM their producer appends. Nothing in
// this system creates them; the sound end deletes any that exist and the
// stream service refills the active players.
#pragma once

#include <cstdint>

#include "core/ring_buffer.h"
#include "sound/sound_handle.h"

namespace qz {

inline constexpr int kSoftSoundTableSize = 8192;
inline constexpr std::int32_t kSoftSoundData = 0;
inline constexpr std::int32_t kSoftSoundPlayer = 1;

struct SoftSoundRecord {
  std::int32_t check;
  std::int32_t kind;
  plat::WaveFormatEx format;
  // Data records.
  void* data;
  std::int32_t frames;
  // Players.
  SoundBufferSlot buffer;  // looping
  RingBuffer ring;
  std::int32_t storedFrames;
  std::uint32_t writeOffset;
  std::uint32_t leadBytes;
  std::int32_t emptyMark;  // -1: none; where the ring's data ran out in the buffer
  std::uint32_t lastCursor;
  std::int32_t markPassed;
  std::int32_t active;
  HandleListNode node;
};

int RefillSoftSoundPlayer(int handle);
// Every active player on the player list.
int RefillSoftSoundPlayers();
int DeleteSoftSoundHandle(int handle);
int DeleteAllSoftSoundData();
int DeleteAllSoftSoundPlayers();

// Test hooks: what a creating entry would do.
int CreateSoftSoundPlayerForTest(const plat::WaveFormatEx& format, std::uint32_t bufferBytes,
                                 std::uint32_t leadBytes);
int AppendSoftSoundPlayerForTest(int handle, const void* pcm, std::uint32_t bytes);
SoftSoundRecord* GetSoftSoundRecordForTest(int handle);

}  // namespace qz
