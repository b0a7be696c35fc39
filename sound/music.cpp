// Music. Minimal until music is built: no music plays, each entry records its
// call and succeeds.
#include "sound/music.h"

#include "core/call_trace.h"

namespace qz {

int UpdateMusicPlayStates() {
  RecordCall("UpdateMusicPlayStates");
  return 0;
}

int DeleteCurrentMusic() {
  RecordCall("DeleteCurrentMusic");
  return 0;
}

int OnMciMusicNotify() {
  RecordCall("OnMciMusicNotify");
  return 0;
}

}  // namespace qz
