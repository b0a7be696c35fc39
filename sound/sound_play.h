// Playing, stopping and querying sounds, and the volume setter. A static
// sound plays on the next of its buffers in turn, so a sound made with three
// buffers can sound three times at once; stream sounds go to the stream code.
#pragma once

#include "sound/sound_handle.h"

namespace qz {

// Play types: 0 plays and waits for the end, 1 plays and returns, 3 loops;
// any other value behaves like 1. fromTop 1 restarts from the beginning.
int PlaySoundHandle(SoundHandle handle, int playType, int fromTop);
int StopSoundHandle(SoundHandle handle);
int IsSoundHandlePlaying(SoundHandle handle);
// volume 0..255 (above 255 counts as 255), applied now and to later plays.
int SetSoundHandleVolume(int volume, SoundHandle handle);
// Milliseconds into the sound.
int GetSoundHandleCurrentTime(SoundHandle handle);
// Loads the file with one buffer as the current music sound (deleting the
// previous one) and plays it from the top.
int PlaySoundFileAsMusic(const char* path, int playType);

// The slot a static play uses next: -1 for a sound without buffers, -2 when
// that slot is busy and fromTop is 0.
int SelectNextSoundBuffer(SoundRecord* record, int fromTop);
// Volume, pan (one-shot values first, then cleared) and frequency onto a slot.
void ApplyPlaySettings(SoundRecord* record, SoundBufferSlot* slot);
// Returns once the sound stops or the message pump reports the end.
void WaitWhileSoundPlays(SoundHandle handle);

}  // namespace qz
