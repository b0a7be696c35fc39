// Networking's records and state, shared by the handle, framing and
// application files of network/ and read by its tests: the table of 8193
// records (slot 8192 is the listening socket), the list through which a
// socket finds its record, and the options.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "core/ring_buffer.h"
#include "platform/window.h"
#include "platform/winsock.h"

namespace qz {

inline constexpr int kNetworkConnectionSlots = 8192;
inline constexpr int kNetworkListenSlot = 8192;
inline constexpr int kNetworkSlots = 8193;
inline constexpr std::uint32_t kSocketNotifyMessage = 0x505;
// Everything a connection is selected for; the listener takes FD_ACCEPT.
inline constexpr std::int32_t kConnectionEvents = plat::FD_READ | plat::FD_WRITE | plat::FD_CLOSE;
// A closing wait of one handle, and the whole flush of the network end.
inline constexpr std::int32_t kCloseWaitMs = 1000;
inline constexpr std::int32_t kEndFlushBudgetMs = 2000;
// Longest message accepted from a peer unless the program sets another.
inline constexpr std::int32_t kDefaultMessageLimit = 64 * 1024 * 1024;

struct NetworkRecord {
  std::int32_t udp;
  std::int32_t valid;
  std::int32_t ipv6;
  std::int32_t error;
  std::int32_t connected;
  std::int32_t closeMark;
  std::int32_t newConnection;
  std::int32_t messageMode;
  std::int32_t autoClose;
  std::int32_t check;
  plat::SOCKET socket;
  std::uint32_t incomingLeft;
  RingBuffer receiveRing;
  std::uint32_t incomingLength;
  std::uint32_t completedBytes;
  RingBuffer sendRing;
  std::uint32_t outgoingLeft;
  std::int32_t lengthWordLeft;
  std::uint8_t peerIpv4[4];
  std::uint16_t peerIpv6[8];
  std::int32_t peerPort;  // network byte order, as accept gives it
  std::int32_t udpReadReady;
  std::int32_t udpWriteReady;
  HandleListNode node;
  // Set when the connection ended (FD_CLOSE, or a connect that failed), so
  // the program can tell a lost connection from one still being made.
  std::int32_t peerGone;
  // FD_READ, FD_WRITE and FD_ACCEPT events refused because that kind of work
  // was running (a pump inside it dispatched them); the outermost pump runs them.
  std::int32_t deferredEvents;
};

struct NetworkState {
  NetworkRecord* records[kNetworkSlots];
  HandleListNode listHead;
  HandleListNode listTail;
  std::int32_t checkCounter;
  std::int32_t started;
  plat::HWND window;
  std::int32_t streamMode;
  std::int32_t noAutoClose;
  std::int32_t windowGone;
  // A receive, a send or an accept is running: one never starts inside
  // another of its kind, on any connection.
  std::int32_t receiveBusy;
  std::int32_t sendBusy;
  std::int32_t acceptBusy;
  // Some record holds deferred events.
  std::int32_t eventDeferred;
};

NetworkState& GetNetworkState();
// The record of a valid network handle, else null.
NetworkRecord* GetNetworkRecord(int handle);
LibraryHandle NetworkHandleAt(int slot);
// The first free slot of 0..8191, or -1.
int FirstFreeConnectionSlot();
// Puts a cleared record for `socket` into the slot and at the front of the
// list, with the options of new connections; the check number is taken from
// the counter. Returns the handle, or -1 (logged) when memory runs out.
// Selecting the socket is the caller's part.
int AddNetworkRecord(int slot, plat::SOCKET socket, int udp);
// Unlinks and frees a record and its rings and clears its slot; the socket
// is the caller's part.
void DiscardNetworkRecord(int slot);
// Elapsed milliseconds on the network clock since `start` (a value of NetworkNow).
std::int32_t NetworkNow();
std::int32_t NetworkElapsed(std::int32_t start);

// The longest message accepted from a peer (and sent as one message).
std::int32_t GetNetworkMessageLimit();

int AcceptNetWork();
int RecvSocket(int handle);
int SendSocket(int handle);
int CloseUdpNetworkHandle(int handle);
int FlushAndCloseNetworkHandle(int handle);
// Formats into 1024 bytes and logs "ネットワークログ。<text>[<WinSock error>]"; -1.
int LogNetworkFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Marks an event refused because its kind of work was running, for the
// outermost pump to run.
void DeferSocketEvent(NetworkRecord* record, std::int32_t event);

// A deadline shared by several closing waits (the network end's).
struct CloseBudget {
  std::int32_t start;
  std::int32_t limit;
};
int FlushAndCloseWithin(int handle, const CloseBudget* budget);
// The network window's class goes with the network.
void UnregisterNetworkWindowClass();

}  // namespace qz
