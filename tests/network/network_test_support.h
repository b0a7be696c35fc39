// Shared by the network tests: a started network with a scratch log, bounded
// pumping, and a connected pair of handles on the loopback address.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "network/network.h"
#include "network/network_platform.h"
#include "network/network_services.h"
#include "network/network_state.h"
#include "platform/clock.h"
#include "support/scratch_log.h"

namespace qz::testing {

// Pumps until `done` holds, for at most `seconds` of real time. Bounded by
// time alone: a count of passes runs out sooner the faster the pump is, and
// a peer in another process keeps its own pace.
inline bool PumpUntil(const std::function<bool()>& done, double seconds = 10.0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    PumpNetworkMessages(1);
  }
  return done();
}

inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t value = seed * 2654435761u + 1;
  for (auto& byte : bytes) {
    value = value * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(value >> 16);
  }
  return bytes;
}

class NetworkTest : public ScratchLogTest {
 protected:
  void SetUp() override {
    ScratchLogTest::SetUp();
    ASSERT_EQ(StartNetwork(), 0);
  }
  void TearDown() override {
    EndNetwork();
    SetNetworkPlatformForTest(nullptr);
    SetNetWorkMessageLimit(kDefaultMessageLimit);
    ScratchLogTest::TearDown();
  }

  // A listener on the loopback address and one connection to it, both ends
  // connected: {client, server}.
  std::pair<int, int> ConnectPair() {
    if (GetNetworkState().records[kNetworkListenSlot] == nullptr) {
      const int listener = ListenNetWork("127.0.0.1", 0);
      EXPECT_EQ(listener, NetworkHandleAt(kNetworkListenSlot));
    }
    const int port = GetListenNetWorkPort();
    EXPECT_GT(port, 0);
    const int client = ConnectNetWork("127.0.0.1", port);
    EXPECT_NE(client, -1);
    int server = -1;
    EXPECT_TRUE(PumpUntil([&] {
      if (server == -1) server = GetNewAcceptNetWork();
      return server != -1 && GetNetWorkAcceptState(client) == 1;
    }));
    return {client, server};
  }

  // Takes `size` bytes arriving at `handle`, pumping as they come.
  static std::vector<std::uint8_t> ReceiveBytes(int handle, std::size_t size) {
    std::vector<std::uint8_t> got;
    std::vector<std::uint8_t> chunk(1 << 20);
    PumpUntil([&] {
      const int n = NetWorkRecv(handle, chunk.data(), static_cast<std::int32_t>(chunk.size()));
      if (n > 0) got.insert(got.end(), chunk.begin(), chunk.begin() + n);
      return got.size() >= size;
    });
    return got;
  }

  NetworkRecord* Record(int handle) { return GetNetworkRecord(handle); }
  std::string Log() const { return ScratchLogTest::Log(); }
  bool Logged(const char* text) const { return scratch_->Contains(text); }
};

}  // namespace qz::testing
