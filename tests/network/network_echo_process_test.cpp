// The echo tool in a process of its own, talked to by the library from this
// process and by a Python client (a peer that is not our code). Every wait
// is bounded; the tool is killed if it outlives the test.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "network_test_support.h"
#include "support/child_process.h"
#include "support/tool_paths.h"
#include "tools/framed_echo_stream.h"

namespace qz::testing {
namespace {

using NetworkEchoProcess = NetworkTest;

TEST_F(NetworkEchoProcess, MessagesMakeTheRoundTripThroughAnotherProcess) {
  ChildProcess echo({kNetEchoPath, "0", "1"});
  ASSERT_TRUE(echo.started());
  const int port = ListeningPort(echo.FirstLine(10));
  ASSERT_GT(port, 0);

  const int client = ConnectNetWork("127.0.0.1", port);
  ASSERT_NE(client, -1);
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkAcceptState(client) == 1; }));
  for (const std::size_t size : {std::size_t{1}, std::size_t{4096}, std::size_t{8} << 20}) {
    SCOPED_TRACE(size);
    const std::vector<std::uint8_t> sent = Pattern(size, 11);
    ASSERT_EQ(NetWorkSend(client, sent.data(), static_cast<std::int32_t>(size)), 0);
    EXPECT_EQ(ReceiveBytes(client, size), sent);
  }
  std::vector<std::uint8_t> many;
  for (int i = 0; i < 100; ++i) {
    const std::vector<std::uint8_t> body = Pattern(64, static_cast<std::uint32_t>(i));
    ASSERT_EQ(NetWorkSend(client, body.data(), 64), 0);
    many.insert(many.end(), body.begin(), body.end());
  }
  EXPECT_EQ(ReceiveBytes(client, many.size()), many);
  ASSERT_EQ(CloseNetWork(client), 0);
  // Its one connection over, the tool ends by itself.
  EXPECT_EQ(echo.Wait(10), 0);
}

// The byte at `offset` of the late reader's stream of bodies.
std::uint8_t LateByte(std::uint64_t offset) { return static_cast<std::uint8_t>(offset * 7 + (offset >> 20)); }

// Reads framed messages from a plain socket until their bodies make up
// `total` bytes, checking each byte; stops early when nothing comes for five
// seconds or a frame is malformed. Returns the body bytes that matched.
std::uint64_t ReadLateEcho(int fd, std::uint64_t total) {
  std::uint64_t checked = 0;
  std::uint64_t frameLeft = 0;
  std::uint8_t word[4];
  int wordHave = 0;
  std::vector<std::uint8_t> chunk(1 << 16);
  while (checked < total) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 5000) <= 0) break;
    const ssize_t got = recv(fd, chunk.data(), chunk.size(), 0);
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      if (frameLeft == 0) {
        word[wordHave++] = chunk[static_cast<std::size_t>(i)];
        if (wordHave < 4) continue;
        wordHave = 0;
        frameLeft = word[0] | word[1] << 8 | word[2] << 16 | static_cast<std::uint32_t>(word[3]) << 24;
        if (checked + frameLeft > total) return checked;
        continue;
      }
      if (chunk[static_cast<std::size_t>(i)] != LateByte(checked)) return checked;
      ++checked;
      --frameLeft;
    }
  }
  return checked;
}

TEST_F(NetworkEchoProcess, AClientThatReadsLateGetsEveryByteBack) {
  ChildProcess echo({kNetEchoPath, "0", "1"});
  ASSERT_TRUE(echo.started());
  const int port = ListeningPort(echo.FirstLine(10));
  ASSERT_GT(port, 0);
  const int fd = tools::ConnectLoopback(port);
  ASSERT_GE(fd, 0);

  // 160 messages of 1 MiB, far more than the server may queue, all sent
  // before the first read: the server must slow the sender down, not drop.
  constexpr int kMessages = 160;
  constexpr std::uint32_t kBody = 1 << 20;
  std::atomic<std::uint64_t> sentBytes{0};
  std::thread sender([&] {
    std::vector<std::uint8_t> frame(4 + kBody);
    for (int message = 0; message < kMessages; ++message) {
      std::memcpy(frame.data(), &kBody, 4);
      const std::uint64_t base = std::uint64_t{kBody} * static_cast<std::uint32_t>(message);
      for (std::uint32_t i = 0; i < kBody; ++i) frame[4 + i] = LateByte(base + i);
      for (std::size_t at = 0; at < frame.size();) {
        const ssize_t sent = send(fd, frame.data() + at, frame.size() - at, MSG_NOSIGNAL);
        if (sent <= 0) return;
        at += static_cast<std::size_t>(sent);
        sentBytes += static_cast<std::uint64_t>(sent);
      }
    }
  });
  // The sender runs until every buffer on the way is full (or it is done).
  for (std::uint64_t before = ~std::uint64_t{0}; before != sentBytes;) {
    before = sentBytes;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  EXPECT_EQ(ReadLateEcho(fd, std::uint64_t{kBody} * kMessages), std::uint64_t{kBody} * kMessages);
  shutdown(fd, SHUT_RDWR);
  sender.join();
  close(fd);
  EXPECT_EQ(echo.Wait(10), 0);
}

TEST_F(NetworkEchoProcess, APythonClientFindsTheFramingItExpects) {
  if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not installed";
  ChildProcess echo({kNetEchoPath, "0", "2"});
  ASSERT_TRUE(echo.started());
  const int port = ListeningPort(echo.FirstLine(10));
  ASSERT_GT(port, 0);
  ChildProcess client({"python3", std::string(kNetworkTestFolder) + "/echo_client.py", std::to_string(port)});
  ASSERT_TRUE(client.started());
  EXPECT_EQ(client.FirstLine(90), "echo client: all messages came back");
  EXPECT_EQ(client.Wait(10), 0);
  EXPECT_EQ(echo.Wait(10), 0);
}

}  // namespace
}  // namespace qz::testing
