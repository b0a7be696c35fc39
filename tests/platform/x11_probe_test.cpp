// The X display probe against stand-in servers on the abstract socket a local
// display number names (or its TCP port): one that never answers (as a
// grabbed server), one that hangs up, one that refuses, one that accepts, and
// a number nothing listens on.
#include "platform/x11_probe.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
#include <utility>

namespace {

enum class Answer { kNone, kHangUp, kFailed, kSuccess };
enum class Reach { kLocal, kTcp };

// Listens on "@/tmp/.X11-unix/X<n>" (local) or loopback port 6000 + n (TCP)
// for a free n; answers one connection.
class StandInServer {
 public:
  explicit StandInServer(Answer answer, Reach reach = Reach::kLocal, std::string reason = "No protocol specified\n")
      : answer_(answer), reach_(reach), reason_(std::move(reason)) {
    for (number_ = 4100; number_ < 4200 && (fd_ = Listen()) < 0; ++number_) {
    }
    serving_ = std::thread([this] { Serve(); });
  }
  ~StandInServer() {
    shutdown(fd_, SHUT_RDWR);
    serving_.join();
    close(fd_);
  }
  std::string Display() const {
    return (reach_ == Reach::kTcp ? "127.0.0.1:" : ":") + std::to_string(number_) + ".0";
  }

 private:
  int Listen() const {
    const int fd = socket(reach_ == Reach::kTcp ? AF_INET : AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un local{};
    sockaddr_in tcp{};
    socklen_t length = sizeof tcp;
    if (reach_ == Reach::kTcp) {
      tcp.sin_family = AF_INET;
      tcp.sin_port = htons(static_cast<std::uint16_t>(6000 + number_));
      tcp.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    } else {
      local.sun_family = AF_UNIX;
      const std::string path = "/tmp/.X11-unix/X" + std::to_string(number_);
      std::memcpy(local.sun_path + 1, path.data(), path.size());
      length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
    }
    const auto* address = reach_ == Reach::kTcp ? reinterpret_cast<const sockaddr*>(&tcp)
                                                : reinterpret_cast<const sockaddr*>(&local);
    if (bind(fd, address, length) == 0 && listen(fd, 1) == 0) return fd;
    close(fd);
    return -1;
  }
  void Serve() {
    const int client = accept(fd_, nullptr, nullptr);
    if (client < 0) return;
    char request[12];
    recv(client, request, sizeof request, MSG_WAITALL);
    if (answer_ == Answer::kFailed) {
      // In two pieces, the first a single byte: the prober must read on.
      std::string reply(8, '\0');
      reply[0] = 0;
      reply[1] = static_cast<char>(reason_.size());
      reply += reason_;
      send(client, reply.data(), 1, MSG_NOSIGNAL);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      send(client, reply.data() + 1, reply.size() - 1, MSG_NOSIGNAL);
    } else if (answer_ == Answer::kSuccess) {
      const char reply[8] = {1, 0, 11, 0, 0, 0, 0, 0};
      send(client, reply, sizeof reply, MSG_NOSIGNAL);
    } else if (answer_ == Answer::kNone) {
      char ignored;
      recv(client, &ignored, 1, 0);  // until the prober hangs up
    }
    close(client);
  }
  Answer answer_;
  Reach reach_;
  std::string reason_;
  int number_ = 0;
  int fd_ = -1;
  std::thread serving_;
};

TEST(X11ProbeTest, TellsNoServerFromARefusalFromAServerThatDoesNotAnswer) {
  std::string reason;
  // Both sides of the name's bounds: one digit, nine, and twelve characters of
  // number and screen are names; no digits, ten (past an int: this threw) and
  // thirteen characters are not.
  const std::pair<const char*, bool> names[] = {{"nonsense", false}, {":", false},           {":4199x", false},
                                                {":7", true},        {":999999999", true},   {":4199.0000000", true},
                                                {":.0", false},      {":9999999999", false}, {":4199.00000000", false}};
  for (const auto& [name, parsable] : names) {
    EXPECT_EQ(plat::ProbeX11Display(name, 200, &reason) != plat::X11ProbeResult::kUnparsable, parsable) << name;
  }
  // Every probe below closes its socket, whatever it found.
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator{});
  };
  const auto filesBefore = openFiles();
  const auto elapsedOf = [&](const std::string& display, int timeoutMs, plat::X11ProbeResult* result) {
    const auto start = std::chrono::steady_clock::now();
    *result = plat::ProbeX11Display(display, timeoutMs, &reason);
    return std::chrono::steady_clock::now() - start;
  };
  plat::X11ProbeResult result;
  {
    // The whole wait, to the millisecond; and signals arriving mid-wait
    // neither cut it short nor stretch it (each one used to start the wait over).
    const StandInServer silent(Answer::kNone);
    EXPECT_GE(elapsedOf(silent.Display(), 300, &result), std::chrono::milliseconds(300)) << "it waited its time";
    EXPECT_EQ(result, plat::X11ProbeResult::kNoAnswer);
    struct sigaction quiet {}, saved {};
    quiet.sa_handler = [](int) {};
    sigaction(SIGUSR1, &quiet, &saved);
    const pthread_t prober = pthread_self();
    std::atomic<bool> probing{true};
    // Every 50 ms for at most 3 s: a wait begun anew at each signal would last them all out.
    std::thread interrupter([prober, &probing] {
      for (int sent = 0; sent < 60 && probing; ++sent) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (probing) pthread_kill(prober, SIGUSR1);
      }
    });
    const auto interrupted = elapsedOf(silent.Display(), 300, &result);
    probing = false;
    interrupter.join();
    EXPECT_GE(interrupted, std::chrono::milliseconds(300)) << "interrupted";
    EXPECT_LT(interrupted, std::chrono::milliseconds(1500)) << "signals stretched the wait";
    EXPECT_EQ(result, plat::X11ProbeResult::kNoAnswer);
    sigaction(SIGUSR1, &saved, nullptr);
    const std::string said = plat::DescribeX11Probe(plat::X11ProbeResult::kNoAnswer, 3000, "");
    EXPECT_NE(said.find("did not let us in within 3 s"), std::string::npos) << said;
    EXPECT_NE(said.find("grabbed"), std::string::npos) << said;
  }
  {
    // Hung up on without a word is refused at once, not at the end of the wait.
    const StandInServer hangingUp(Answer::kHangUp);
    EXPECT_LT(elapsedOf(hangingUp.Display(), 5000, &result), std::chrono::milliseconds(2500));
    EXPECT_EQ(result, plat::X11ProbeResult::kRefused);
  }
  {
    const StandInServer refusing(Answer::kFailed);
    EXPECT_EQ(plat::ProbeX11Display(refusing.Display(), 2000, &reason), plat::X11ProbeResult::kRefused);
    EXPECT_EQ(reason, "No protocol specified");
    EXPECT_EQ(plat::DescribeX11Probe(plat::X11ProbeResult::kRefused, 2000, reason),
              "an X server answers there but refused the connection (\"No protocol specified\")");
    const StandInServer terse(Answer::kFailed, Reach::kLocal, "!");
    EXPECT_EQ(plat::ProbeX11Display(terse.Display(), 2000, &reason), plat::X11ProbeResult::kRefused);
    EXPECT_EQ(reason, "!") << "a reason of one character";
  }
  std::string local, remote;
  {
    const StandInServer accepting(Answer::kSuccess);
    local = accepting.Display();
    EXPECT_EQ(plat::ProbeX11Display(local, 2000, &reason), plat::X11ProbeResult::kAccepted);
    EXPECT_EQ(reason, "");
  }
  {
    // A host name reaches the server over TCP, not the local socket of that number.
    const StandInServer accepting(Answer::kSuccess, Reach::kTcp);
    remote = accepting.Display();
    EXPECT_EQ(plat::ProbeX11Display(remote, 2000, &reason), plat::X11ProbeResult::kAccepted);
  }
  // The servers gone, no one is behind the same numbers either way.
  EXPECT_EQ(plat::ProbeX11Display(local, 200, &reason), plat::X11ProbeResult::kNoServer);
  EXPECT_EQ(plat::ProbeX11Display(remote, 200, &reason), plat::X11ProbeResult::kNoServer);
  EXPECT_EQ(openFiles(), filesBefore);
  EXPECT_EQ(plat::DescribeX11Probe(plat::X11ProbeResult::kNoServer, 200, ""), "no X server answers there");
}

}  // namespace
