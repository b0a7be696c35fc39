// The socket table the WinSock stand-in keeps: each SOCKET value names one
// POSIX descriptor and its notification state. SOCKET values are never
// reused, so a late notification for a closed socket cannot reach a new one.
// Only platform/winsock*.cpp include this.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

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
  // Polled at the next notification pass: the list saw a change, or a call
  // may have made an event due. A call other than a peek also ends a wait,
  // since what it made due (a second waiting connection, say) sends no edge.
  bool pollAgain = true;
  bool pollAgainWakes = true;
};

struct SocketTable {
  std::mutex mutex;
  std::unordered_map<SOCKET, SocketEntry> entries;
  SOCKET next = 0x100;
  int startCount = 0;
  // Edge-triggered epoll instance over the selected sockets, made on the
  // first selection: the notification pass polls only what it reports.
  int waitFd = -1;
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
// After a call on the socket: poll it at the next pass (`wakes`: and end a wait).
void PollAgain(SocketEntry& entry, bool wakes);

}  // namespace plat::winsock
