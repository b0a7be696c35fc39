// A scripted connection for the network tests and the fuzz target's cousin:
// recv hands out the bytes that have "arrived" (optionally in chunks of
// given sizes), send takes what the script allows per call, and the clock
// moves a set step per read. Installed as the network's platform table.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "network/network_platform.h"
#include "network_test_support.h"

namespace qz::testing {

struct FakeWire {
  std::vector<std::uint8_t> incoming;
  std::size_t arrived = 0;  // bytes of `incoming` the peer has sent so far
  std::size_t readPosition = 0;
  std::deque<int> recvCaps;  // per-call limits of real (not peeking) recv calls
  std::vector<std::uint8_t> sent;
  std::deque<int> sendCaps;  // per-call limits of send; 0 would block
  bool sendBlocked = false;  // every send would block
  int sendCalls = 0;
  int lastError = 0;
  std::uint32_t clock = 0;
  std::uint32_t clockStep = 1;
  int clockReads = 0;
  // Failures to script.
  plat::SOCKET acceptResult = 777;
  int acceptError = 0;
  bool selectFails = false;
  int (*onRecv)() = nullptr;  // runs inside each recv (nested calls)
  int notificationPosts = 0;   // pumps that reached the socket notifications

  static FakeWire& Get() {
    static FakeWire wire;
    return wire;
  }

  void Arrive(const std::vector<std::uint8_t>& bytes, std::size_t count = SIZE_MAX) {
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
    arrived = std::min(incoming.size(), count == SIZE_MAX ? incoming.size() : arrived + count);
  }
  void ArriveAll() { arrived = incoming.size(); }

  static int Recv(plat::SOCKET, char* buffer, int length, int flags) {
    FakeWire& wire = Get();
    if (wire.onRecv != nullptr) wire.onRecv();
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), wire.arrived - wire.readPosition);
    const bool peek = (flags & plat::kWsMsgPeek) != 0;
    if (!peek && !wire.recvCaps.empty()) {
      n = std::min<std::size_t>(n, static_cast<std::size_t>(wire.recvCaps.front()));
      wire.recvCaps.pop_front();
    }
    if (n == 0 && length > 0) {
      wire.lastError = plat::WSAEWOULDBLOCK;
      return plat::SOCKET_ERROR;
    }
    std::memcpy(buffer, wire.incoming.data() + wire.readPosition, n);
    if (!peek) wire.readPosition += n;
    return static_cast<int>(n);
  }
  // Bytes of a send of `length` the script lets through; -1 when it would block.
  int SendAllowance(int length) {
    int n = length;
    if (!sendCaps.empty()) {
      n = std::min(n, sendCaps.front());
      sendCaps.pop_front();
    } else if (sendBlocked) {
      n = 0;
    }
    ++sendCalls;
    if (n == 0 && length > 0) {
      lastError = plat::WSAEWOULDBLOCK;
      return -1;
    }
    return n;
  }
  static int Send(plat::SOCKET, const char* buffer, int length, int) {
    FakeWire& wire = Get();
    const int n = wire.SendAllowance(length);
    if (n < 0) return plat::SOCKET_ERROR;
    wire.sent.insert(wire.sent.end(), buffer, buffer + n);
    return n;
  }
  static int GatherSend(plat::SOCKET, const plat::WsaBuffer* buffers, std::uint32_t count, std::uint32_t* sent,
                        std::uint32_t, void*, void*) {
    FakeWire& wire = Get();
    int length = 0;
    for (std::uint32_t i = 0; i < count; ++i) length += static_cast<int>(buffers[i].length);
    int n = wire.SendAllowance(length);
    if (n < 0) return plat::SOCKET_ERROR;
    *sent = static_cast<std::uint32_t>(n);
    for (std::uint32_t i = 0; i < count && n > 0; ++i) {
      const int part = std::min(n, static_cast<int>(buffers[i].length));
      wire.sent.insert(wire.sent.end(), buffers[i].buffer, buffers[i].buffer + part);
      n -= part;
    }
    return 0;
  }
  static std::uint32_t Clock() {
    FakeWire& wire = Get();
    ++wire.clockReads;
    wire.clock += wire.clockStep;
    return wire.clock;
  }
  static plat::SOCKET Accept(plat::SOCKET, plat::SocketAddress* address, int* length) {
    FakeWire& wire = Get();
    if (wire.acceptError != 0) {
      wire.lastError = wire.acceptError;
      return plat::INVALID_SOCKET;
    }
    plat::SocketAddressIn in{};
    in.family = plat::kWsAfInet;
    in.port = 0x3930;  // 12345 in network order
    in.address = 0x0100007F;
    std::memcpy(address, &in, sizeof(in));
    *length = sizeof(in);
    return wire.acceptResult;
  }
  static int Select(plat::SOCKET, plat::HWND, std::uint32_t, std::int32_t) {
    if (!Get().selectFails) return 0;
    Get().lastError = plat::WSAENOTSOCK;
    return plat::SOCKET_ERROR;
  }
  static int LastError() { return Get().lastError; }
  static int Succeed(plat::SOCKET) { return 0; }
  static int Startup(std::uint16_t, plat::WsaData*) { return 0; }
  static int Cleanup() { return 0; }
  static int NoNotifications() {
    ++Get().notificationPosts;
    return 0;
  }

  // The platform table over this wire; everything else is the stand-in's.
  static NetworkPlatform Platform() {
    NetworkPlatform table = StandInNetworkPlatform();
    table.recv = &Recv;
    table.send = &Send;
    table.WSASend = &GatherSend;
    table.accept = &Accept;
    table.WSAAsyncSelect = &Select;
    table.WSAGetLastError = &LastError;
    table.closesocket = &Succeed;
    table.WSAStartup = &Startup;
    table.WSACleanup = &Cleanup;
    table.PostSocketNotifications = &NoNotifications;
    table.timeGetTime = &Clock;
    return table;
  }

  static void Reset() { Get() = FakeWire{}; }
};

// The network started over a fresh scripted wire.
class FakeWireTest : public NetworkTest {
 protected:
  void SetUp() override {
    FakeWire::Reset();
    platform_ = FakeWire::Platform();
    SetNetworkPlatformForTest(&platform_);
    NetworkTest::SetUp();
  }

  FakeWire& wire_ = FakeWire::Get();
  NetworkPlatform platform_{};
};

}  // namespace qz::testing
