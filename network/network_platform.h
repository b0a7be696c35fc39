// The WinSock entry points and the millisecond clock networking calls, in one
// table: loaded from "ws2_32.dll" by name when networking starts, and
// replaceable by tests (scripted transfers, an injected clock).
#pragma once

#include <cstdint>

#include "platform/winsock.h"

namespace qz {

struct NetworkPlatform {
  int (*WSAGetLastError)();
  int (*WSAStartup)(std::uint16_t version, plat::WsaData* data);
  int (*WSACleanup)();
  int (*WSAAsyncSelect)(plat::SOCKET socket, plat::HWND window, std::uint32_t message, std::int32_t events);
  plat::HostEntry* (*gethostbyname)(const char* name);
  std::uint16_t (*htons)(std::uint16_t value);
  std::uint16_t (*ntohs)(std::uint16_t value);
  std::uint32_t (*inet_addr)(const char* text);
  plat::SOCKET (*socket)(int family, int type, int protocol);
  int (*bind)(plat::SOCKET socket, const plat::SocketAddress* address, int length);
  int (*listen)(plat::SOCKET socket, int backlog);
  plat::SOCKET (*accept)(plat::SOCKET socket, plat::SocketAddress* address, int* length);
  int (*connect)(plat::SOCKET socket, const plat::SocketAddress* address, int length);
  int (*send)(plat::SOCKET socket, const char* buffer, int length, int flags);
  int (*WSASend)(plat::SOCKET socket, const plat::WsaBuffer* buffers, std::uint32_t count, std::uint32_t* sent,
                 std::uint32_t flags, void* overlapped, void* completionRoutine);
  int (*recv)(plat::SOCKET socket, char* buffer, int length, int flags);
  int (*closesocket)(plat::SOCKET socket);
  int (*getsockname)(plat::SOCKET socket, plat::SocketAddress* address, int* length);
  // Not WinSock's: the stand-in's notification poll and its wait for socket
  // changes, and the clock of the closing waits.
  int (*PostSocketNotifications)();
  int (*WaitForSocketEvents)(std::uint32_t milliseconds);
  std::uint32_t (*timeGetTime)();
};

// The table in force: the test's when one is set, else the loaded one.
const NetworkPlatform& Net();
// Loads the entries from "ws2_32.dll"; -1 when the module or an entry is
// missing (nothing stays loaded then).
int LoadNetworkPlatform();
void UnloadNetworkPlatform();
// Test hook: a table to use instead of the module's (null: the module's).
// The table must stay alive while it is set.
void SetNetworkPlatformForTest(const NetworkPlatform* platform);
// The entries of "ws2_32.dll" and the stand-in clock, for tests that wrap
// a few of them.
NetworkPlatform StandInNetworkPlatform();

}  // namespace qz
