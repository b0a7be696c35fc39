// The socket table the WinSock stand-in keeps: each SOCKET value names one
// POSIX descriptor and its notification state. SOCKET values are never
// reused, so a late notification for a closed socket cannot reach a new one.
// Only platform/winsock*.cpp include this.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/winsock.h"

namespace plat::winsock {

struct SocketEntry {
  int fd = -1;
  bool stream = true;
  bool listening = false;
  bool connecting = false;  // a non-blocking connect is under way
  // WSAAsyncSelect.
  HWND window = nullptr;
  std::uint32_t message = 0;
  std::int32_t events = 0;
  // FD_READ and FD_ACCEPT are posted once and enabled again by recv and
  // accept; FD_WRITE comes once the connection stands and once after each
  // send that was cut short, when room frees up.
  bool readEnabled = true;
  bool acceptEnabled = true;
  bool firstWritePending = false;
  bool sendCutShort = false;
  bool closeReported = false;
  bool watched = false;  // on the edge-triggered list
  bool blind = false;    // selected, but the list could not take it: polled on every pass
  // Polled at the next notification pass: the list saw a change, or a call
  // may have made an event due. A call other than a peek also ends a wait,
  // since what it made due (a second waiting connection, say) sends no edge.
  bool pollAgain = true;
  bool pollAgainWakes = true;
  // The descriptor itself must be polled; without, only bytes read ahead
  // are to be told.
  bool pollDescriptor = true;
  // A stream's bytes read from the descriptor ahead of the program's recv
  // calls, from `readAheadStart` on: a message's length word, its body and
  // the next length word come from one read instead of three.
  std::vector<char> readAhead;
  std::size_t readAheadStart = 0;
  // The last read filled its buffer, so more may wait behind it with no
  // edge to tell; a shorter read took everything there was.
  bool moreMayWait = true;

  std::size_t ReadAheadBytes() const { return readAhead.size() - readAheadStart; }
};

struct SocketTable {
  std::mutex mutex;
  std::unordered_map<SOCKET, SocketEntry> entries;
  SOCKET next = 0x100;
  int startCount = 0;
  // Edge-triggered epoll instance over the selected sockets, made on the
  // first selection: the notification pass polls only what it reports.
  int waitFd = -1;
  // The sockets whose pollAgain is set, so a pass looks at those alone
  // instead of every socket; sockets closed since are skipped.
  std::vector<SOCKET> marked;
  int blindCount = 0;
};

SocketTable& Table();
// Sets the calling thread's WinSock error; returns `result` for chaining.
int Fail(int error, int result = SOCKET_ERROR);
void SetLastError(int error);
// The WinSock number for an errno value.
int ErrorFromErrno(int error);
// Puts the entry on the wait's list, or takes it off (events 0, closing);
// called with the table locked.
void WatchEntry(SocketTable& table, SOCKET id, SocketEntry& entry, bool watch);
// After a call on the socket: look at it at the next pass (`wakes`: and end
// a wait; `descriptor`: polling its descriptor). Called with the table locked.
void PollAgain(SocketTable& table, SOCKET id, SocketEntry& entry, bool wakes, bool descriptor = true);

}  // namespace plat::winsock
