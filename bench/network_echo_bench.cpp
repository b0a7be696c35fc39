// Round trips of 100-byte framed messages through the echo tool net_echo, a
// process of its own, on 1 and on 50 connections, each connection keeping one
// message in flight. The anchor is a plain Python asyncio echo server with the
// same framing (bench/asyncio_echo_anchor.py), driven by the same client and
// timed in the same benchmark just before and just after net_echo's loop:
// "vs_asyncio" is net_echo's round trips per second over the anchor's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/support/child_process.h"

namespace {

constexpr int kBodySize = 100;
constexpr int kFrameSize = 4 + kBodySize;
constexpr double kAnchorSeconds = 0.5;
// Round trips of one benchmark iteration, for each connection.
constexpr int kTripsPerConnection = 20;

// Connections that each send a message, wait for all of its echo and send
// the next, over plain non-blocking sockets with Nagle's algorithm off.
class EchoClient {
 public:
  EchoClient(int port, int connections) {
    for (int i = 0; i < connections; ++i) {
      const int fd = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(static_cast<std::uint16_t>(port));
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0) {
        if (fd >= 0) close(fd);
        Close();
        return;
      }
      const int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      polled_.push_back({fd, POLLIN, 0});
    }
    echoed_.assign(polled_.size(), 0);
    frame_.assign(kFrameSize, 'e');
    const std::uint32_t length = kBodySize;
    std::memcpy(frame_.data(), &length, 4);  // little-endian on the machines this runs on
  }
  ~EchoClient() { Close(); }
  EchoClient(const EchoClient&) = delete;
  EchoClient& operator=(const EchoClient&) = delete;

  bool connected() const { return !polled_.empty(); }

  // Completes `count` round trips in all (the messages in flight when it
  // ends are finished too, uncounted); false when a server fails.
  bool RoundTrips(std::int64_t count) {
    for (pollfd& each : polled_) {
      if (!SendFrame(each.fd)) return false;
    }
    std::int64_t done = 0;
    std::size_t inFlight = polled_.size();
    std::vector<char> buffer(1 << 16);
    while (inFlight > 0) {
      if (poll(polled_.data(), polled_.size(), 10000) <= 0) return false;
      for (std::size_t i = 0; i < polled_.size(); ++i) {
        if (polled_[i].revents == 0) continue;
        const ssize_t got = recv(polled_[i].fd, buffer.data(), buffer.size(), 0);
        if (got <= 0) {
          if (got < 0 && errno == EAGAIN) continue;
          return false;
        }
        echoed_[i] += static_cast<int>(got);
        if (echoed_[i] < kFrameSize) continue;
        echoed_[i] -= kFrameSize;
        if (++done < count) {
          if (!SendFrame(polled_[i].fd)) return false;
        } else {
          --inFlight;
        }
      }
    }
    return true;
  }

  // Round trips per second over about `seconds`.
  double Rate(double seconds) {
    std::int64_t count = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    for (std::int64_t batch = 100; elapsed < seconds; batch *= 2) {
      if (!RoundTrips(batch)) return 0;
      count += batch;
      elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    return static_cast<double>(count) / elapsed;
  }

 private:
  bool SendFrame(int fd) { return send(fd, frame_.data(), frame_.size(), MSG_NOSIGNAL) == kFrameSize; }
  void Close() {
    for (const pollfd& each : polled_) close(each.fd);
    polled_.clear();
  }

  std::vector<pollfd> polled_;
  std::vector<int> echoed_;
  std::vector<char> frame_;
};

void BM_NetEchoRoundTrips(benchmark::State& state) {
  const auto connections = static_cast<int>(state.range(0));
  qz::testing::ChildProcess anchorServer({"python3", QZ_BENCH_DIR "/asyncio_echo_anchor.py"});
  qz::testing::ChildProcess echoServer({QZ_NET_ECHO_PATH, "0"});
  EchoClient anchor(qz::testing::ListeningPort(anchorServer.FirstLine(10)), connections);
  EchoClient echo(qz::testing::ListeningPort(echoServer.FirstLine(10)), connections);
  if (!anchor.connected() || !echo.connected()) {
    state.SkipWithError("an echo server did not start (python3 and net_echo are needed)");
    return;
  }
  const double before = anchor.Rate(kAnchorSeconds);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (!echo.RoundTrips(std::int64_t{kTripsPerConnection} * connections)) {
      state.SkipWithError("net_echo failed");
      return;
    }
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double after = anchor.Rate(kAnchorSeconds);
  const double roundTrips = static_cast<double>(state.iterations()) * kTripsPerConnection * connections;
  state.SetItemsProcessed(static_cast<std::int64_t>(roundTrips));
  state.counters["asyncio_per_s"] = (before + after) / 2;
  state.counters["vs_asyncio"] = roundTrips / elapsed / ((before + after) / 2);
}
BENCHMARK(BM_NetEchoRoundTrips)->Arg(1)->Arg(50)->UseRealTime()->MinTime(2.0);

}  // namespace
