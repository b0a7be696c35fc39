// Music: MIDI items addressed by music handles, played through DirectMusic or
// MCI, plus the current-music slot that holds a music handle or a sound
// handle, and the sound capture file the sound end finishes. Nothing in this
// system creates music handles or switches capture on; the DirectMusic
// stand-in is off unless a test switches it on, so the MCI mode runs.
#pragma once

#include <cstdint>

#include "platform/dmusic.h"

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
  plat::DirectMusicSegment8* segment;  // DirectMusic only
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

// Sound start: DirectMusic is tried first, and its performance's InitAudio
// makes the DirectSound object (0, *device set); any failure leaves the MCI
// mode (-1, *device untouched: the caller makes DirectSound alone). The end
// deletes every music handle and the temporary MIDI file and releases the
// DirectMusic objects.
int StartMusicSystem(plat::DirectSound** device);
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
// DirectMusic mode: handles made by AddMusicHandleForTest hold a segment of
// their MIDI data; this starts it as the play entry would.
int PlayMusicHandleForTest(int handle);
int StartSoundCaptureForTest(const char* path);
int AppendSoundCaptureForTest(const std::int16_t* frames, std::int32_t count);

}  // namespace qz
