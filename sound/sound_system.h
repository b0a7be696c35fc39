// The sound system's start and end, and the services the pump runs: stream
// refills and software-sound players, only on single-processor machines
// (elsewhere the sound-stream thread runs them every 30 ms).
#pragma once

namespace qz {

// 0, or -1 when the sound device could not be made (the library runs on;
// sound calls then fail one by one).
int InitializeSound();
// Joins the sound-stream thread, then deletes every sound and releases the device.
int TerminateSound();
int ProcessAllStreamSounds();
int RefillAllSoftSoundPlayers();

// Test hook: -1 lets the processor count decide whether the next start makes
// the sound-stream thread; 0 never, 1 always.
void SetSoundStreamThreadForTest(int enabled);

}  // namespace qz
