// Music: the per-frame play-state update, the end's delete of the current
// music, and the handler of the music notification message.
#pragma once

namespace qz {

int UpdateMusicPlayStates();
int DeleteCurrentMusic();
int OnMciMusicNotify();

}  // namespace qz
