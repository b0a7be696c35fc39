// Stream sounds: one looping one-second buffer refilled from up to three
// sources, each converted to PCM as it plays. Refills run on the sound-stream
// thread every 30 ms, or from the message pump on a single processor. A
// stream may play on another stream's buffer of the same format; the sounds
// sharing a buffer take turns, the last to claim it being its current user.
#pragma once

#include <cstdint>

#include "sound/sound_handle.h"

namespace qz {

// Primes a stream that is neither playing nor primed: rewinds the buffer,
// seeks the current source and writes the first fill. 0 or -1.
int StartStreamSound(SoundHandle handle);
int PlayStreamSoundHandle(SoundHandle handle, int playType, int fromTop);
// Stops the buffer but keeps the stream primed, so a play without from-top
// continues at the same sample.
int StopStreamSoundHandle(SoundHandle handle);
// 1 while its buffer plays and it is (or becomes) the buffer's current user.
int IsStreamSoundPlaying(SoundHandle handle);
// Milliseconds played, at most the total time.
int GetStreamSoundCurrentTime(SoundHandle handle);
// Brings the played-byte count up to date from the play cursor (-1: read it).
int SyncStreamSoundPosition(SoundHandle handle, std::int32_t cursor);
// One refill pass of one stream.
int ProcessStreamSoundHandle(SoundHandle handle);
// One refill pass of every primed stream on the stream list.
int ServiceStreamSounds();

// The record that owns the buffer a stream plays on (itself when it shares
// none), or null.
SoundRecord* GetStreamBufferRecord(SoundRecord* record);
// Makes the handle its buffer's current user. Without force it fails (-1)
// when another sound uses the buffer; with force that sound is stopped first.
int AcquireStreamSoundBuffer(SoundHandle handle, int force);
// Releases every source's converter, data and stream (the record's buffer is
// left to the caller).
void ReleaseStreamSources(SoundRecord* record);

}  // namespace qz
