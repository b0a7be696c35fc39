// A program run in a process of its own with its stdout on a pipe, for the
// tests and the benchmarks that talk to a server or client outside this
// process: its first line read within a time, its exit awaited within a time.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace qz::testing {

class ChildProcess {
 public:
  // Runs `arguments` (the program first, found on PATH). The argument list
  // is built before the fork: the child of a threaded process may only exec.
  explicit ChildProcess(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int ends[2];
    // Close-on-exec, so no later child holds this one's pipe open.
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(ends[1], STDOUT_FILENO);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(ends[1]);
    if (pid_ < 0) {
      close(ends[0]);
      return;
    }
    output_ = ends[0];
  }
  // A child still running is killed.
  ~ChildProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0 && output_ >= 0; }

  // The first line the child prints, or "" after `seconds`.
  std::string FirstLine(double seconds) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (output_ >= 0 && std::chrono::steady_clock::now() < end) {
      pollfd waiting{output_, POLLIN, 0};
      if (poll(&waiting, 1, 100) <= 0) continue;
      char c = 0;
      if (read(output_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return "";
  }

  // The exit status; -1 when the child ended by a signal or still runs after
  // `seconds` (it is killed when the object goes).
  int Wait(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(10000);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  bool exited_ = false;
};

// The port of a server's first line, "listening on 127.0.0.1:PORT"; -1 for
// any other line.
inline int ListeningPort(const std::string& line) {
  const std::string prefix = "listening on 127.0.0.1:";
  return line.rfind(prefix, 0) == 0 ? std::atoi(line.c_str() + prefix.size()) : -1;
}

}  // namespace qz::testing
