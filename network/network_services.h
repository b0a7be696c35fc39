// What the platform core calls of networking: the end, the per-frame pump of
// the notification window, the idle wait, and the socket-event handler
// (message 0x505).
#pragma once

#include "platform/window.h"

namespace qz {

// Closes every handle (the flushes share one 2-second budget), closes the
// notification window and cleans WinSock up. 0 at once when not started.
int EndNetwork();
// With closeLost 1, first closes connections in error and lost ones whose
// close mark is set (with auto-close on); then polls the sockets and
// dispatches every notification waiting for the network window.
int PumpNetworkMessages(int closeLost);
// Waits at most `milliseconds` for something to happen on a socket: bytes or
// a connection arriving, room to send, a peer closing. Returns 1 at once when
// an event the pump could not act on waits for the next pump, 1 when woken,
// 0 after the time; sleeps the whole time when networking is not started.
int WaitNetworkEvents(int milliseconds);
// Message 0x505: wParam the socket, lParam the event (low word) and error
// (high word). 0 when no record has the socket.
plat::LRESULT OnSocketEvent(plat::WPARAM socket, plat::LPARAM eventWord);

}  // namespace qz
