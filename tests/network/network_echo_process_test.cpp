// The echo tool in a process of its own, talked to by the library from this
// process and by a Python client (a peer that is not our code). Every wait
// is bounded; the tool is killed if it outlives the test.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "network_test_support.h"

namespace qz::testing {
namespace {

// A child process with its stdout on a pipe.
class Child {
 public:
  explicit Child(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeEnds[1], STDOUT_FILENO);
      close(pipeEnds[0]);
      close(pipeEnds[1]);
      std::vector<char*> argv;
      for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(pipeEnds[1]);
    output_ = pipeEnds[0];
  }
  ~Child() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // The first line the child prints, or "" after `seconds`.
  std::string FirstLine(double seconds) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      pollfd waiting{output_, POLLIN, 0};
      if (poll(&waiting, 1, 100) <= 0) continue;
      char c = 0;
      if (read(output_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return "";
  }
  // The exit status, or -1 when the child still runs after `seconds` (it is
  // killed then).
  int Wait(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(10000);
    }
    return -1;
  }
  bool started() const { return pid_ > 0 && output_ >= 0; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  bool exited_ = false;
};

int PortOf(const std::string& line) {
  const std::string prefix = "listening on 127.0.0.1:";
  return line.rfind(prefix, 0) == 0 ? std::atoi(line.c_str() + prefix.size()) : -1;
}

using NetworkEchoProcess = NetworkTest;

TEST_F(NetworkEchoProcess, MessagesMakeTheRoundTripThroughAnotherProcess) {
  Child echo({QZ_NET_ECHO_PATH, "0", "1"});
  ASSERT_TRUE(echo.started());
  const int port = PortOf(echo.FirstLine(10));
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

TEST_F(NetworkEchoProcess, APythonClientFindsTheFramingItExpects) {
  if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not installed";
  Child echo({QZ_NET_ECHO_PATH, "0", "2"});
  ASSERT_TRUE(echo.started());
  const int port = PortOf(echo.FirstLine(10));
  ASSERT_GT(port, 0);
  Child client({"python3", QZ_NETWORK_TEST_DIR "/echo_client.py", std::to_string(port)});
  ASSERT_TRUE(client.started());
  EXPECT_EQ(client.FirstLine(90), "echo client: all messages came back");
  EXPECT_EQ(client.Wait(10), 0);
  EXPECT_EQ(echo.Wait(10), 0);
}

}  // namespace
}  // namespace qz::testing
