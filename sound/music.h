// Music: MIDI items addressed by music handles, played through DirectMusic or
// MCI, plus the current-music slot that holds a music handle or a sound
// handle, and the sound capture file the sound end finishes. Nothing in this
// system creates music handles or switches capture on; DirectMusic is absent
// here, so the MCI mode runs.
#pragma once

#include <cstdint>

namespace qz {

inline constexpr int kMusicTableSize = 256;
inline constexpr std::int32_t kMusicModeMci = 0;
inline constexpr std::int32_t kMusicModeDirectMusic = 1;

struct MusicRecord {
  std::int32_t check;
  std::int32_t playing;
  std::int32_t started;  // DirectMusic: the performance has reported it playing
  void* midiData;
  std::int32_t midiBytes;
  void* segment;  // DirectMusic only
};

int IsMusicHandlePlaying(int handle);
// Run by the pump every pass.
int UpdateMusicPlayStates();
// The MCI end-of-play notification: replays when looping, else closes.
int OnMciMusicNotify();
int StopMusicHandle(int handle);
int DeleteMusicHandle(int handle);
int DeleteAllMusicHandles();
// Stops and deletes the current music (a sound or a music handle).
int DeleteCurrentMusic();
// Writes the 46-byte wave header over the capture file's start and closes
// it; -1 when no capture runs.
int FinishSoundCaptureFile();

// Sound start and end: DirectMusic is tried first; any failure leaves the
// MCI mode. The end deletes every music handle and the temporary MIDI file.
int StartMusicSystem();
int EndMusicSystem();
int GetMusicMode();

// Test hooks: what a creating entry would fill in.
int AddMusicHandleForTest(const void* midi, std::int32_t bytes);
MusicRecord* GetMusicRecordForTest(int handle);
int GetMusicUsedRangeEndForTest();
struct MciMusicState {
  std::uint32_t device;
  std::int32_t loop;
  std::int32_t playing;
};
void SetMciMusicStateForTest(const MciMusicState& state);
MciMusicState GetMciMusicStateForTest();
// DirectMusic mode over a fake performance that answers whether a segment plays.
void UseDirectMusicForTest(bool (*isPlaying)(void* segment));
int StartSoundCaptureForTest(const char* path);
int AppendSoundCaptureForTest(const std::int16_t* frames, std::int32_t count);

}  // namespace qz
