// The echo server of net_echo run in this process, so its queue can be
// watched while a plain socket client sends far more than it may hold.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "network_test_support.h"
#include "tools/framed_echo_stream.h"
#include "tools/net_echo_server.h"

namespace qz::testing {
namespace {

using NetEchoQueue = NetworkTest;

TEST_F(NetEchoQueue, AClientThatNeverReadsFillsTheQueueToItsLimitAndNoFurther) {
  ASSERT_NE(ListenNetWork("127.0.0.1", 0), -1);
  const int fd = tools::ConnectLoopback(GetListenNetWorkPort());
  ASSERT_GE(fd, 0);

  // 24 messages of 1 MiB, more than the queue and the socket buffers on the
  // way back hold together; the server's receive ring takes the rest.
  constexpr int kMessages = 24;
  constexpr std::uint32_t kBody = 1 << 20;
  constexpr std::uint64_t kTotal = std::uint64_t{kBody} * kMessages;
  std::atomic<bool> allSent{false};
  std::thread sender([&] {
    std::vector<std::uint8_t> frame(4 + kBody, 0x5A);
    std::memcpy(frame.data(), &kBody, 4);
    for (int message = 0; message < kMessages; ++message) {
      for (std::size_t at = 0; at < frame.size();) {
        const ssize_t sent = send(fd, frame.data() + at, frame.size() - at, MSG_NOSIGNAL);
        if (sent <= 0) return;
        at += static_cast<std::size_t>(sent);
      }
    }
    allSent = true;
  });

  tools::EchoServer server;
  constexpr int kLimit = tools::EchoServer::kQueueLimit;
  int longest = 0;
  auto pass = [&] {
    server.Pass();
    for (const int handle : server.connections()) longest = std::max(longest, GetNetWorkSendDataLength(handle));
    WaitNetworkEvents(10);
  };
  // Until everything is sent and the queue is as full as it gets: bytes wait
  // whole in the server that the queue has no room for.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  auto full = [&] {
    return allSent && longest >= kLimit && server.connections().size() == 1 &&
           GetNetWorkDataLength(server.connections()[0]) > 0;
  };
  while (!full() && std::chrono::steady_clock::now() < deadline) pass();
  EXPECT_TRUE(allSent);
  EXPECT_EQ(longest, kLimit);
  if (!allSent) shutdown(fd, SHUT_RDWR);
  sender.join();

  // Read at last, every byte comes back, and the queue stays within its limit.
  tools::FramedBodyCounter echo;
  std::uint64_t echoed = 0;
  std::vector<std::uint8_t> chunk(1 << 16);
  while (echoed < kTotal && std::chrono::steady_clock::now() < deadline) {
    pass();
    for (ssize_t got; (got = recv(fd, chunk.data(), chunk.size(), MSG_DONTWAIT)) > 0;) {
      echoed += echo.Take(chunk.data(), static_cast<std::size_t>(got));
    }
  }
  EXPECT_EQ(echoed, kTotal);
  EXPECT_EQ(longest, kLimit);
  close(fd);
}

}  // namespace
}  // namespace qz::testing
