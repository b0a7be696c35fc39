// The echo server of net_echo run in this process, so its queue can be
// watched while a plain socket client sends far more than it may hold.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "network_test_support.h"
#include "tools/net_echo_server.h"

namespace qz::testing {
namespace {

using NetEchoQueue = NetworkTest;

// Body bytes of the framed stream a socket gives without blocking; the
// length word and the body left of the current frame carry over.
struct FramedCounter {
  std::uint8_t word[4] = {};
  int wordHave = 0;
  std::uint32_t frameLeft = 0;
  std::uint64_t bodies = 0;

  void Take(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t at = 0; at < size;) {
      if (frameLeft == 0) {
        word[wordHave++] = bytes[at++];
        if (wordHave < 4) continue;
        wordHave = 0;
        std::memcpy(&frameLeft, word, 4);
        continue;
      }
      const auto part = static_cast<std::uint32_t>(std::min<std::size_t>(frameLeft, size - at));
      at += part;
      frameLeft -= part;
      bodies += part;
    }
  }
};

TEST_F(NetEchoQueue, AClientThatNeverReadsFillsTheQueueToItsLimitAndNoFurther) {
  ASSERT_NE(ListenNetWork("127.0.0.1", 0), -1);
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(GetListenNetWorkPort()));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)), 0);

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
  FramedCounter echoed;
  std::vector<std::uint8_t> chunk(1 << 16);
  while (echoed.bodies < kTotal && std::chrono::steady_clock::now() < deadline) {
    pass();
    for (ssize_t got; (got = recv(fd, chunk.data(), chunk.size(), MSG_DONTWAIT)) > 0;) {
      echoed.Take(chunk.data(), static_cast<std::size_t>(got));
    }
  }
  EXPECT_EQ(echoed.bodies, kTotal);
  EXPECT_EQ(longest, kLimit);
  close(fd);
}

}  // namespace
}  // namespace qz::testing
