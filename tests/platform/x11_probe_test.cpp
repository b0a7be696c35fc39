// The X display probe against stand-in servers on the abstract socket a local
// display number names: one that never answers (as a grabbed server), one
// that refuses, one that accepts, and a number nothing listens on.
#include "platform/x11_probe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

enum class Answer { kNone, kFailed, kSuccess };

// Listens on "@/tmp/.X11-unix/X<n>" for a free n; answers one connection.
class StandInServer {
 public:
  explicit StandInServer(Answer answer) : answer_(answer) {
    for (number_ = 4100; number_ < 4200; ++number_) {
      fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      const std::string path = "/tmp/.X11-unix/X" + std::to_string(number_);
      std::memcpy(address.sun_path + 1, path.data(), path.size());
      const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
      if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd_, 1) == 0) break;
      close(fd_);
      fd_ = -1;
    }
    serving_ = std::thread([this] { Serve(); });
  }
  ~StandInServer() {
    shutdown(fd_, SHUT_RDWR);
    serving_.join();
    close(fd_);
  }
  std::string Display() const { return ":" + std::to_string(number_) + ".0"; }

 private:
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
  int number_ = 0;
  int fd_ = -1;
  std::thread serving_;
};

TEST(X11ProbeTest, TellsNoServerFromARefusalFromAServerThatDoesNotAnswer) {
  std::string reason;
  EXPECT_EQ(plat::ProbeX11Display("nonsense", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_EQ(plat::ProbeX11Display(":", 200, &reason), plat::X11ProbeResult::kUnparsable);
  EXPECT_EQ(plat::ProbeX11Display(":4199x", 200, &reason), plat::X11ProbeResult::kUnparsable);
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
  // The server gone, the same number has no one behind it.
  EXPECT_EQ(plat::ProbeX11Display(display, 200, &reason), plat::X11ProbeResult::kNoServer);
  EXPECT_EQ(plat::DescribeX11Probe(plat::X11ProbeResult::kNoServer, 200, ""), "no X server answers there");
}

}  // namespace
