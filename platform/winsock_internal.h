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
  bool firstWritePending = false;  // FD_WRITE once the connection stands
  bool sendCutShort = false;       // FD_WRITE while this lasts and space frees up
  bool closeReported = false;
  bool watched = false;  // on the wait's edge-triggered list
};

struct SocketTable {
  std::mutex mutex;
  std::unordered_map<SOCKET, SocketEntry> entries;
  SOCKET next = 0x100;
  int startCount = 0;
  int waitFd = -1;  // epoll instance of WaitForSocketEvents, made on first selection
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

}  // namespace plat::winsock
