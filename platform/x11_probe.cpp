// The X connection setup by hand: the 12-byte request with no authorisation
// and the first byte of the answer (0 failed, 1 success, 2 authenticate), on
// the sockets Xlib would try (the abstract and the file socket of a local
// display, TCP port 6000 + n of a remote one).
#include "platform/x11_probe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace plat {
namespace {

constexpr int kX11TcpPortBase = 6000;
// More digits could overflow the int the number is read into (stoi throws).
constexpr std::size_t kMaxDisplayDigits = 9;
constexpr std::uint8_t kSetupFailed = 0, kSetupSuccess = 1;

struct DisplayAddress {
  std::string host;  // "" or "unix": the local sockets
  int number = -1;
};

bool ParseDisplay(const std::string& display, DisplayAddress* address) {
  const std::size_t colon = display.rfind(':');
  if (colon == std::string::npos || colon + 1 >= display.size()) return false;
  address->host = display.substr(0, colon);
  const std::string rest = display.substr(colon + 1);
  const std::size_t digits = rest.find_first_not_of("0123456789");
  const std::size_t numberLength = digits == std::string::npos ? rest.size() : digits;
  if (numberLength == 0 || numberLength > kMaxDisplayDigits || (digits != std::string::npos && rest[digits] != '.') ||
      rest.size() > 12) {
    return false;
  }
  address->number = std::stoi(rest.substr(0, numberLength));
  return true;
}

// A connected socket, or -1.
int ConnectUnix(const std::string& path, bool abstract) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;  // abstract names begin with a zero byte
  if (path.size() + offset >= sizeof address.sun_path) {
    ::close(fd);
    return -1;
  }
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

using Clock = std::chrono::steady_clock;

// Rounded up: a wait cut to whole milliseconds would end before the deadline.
int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// One deadline across interruptions: a signal restarts the poll with what is
// left, so a stream of signals cannot stretch the wait.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  pollfd entry{fd, events, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, MillisecondsLeft(deadline));
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

int ConnectTcp(const std::string& host, int port, int timeoutMs) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int connected = -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (addrinfo* at = found; at != nullptr && connected < 0; at = at->ai_next) {
    const int fd = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, at->ai_protocol);
    if (fd < 0) continue;
    int error = 0;
    socklen_t size = sizeof error;
    const bool done = ::connect(fd, at->ai_addr, at->ai_addrlen) == 0 ||
                      (errno == EINPROGRESS && WaitFor(fd, POLLOUT, deadline) &&
                       ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0);
    if (done && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
      connected = fd;
    } else {
      ::close(fd);
    }
  }
  ::freeaddrinfo(found);
  return connected;
}

int Connect(const DisplayAddress& address, int timeoutMs) {
  if (!address.host.empty() && address.host != "unix") {
    return ConnectTcp(address.host, kX11TcpPortBase + address.number, timeoutMs);
  }
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(address.number);
  const int fd = ConnectUnix(path, true);
  return fd >= 0 ? fd : ConnectUnix(path, false);
}

// Reads exactly size bytes before the deadline.
bool ReadAll(int fd, std::uint8_t* bytes, std::size_t size, Clock::time_point deadline) {
  std::size_t got = 0;
  while (got < size) {
    if (!WaitFor(fd, POLLIN, deadline)) return false;
    const ssize_t n = ::recv(fd, bytes + got, size - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

X11ProbeResult Setup(int fd, int timeoutMs, std::string* serverReason) {
  // Little-endian ('l'), protocol 11.0, no authorisation name or data.
  const std::uint8_t request[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  if (::send(fd, request, sizeof request, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof request)) {
    return X11ProbeResult::kRefused;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::uint8_t head[8];
  if (!ReadAll(fd, head, sizeof head, deadline)) {
    // A closed connection is an answer too: the server turned us away.
    return WaitFor(fd, POLLIN | POLLHUP, Clock::now()) ? X11ProbeResult::kRefused : X11ProbeResult::kNoAnswer;
  }
  if (head[0] == kSetupSuccess) return X11ProbeResult::kAccepted;
  if (head[0] == kSetupFailed && head[1] != 0) {
    std::string reason(head[1], '\0');
    if (ReadAll(fd, reinterpret_cast<std::uint8_t*>(reason.data()), reason.size(), deadline)) {
      while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\0')) reason.pop_back();
      *serverReason = reason;
    }
  }
  return X11ProbeResult::kRefused;
}

}  // namespace

X11ProbeResult ProbeX11Display(const std::string& display, int timeoutMs, std::string* serverReason) {
  serverReason->clear();
  DisplayAddress address;
  if (!ParseDisplay(display, &address)) return X11ProbeResult::kUnparsable;
  const int fd = Connect(address, timeoutMs);
  if (fd < 0) return X11ProbeResult::kNoServer;
  const X11ProbeResult result = Setup(fd, timeoutMs, serverReason);
  ::close(fd);
  return result;
}

std::string DescribeX11Probe(X11ProbeResult result, int timeoutMs, const std::string& serverReason) {
  switch (result) {
    case X11ProbeResult::kNoServer: return "no X server answers there";
    case X11ProbeResult::kUnparsable: return "not a display name of the form [host]:number[.screen]";
    case X11ProbeResult::kRefused:
      return "an X server answers there but refused the connection" +
             (serverReason.empty() ? std::string() : " (\"" + serverReason + "\")");
    case X11ProbeResult::kNoAnswer:
      return "an X server took the connection but did not let us in within " + std::to_string(timeoutMs / 1000) +
             " s; another program may hold it grabbed, or it is hung";
    case X11ProbeResult::kAccepted: break;
  }
  return "an X server answers there and lets us in, but the video driver could not start on it";
}

}  // namespace plat
