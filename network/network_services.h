// What the platform core calls of networking: the end, the per-frame pump of
// the notification window, and the socket-event handler (message 0x505).
#pragma once

#include "platform/window.h"

namespace qz {

int EndNetwork();
int PumpNetworkMessages(int closeDead);
plat::LRESULT OnSocketEvent(plat::LPARAM lParam, plat::WPARAM wParam);

}  // namespace qz
