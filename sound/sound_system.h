// The sound system's start and end, and the stream service the pump runs on
// single-processor machines.
#pragma once

namespace qz {

// 0, or -1 when no sound device could be opened (the library runs on).
int InitializeSound();
int TerminateSound();
int ProcessAllStreamSounds();
int RefillAllSoftSoundPlayers();

}  // namespace qz
