// The X display probe against stand-in servers on the abstract socket a local
// display number names: one that never answers (as a grabbed server), one
// that refuses, one that accepts, and a number nothing listens on.
#include "platform/x11_probe.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>

namespace {

enum class Answer { kNone, kFailed, kSuccess };
enum class Reach { kLocal, kTcp };

// Listens on "@/tmp/.X11-unix/X<n>" (local) or loopback port 6000 + n (TCP)
// for a free n; answers one connection.
class StandInServer {
 public:
  explicit StandInServer(Answer answer, Reach reach = Reach::kLocal) : answer_(answer), reach_(reach) {
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
      const std::string reason = "No protocol specified\n";
      std::string reply(8, '\0');
      reply[0] = 0;
      reply[1] = static_cast<char>(reason.size());
      reply += reason;
      send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    } else if (answer_ == Answer::kSuccess) {
      const char reply[8] = {1, 0, 11, 0, 0, 0, 0, 0};
      send(client, reply, sizeof reply, MSG_NOSIGNAL);
    } else {
      char ignored;
      recv(client, &ignored, 1, 0);  // until the prober hangs up
    }
    close(client);
  }
  Answer answer_;
  Reach reach_;
  int number_ = 0;
  int fd_ = -1;
  std::thread serving_;
};

TEST(X11ProbeTest, TellsNoServerFromARefusalFromAServerThatDoesNotAnswer) {
  std::string reason;
  EXPECT_EQ(plat::ProbeX11Display("nonsense", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_EQ(plat::ProbeX11Display(":", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_EQ(plat::ProbeX11Display(":4199x", 200, &reason), plat::X11ProbeResult::kUnparsable);
  // Both sides of the name's bounds: one digit, nine, and twelve characters of
  // number and screen are names; no digits, ten (past an int: this threw) and
  // thirteen characters are not.
  EXPECT_NE(plat::ProbeX11Display(":7", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_NE(plat::ProbeX11Display(":999999999", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_NE(plat::ProbeX11Display(":4199.0000000", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_EQ(plat::ProbeX11Display(":.0", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_EQ(plat::ProbeX11Display(":9999999999", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_EQ(plat::ProbeX11Display(":4199.00000000", 200, &reason), plat::X11ProbeResult::kUnparsable);
  {
    const StandInServer silent(Answer::kNone);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(plat::ProbeX11Display(silent.Display(), 300, &reason), plat::X11ProbeResult::kNoAnswer);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300)) << "it waited its time";
    const std::string said = plat::DescribeX11Probe(plat::X11ProbeResult::kNoAnswer, 3000, "");
    EXPECT_NE(said.find("did not let us in within 3 s"), std::string::npos) << said;
    EXPECT_NE(said.find("grabbed"), std::string::npos) << said;
  }
  {
    const StandInServer refusing(Answer::kFailed);
    EXPECT_EQ(plat::ProbeX11Display(refusing.Display(), 2000, &reason), plat::X11ProbeResult::kRefused);
    EXPECT_EQ(reason, "No protocol specified");
    EXPECT_EQ(plat::DescribeX11Probe(plat::X11ProbeResult::kRefused, 2000, reason),
              "an X server answers there but refused the connection (\"No protocol specified\")");
  }
  std::string display;
  {
    const StandInServer accepting(Answer::kSuccess);
    display = accepting.Display();
    EXPECT_EQ(plat::ProbeX11Display(display, 2000, &reason), plat::X11ProbeResult::kAccepted);
    EXPECT_EQ(reason, "");
  }
  {
    // A host name reaches the server over TCP, not the local socket of that number.
    const StandInServer remote(Answer::kSuccess, Reach::kTcp);
    EXPECT_EQ(plat::ProbeX11Display(remote.Display(), 2000, &reason), plat::X11ProbeResult::kAccepted);
  }
  // The server gone, the same number has no one behind it, and the probe
  // leaves no socket open behind it.
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator{});
  };
  const auto filesBefore = openFiles();
  EXPECT_EQ(plat::ProbeX11Display(display, 200, &reason), plat::X11ProbeResult::kNoServer);
  EXPECT_EQ(openFiles(), filesBefore);
  EXPECT_EQ(plat::DescribeX11Probe(plat::X11ProbeResult::kNoServer, 200, ""), "no X server answers there");
}

}  // namespace
