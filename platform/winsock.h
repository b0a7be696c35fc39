// WinSock as the library uses it, over POSIX sockets: start and clean-up,
// TCP and UDP sockets, host names, the WinSock error numbers, and
// WSAAsyncSelect, whose window-message notifications are made by polling the
// selected sockets whenever PostSocketNotifications runs (the network pump).
//
// Nothing works before WSAStartup, and socket values are never reused. Stream
// sockets send without Nagle's delay (TCP_NODELAY), and WSASend gathers a
// message's length word and body into one write. PostSocketNotifications
// polls only the sockets that an edge of the epoll list or a call marked
// since the last pass. As from WinSock, FD_READ and FD_ACCEPT come once and
// again only after recv or accept, and FD_WRITE once after each send that was
// cut short. recv on a stream reads up to 64 KiB ahead for smaller calls (a
// message's length-word peek, word and body come from one read of the
// socket) and straight into the caller's buffer for larger ones; bytes read
// ahead make FD_READ due like bytes in the socket, and a read that took all
// there was needs no poll until the next edge. WaitForSocketEvents
// (edge-triggered epoll) lets an idle loop sleep until a socket changes: the
// platform core's idle wait and tools/net_echo use it.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "platform/window.h"

namespace plat {

using SOCKET = std::uintptr_t;
inline constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
inline constexpr int SOCKET_ERROR = -1;

// Address families, types, protocols and flags at WinSock's values. POSIX
// defines macros of the WinSock names, so these carry their own.
inline constexpr int kWsAfInet = 2;
inline constexpr int kWsAfInet6 = 23;
inline constexpr int kWsSockStream = 1;
inline constexpr int kWsSockDgram = 2;
inline constexpr int kWsIpProtoTcp = 6;
inline constexpr int kWsIpProtoUdp = 17;
inline constexpr int kWsMsgPeek = 2;
inline constexpr int kWsSomaxconn = 0x7FFFFFFF;
inline constexpr std::uint32_t kWsInaddrNone = 0xFFFFFFFFu;
inline constexpr int SD_RECEIVE = 0;
inline constexpr int SD_SEND = 1;
inline constexpr int SD_BOTH = 2;

// Events of WSAAsyncSelect: the low word of the notification's lParam.
inline constexpr std::int32_t FD_READ = 0x01;
inline constexpr std::int32_t FD_WRITE = 0x02;
inline constexpr std::int32_t FD_OOB = 0x04;
inline constexpr std::int32_t FD_ACCEPT = 0x08;
inline constexpr std::int32_t FD_CONNECT = 0x10;
inline constexpr std::int32_t FD_CLOSE = 0x20;

// Error numbers WSAGetLastError reports.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;

// Socket addresses in WinSock's layout; ports and IPv4 addresses in network
// byte order.
struct SocketAddress {
  std::uint16_t family;
  char data[14];
};
struct SocketAddressIn {
  std::uint16_t family;
  std::uint16_t port;
  std::uint32_t address;
  std::uint8_t zero[8];
};
struct SocketAddressIn6 {
  std::uint16_t family;
  std::uint16_t port;
  std::uint32_t flowInfo;
  std::uint8_t address[16];
  std::uint32_t scopeId;
};

struct WsaData {
  std::uint16_t version;
  std::uint16_t highVersion;
  char description[257];
  char systemStatus[129];
};

// One buffer of a gathered send, in WSABUF's layout.
struct WsaBuffer {
  std::uint32_t length;
  char* buffer;
};

// What gethostbyname returns: IPv4 addresses only, valid until the thread's
// next call.
struct HostEntry {
  char* name;
  char** aliases;
  std::int16_t addressType;
  std::int16_t length;
  char** addresses;
};

int WSAStartup(std::uint16_t version, WsaData* data);
int WSACleanup();
int WSAGetLastError();
// Selects the socket for notifications: from now on each
// PostSocketNotifications posts `message` to `window` with wParam the socket
// and lParam MakeLParam(event, error). The socket becomes non-blocking.
// events 0 cancels. Readiness is reported by level while it lasts: FD_READ
// whenever bytes wait, FD_ACCEPT whenever a connection waits; FD_WRITE once
// after the connection is made and then on every poll while a send was cut
// short and the socket can take more; FD_CONNECT and FD_CLOSE once.
int WSAAsyncSelect(SOCKET socket, HWND window, std::uint32_t message, std::int32_t events);

SOCKET socket(int family, int type, int protocol);
int bind(SOCKET socket, const SocketAddress* address, int length);
int listen(SOCKET socket, int backlog);
SOCKET accept(SOCKET socket, SocketAddress* address, int* length);
int connect(SOCKET socket, const SocketAddress* address, int length);
int send(SOCKET socket, const char* buffer, int length, int flags);
// The buffers in order as one send; `*sent` gets the bytes that went. 0, or
// SOCKET_ERROR. Overlapped sends are not offered: both last arguments must be null.
int WSASend(SOCKET socket, const WsaBuffer* buffers, std::uint32_t count, std::uint32_t* sent, std::uint32_t flags,
            void* overlapped, void* completionRoutine);
int recv(SOCKET socket, char* buffer, int length, int flags);
int shutdown(SOCKET socket, int how);
int closesocket(SOCKET socket);
int getsockname(SOCKET socket, SocketAddress* address, int* length);

std::uint16_t htons(std::uint16_t value);
std::uint16_t ntohs(std::uint16_t value);
// Dotted IPv4 text to a network-order address; kWsInaddrNone when it is not one.
std::uint32_t inet_addr(const char* text);
int gethostname(char* name, int length);
HostEntry* gethostbyname(const char* name);

// The stand-in's WinSock thread: posts the notifications due to every
// selected socket. Returns how many were posted.
int PostSocketNotifications();
// Blocks for at most `milliseconds` until something changes on a selected
// socket: bytes or a connection arrive, room to send frees up, a connect
// ends, the peer closes. A change since the last wait counts. 1 when woken by
// one, 0 after the time (under virtual time the clock moves on instead).
int WaitForSocketEvents(std::uint32_t milliseconds);

}  // namespace plat
