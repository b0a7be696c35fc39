// Sound start, end and stream service. Minimal until sound is built: each
// entry records its call and succeeds (the start fails only on a test switch).
#include "sound/sound_system.h"

#include "core/call_trace.h"

namespace qz {

int InitializeSound() {
  RecordCall("InitializeSound");
  return IsCallFailingForTest("InitializeSound") ? -1 : 0;
}

int TerminateSound() {
  RecordCall("TerminateSound");
  return 0;
}

int ProcessAllStreamSounds() {
  RecordCall("ProcessAllStreamSounds");
  return 0;
}

int RefillAllSoftSoundPlayers() {
  RecordCall("RefillAllSoftSoundPlayers");
  return 0;
}

}  // namespace qz
