// Round trips of 100-byte framed messages through the echo tool net_echo, a
// process of its own, on 1 and on 50 connections, each connection keeping
// kInFlight messages on the way, as a client with requests queued up would.
// The anchor is a plain Python asyncio echo server with the same framing
// (bench/asyncio_echo_anchor.py), driven by the same client in turns with
// net_echo, one batch each per iteration, so a change of the machine's load
// falls on both: "vs_asyncio" is net_echo's round trips per second over the
// anchor's, and the time reported is net_echo's alone.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/support/child_process.h"
#include "tools/framed_echo_stream.h"

namespace {

constexpr int kBodySize = 100;
constexpr int kFrameSize = 4 + kBodySize;
// Messages each connection keeps on the way: the server sees several at
// once, as it would from a busy client, and the client's own cost per
// message stays small (one recv and one send for many messages).
constexpr int kInFlight = 16;
// Round trips of one server's turn in an iteration, over all connections:
// long enough that waking the server is a small part of it.
constexpr std::int64_t kTripsPerTurn = 10000;

// Connections over plain non-blocking sockets with Nagle's algorithm off,
// waited on with epoll. A server may join echoes into longer frames, so a
// round trip is counted per kBodySize bytes of echoed bodies.
class EchoClient {
 public:
  EchoClient(int port, int connections) : waitFd_(epoll_create1(EPOLL_CLOEXEC)) {
    for (int i = 0; i < connections && waitFd_ >= 0; ++i) {
      const int fd = qz::tools::ConnectLoopback(port);
      if (fd < 0) {
        Close();
        return;
      }
      const int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      epoll_event interest{};
      interest.events = EPOLLIN;
      interest.data.u32 = static_cast<std::uint32_t>(connections_.size());
      epoll_ctl(waitFd_, EPOLL_CTL_ADD, fd, &interest);
      connections_.push_back(Connection{fd, 0, {}, 0});
    }
    for (int i = 0; i < kInFlight; ++i) {
      const std::uint32_t length = kBodySize;
      const auto at = frames_.size();
      frames_.resize(at + kFrameSize, 'e');
      std::memcpy(frames_.data() + at, &length, 4);  // little-endian on the machines this runs on
    }
  }
  ~EchoClient() {
    Close();
    if (waitFd_ >= 0) close(waitFd_);
  }
  EchoClient(const EchoClient&) = delete;
  EchoClient& operator=(const EchoClient&) = delete;

  bool connected() const { return !connections_.empty(); }

  // Completes at least `count` round trips in all, and every one started;
  // false when a server fails.
  bool RoundTrips(std::int64_t count) {
    std::int64_t started = 0;
    std::int64_t inFlight = 0;
    for (Connection& each : connections_) {
      const int burst = static_cast<int>(std::min<std::int64_t>(kInFlight, std::max<std::int64_t>(count - started, 1)));
      if (!SendFrames(each.fd, burst)) return false;
      each.inFlight = burst;
      started += burst;
      inFlight += burst;
    }
    std::vector<char> buffer(1 << 16);
    epoll_event ready[64];
    while (inFlight > 0) {
      const int readyCount = epoll_wait(waitFd_, ready, 64, 10000);
      if (readyCount <= 0) return false;
      for (int r = 0; r < readyCount; ++r) {
        Connection& each = connections_[ready[r].data.u32];
        const ssize_t got = recv(each.fd, buffer.data(), buffer.size(), 0);
        if (got <= 0) {
          if (got < 0 && errno == EAGAIN) continue;
          return false;
        }
        const int done = each.TakeEcho(buffer.data(), static_cast<std::size_t>(got));
        if (done > each.inFlight) return false;
        each.inFlight -= done;
        inFlight -= done;
        const int again = static_cast<int>(std::min<std::int64_t>(done, std::max<std::int64_t>(count - started, 0)));
        if (again == 0) continue;
        if (!SendFrames(each.fd, again)) return false;
        each.inFlight += again;
        started += again;
        inFlight += again;
      }
    }
    return true;
  }

  // Seconds `count` round trips take; negative when a server fails.
  double Time(std::int64_t count) {
    const auto start = std::chrono::steady_clock::now();
    if (!RoundTrips(count)) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

 private:
  struct Connection {
    int fd;
    int inFlight = 0;
    qz::tools::FramedBodyCounter echo;
    std::uint32_t bodyHave = 0;  // body bytes short of a whole round trip

    // Round trips the bytes complete. A frame may hold several bodies (the
    // server joined them) or part of one.
    int TakeEcho(const char* bytes, std::size_t size) {
      const std::uint64_t body = echo.Take(reinterpret_cast<const std::uint8_t*>(bytes), size) + bodyHave;
      bodyHave = static_cast<std::uint32_t>(body % kBodySize);
      return static_cast<int>(body / kBodySize);
    }
  };

  bool SendFrames(int fd, int count) {
    const auto size = static_cast<ssize_t>(count) * kFrameSize;
    return send(fd, frames_.data(), static_cast<std::size_t>(size), MSG_NOSIGNAL) == size;
  }
  void Close() {
    for (const Connection& each : connections_) close(each.fd);
    connections_.clear();
  }

  int waitFd_;
  std::vector<Connection> connections_;
  std::vector<char> frames_;
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
  double anchorSeconds = 0;
  double echoSeconds = 0;
  for (auto _ : state) {
    const double anchorTime = anchor.Time(kTripsPerTurn);
    const double echoTime = echo.Time(kTripsPerTurn);
    if (anchorTime < 0 || echoTime < 0) {
      state.SkipWithError(anchorTime < 0 ? "the anchor failed" : "net_echo failed");
      return;
    }
    anchorSeconds += anchorTime;
    echoSeconds += echoTime;
    state.SetIterationTime(echoTime);
  }
  const double roundTrips = static_cast<double>(state.iterations() * kTripsPerTurn);
  state.SetItemsProcessed(static_cast<std::int64_t>(roundTrips));
  state.counters["asyncio_per_s"] = roundTrips / anchorSeconds;
  state.counters["vs_asyncio"] = anchorSeconds / echoSeconds;
  // The machine's one-minute load average as the run ends.
  double load = 0;
  if (getloadavg(&load, 1) == 1) state.counters["load_1min"] = load;
}
BENCHMARK(BM_NetEchoRoundTrips)->Arg(1)->Arg(50)->UseManualTime()->MinTime(2.0);

}  // namespace
