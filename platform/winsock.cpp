// The WinSock calls over POSIX sockets: addresses are converted between
// WinSock's family numbers and the host's at this boundary, and errno
// becomes WinSock's error numbers. Every call needs a WSAStartup first.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/winsock_internal.h"

namespace plat {
namespace winsock {
namespace {

thread_local int tLastError = 0;

}  // namespace

SocketTable& Table() {
  static SocketTable table;
  return table;
}

void SetLastError(int error) { tLastError = error; }

int Fail(int error, int result) {
  tLastError = error;
  return result;
}

int ErrorFromErrno(int error) {
  switch (error) {
    case EINTR: return WSAEINTR;
    case EACCES: case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EMFILE: case ENFILE: return WSAEMFILE;
    case EAGAIN: case EINPROGRESS: return WSAEWOULDBLOCK;
    case EALREADY: return WSAEALREADY;
    case EBADF: case ENOTSOCK: return WSAENOTSOCK;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: case EPIPE: return WSAECONNRESET;
    case ENOBUFS: case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
  }
}

}  // namespace winsock

namespace {

using winsock::Fail;
using winsock::SocketEntry;
using winsock::Table;

int FailErrno() { return Fail(winsock::ErrorFromErrno(errno)); }

SOCKET FailSocket(int error) {
  Fail(error);
  return INVALID_SOCKET;
}

// The descriptor of a socket, or -1 with the error set (not started, unknown).
int DescriptorOf(SOCKET socket, SocketEntry* copy = nullptr) {
  winsock::SocketTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  if (table.startCount == 0) return Fail(WSANOTINITIALISED);
  auto it = table.entries.find(socket);
  if (it == table.entries.end()) return Fail(WSAENOTSOCK);
  if (copy != nullptr) *copy = it->second;
  return it->second.fd;
}

// Runs `change(entry, pollAgain)` on the socket's entry under the table's
// lock; `pollAgain(wakes)` marks it for the next notification pass.
template <typename Change>
void ChangeEntry(SOCKET socket, Change change) {
  winsock::SocketTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.entries.find(socket);
  if (it == table.entries.end()) return;
  change(it->second, [&](bool wakes) { winsock::PollAgain(table, socket, it->second, wakes); });
}

// Small messages leave at once: a reply never waits for the peer's delayed
// acknowledgement of the previous one.
void SendWithoutDelay(int fd) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

SOCKET AddEntry(int fd, bool stream) {
  winsock::SocketTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  const SOCKET id = table.next++;
  SocketEntry entry;
  entry.fd = fd;
  entry.stream = stream;
  table.entries.emplace(id, entry);
  table.marked.push_back(id);  // a new entry starts marked
  return id;
}

// A WinSock address to the host's; false (with the error set) when it is not one.
bool ToHostAddress(const SocketAddress* address, int length, sockaddr_storage* host, socklen_t* hostLength) {
  if (address == nullptr) {
    Fail(WSAEFAULT);
    return false;
  }
  std::memset(host, 0, sizeof(*host));
  if (address->family == kWsAfInet && length >= static_cast<int>(sizeof(SocketAddressIn))) {
    SocketAddressIn in;
    std::memcpy(&in, address, sizeof(in));
    auto* out = reinterpret_cast<sockaddr_in*>(host);
    out->sin_family = AF_INET;
    out->sin_port = in.port;
    out->sin_addr.s_addr = in.address;
    *hostLength = sizeof(sockaddr_in);
    return true;
  }
  if (address->family == kWsAfInet6 && length >= static_cast<int>(sizeof(SocketAddressIn6))) {
    SocketAddressIn6 in6;
    std::memcpy(&in6, address, sizeof(in6));
    auto* out = reinterpret_cast<sockaddr_in6*>(host);
    out->sin6_family = AF_INET6;
    out->sin6_port = in6.port;
    out->sin6_flowinfo = in6.flowInfo;
    std::memcpy(&out->sin6_addr, in6.address, 16);
    out->sin6_scope_id = in6.scopeId;
    *hostLength = sizeof(sockaddr_in6);
    return true;
  }
  Fail(address->family == kWsAfInet || address->family == kWsAfInet6 ? WSAEFAULT : WSAEAFNOSUPPORT);
  return false;
}

// The host's address to WinSock's layout, as much as `length` allows; the
// full size is stored back, as WinSock does.
void FromHostAddress(const sockaddr_storage& host, SocketAddress* address, int* length) {
  if (address == nullptr || length == nullptr) return;
  if (host.ss_family == AF_INET6) {
    const auto& in = reinterpret_cast<const sockaddr_in6&>(host);
    SocketAddressIn6 out{};
    out.family = kWsAfInet6;
    out.port = in.sin6_port;
    out.flowInfo = in.sin6_flowinfo;
    std::memcpy(out.address, &in.sin6_addr, 16);
    out.scopeId = in.sin6_scope_id;
    std::memcpy(address, &out, std::min<std::size_t>(sizeof(out), static_cast<std::size_t>(std::max(*length, 0))));
    *length = sizeof(out);
    return;
  }
  const auto& in = reinterpret_cast<const sockaddr_in&>(host);
  SocketAddressIn out{};
  out.family = kWsAfInet;
  out.port = in.sin_port;
  out.address = in.sin_addr.s_addr;
  std::memcpy(address, &out, std::min<std::size_t>(sizeof(out), static_cast<std::size_t>(std::max(*length, 0))));
  *length = sizeof(out);
}

// The size of WinSock's address of the socket's family.
int AddressSizeOf(int fd) {
  sockaddr_storage host{};
  socklen_t hostLength = sizeof(host);
  const bool named = ::getsockname(fd, reinterpret_cast<sockaddr*>(&host), &hostLength) == 0;
  const std::size_t size = named && host.ss_family == AF_INET6 ? sizeof(SocketAddressIn6) : sizeof(SocketAddressIn);
  return static_cast<int>(size);
}

bool IsNonBlocking(int fd) { return (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0; }

// One write of the parts in order; bytes sent, or SOCKET_ERROR. A write cut
// short makes FD_WRITE due once room frees up.
int SendParts(SOCKET socket, int fd, iovec* parts, std::size_t count, std::size_t total) {
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = count;
  const ssize_t sent = ::sendmsg(fd, &message, MSG_NOSIGNAL);
  const int error = errno;
  const bool cutShort = sent < static_cast<ssize_t>(total);
  ChangeEntry(socket, [cutShort](SocketEntry& entry, auto pollAgain) {
    entry.sendCutShort = cutShort;
    if (cutShort) pollAgain(true);
  });
  if (sent < 0) return Fail(winsock::ErrorFromErrno(error));
  winsock::SetLastError(0);
  return static_cast<int>(sent);
}

// A stream's reads of the descriptor for calls smaller than this go through
// the entry's read-ahead; larger ones read straight into the caller's buffer.
constexpr std::size_t kReadAheadBytes = 64 * 1024;

// Reads the descriptor, noting whether the read may have left bytes behind.
ssize_t ReadDescriptor(SocketEntry& entry, char* buffer, std::size_t length) {
  const ssize_t got = ::recv(entry.fd, buffer, length, 0);
  entry.moreMayWait = got == static_cast<ssize_t>(length);
  return got;
}

// Copies up to `length` read-ahead bytes out, taking them unless peeking; the
// storage goes once it is empty, so an idle socket holds none.
std::size_t TakeReadAhead(SocketEntry& entry, char* buffer, std::size_t length, bool peek) {
  const std::size_t count = std::min(length, entry.ReadAheadBytes());
  if (count > 0) std::memcpy(buffer, entry.readAhead.data() + entry.readAheadStart, count);
  if (!peek) entry.readAheadStart += count;
  if (entry.ReadAheadBytes() == 0) {
    std::vector<char>().swap(entry.readAhead);
    entry.readAheadStart = 0;
  }
  return count;
}

// A stream's recv: bytes read ahead first, and a read of the descriptor when
// they do not cover the call (a peek included, so it sees what has come).
// -1 with errno set only when nothing at all could be given.
ssize_t ReceiveStream(SocketEntry& entry, char* buffer, std::size_t length, bool peek) {
  const std::size_t waiting = entry.ReadAheadBytes();
  if (waiting >= length) return static_cast<ssize_t>(TakeReadAhead(entry, buffer, length, peek));
  if (!peek && length - waiting >= kReadAheadBytes) {
    TakeReadAhead(entry, buffer, waiting, false);
    const ssize_t got = ReadDescriptor(entry, buffer + waiting, length - waiting);
    if (got > 0) return static_cast<ssize_t>(waiting) + got;
    return waiting > 0 ? static_cast<ssize_t>(waiting) : got;
  }
  thread_local std::vector<char> scratch(kReadAheadBytes);
  const ssize_t got = ReadDescriptor(entry, scratch.data(), scratch.size());
  if (got <= 0 && waiting == 0) return got;
  if (got > 0) {
    const auto start = static_cast<std::ptrdiff_t>(entry.readAheadStart);
    entry.readAhead.erase(entry.readAhead.begin(), entry.readAhead.begin() + start);
    entry.readAheadStart = 0;
    entry.readAhead.insert(entry.readAhead.end(), scratch.data(), scratch.data() + got);
  }
  return static_cast<ssize_t>(TakeReadAhead(entry, buffer, length, peek));
}

struct HostBuffer {
  std::string name;
  std::vector<std::uint32_t> addresses;
  std::vector<char*> addressPointers;
  char* noAliases[1] = {nullptr};
  HostEntry entry{};
};
thread_local HostBuffer tHost;

}  // namespace

int WSAStartup(std::uint16_t version, WsaData* data) {
  if (data == nullptr) return WSAEFAULT;
  // Versions below 1.1 do not exist; anything from 1.1 is served as 2.2 at most.
  const int major = version & 0xFF;
  const int minor = version >> 8;
  if (major < 1 || (major == 1 && minor < 1)) return WSAEINVAL;
  *data = WsaData{};
  data->version = major >= 2 ? 0x0202 : version;
  data->highVersion = 0x0202;
  std::strcpy(data->description, "WinSock 2.0 over POSIX sockets");
  std::strcpy(data->systemStatus, "Running");
  winsock::SocketTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  ++table.startCount;
  return 0;
}

int WSACleanup() {
  winsock::SocketTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  if (table.startCount == 0) return Fail(WSANOTINITIALISED);
  if (--table.startCount == 0) {
    // The last clean-up closes what the program left open, as WinSock does.
    for (auto& [id, entry] : table.entries) close(entry.fd);
    table.entries.clear();
    table.marked.clear();
    table.blindCount = 0;
    if (table.waitFd >= 0) close(table.waitFd);
    table.waitFd = -1;
  }
  return 0;
}

int WSAGetLastError() { return winsock::tLastError; }

SOCKET socket(int family, int type, int protocol) {
  {
    winsock::SocketTable& table = Table();
    std::lock_guard<std::mutex> guard(table.mutex);
    if (table.startCount == 0) return FailSocket(WSANOTINITIALISED);
  }
  const int hostFamily = family == kWsAfInet ? AF_INET : family == kWsAfInet6 ? AF_INET6 : -1;
  const int hostType = type == kWsSockStream ? SOCK_STREAM : type == kWsSockDgram ? SOCK_DGRAM : -1;
  if (hostFamily < 0) return FailSocket(WSAEAFNOSUPPORT);
  if (hostType < 0) return FailSocket(WSAEPROTONOSUPPORT);
  const int fd = ::socket(hostFamily, hostType | SOCK_CLOEXEC, protocol);
  if (fd < 0) return FailSocket(winsock::ErrorFromErrno(errno));
  if (hostType == SOCK_STREAM) SendWithoutDelay(fd);
  return AddEntry(fd, hostType == SOCK_STREAM);
}

int bind(SOCKET socket, const SocketAddress* address, int length) {
  SocketEntry entry;
  const int fd = DescriptorOf(socket, &entry);
  if (fd < 0) return SOCKET_ERROR;
  sockaddr_storage host;
  socklen_t hostLength = 0;
  if (!ToHostAddress(address, length, &host, &hostLength)) return SOCKET_ERROR;
  // WinSock binds over connections still in TIME_WAIT; Linux needs the option.
  const int on = 1;
  if (entry.stream) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  return ::bind(fd, reinterpret_cast<sockaddr*>(&host), hostLength) == 0 ? 0 : FailErrno();
}

int listen(SOCKET socket, int backlog) {
  const int fd = DescriptorOf(socket);
  if (fd < 0) return SOCKET_ERROR;
  if (::listen(fd, backlog == kWsSomaxconn || backlog > SOMAXCONN ? SOMAXCONN : backlog) != 0) return FailErrno();
  ChangeEntry(socket, [](SocketEntry& entry, auto) { entry.listening = true; });
  return 0;
}

SOCKET accept(SOCKET socket, SocketAddress* address, int* length) {
  const int fd = DescriptorOf(socket);
  if (fd < 0) return INVALID_SOCKET;
  // A buffer too small for the listener's family is refused before the
  // connection is taken, which then waits for a call that can hold it.
  if (address != nullptr && (length == nullptr || *length < AddressSizeOf(fd))) return FailSocket(WSAEFAULT);
  sockaddr_storage host{};
  socklen_t hostLength = sizeof(host);
  const int accepted = ::accept4(fd, reinterpret_cast<sockaddr*>(&host), &hostLength, SOCK_CLOEXEC);
  const int error = errno;
  ChangeEntry(socket, [](SocketEntry& entry, auto pollAgain) {
    entry.acceptEnabled = true;
    pollAgain(true);
  });
  if (accepted < 0) return FailSocket(winsock::ErrorFromErrno(error));
  SendWithoutDelay(accepted);
  FromHostAddress(host, address, length);
  return AddEntry(accepted, true);
}

int connect(SOCKET socket, const SocketAddress* address, int length) {
  const int fd = DescriptorOf(socket);
  if (fd < 0) return SOCKET_ERROR;
  sockaddr_storage host;
  socklen_t hostLength = 0;
  if (!ToHostAddress(address, length, &host, &hostLength)) return SOCKET_ERROR;
  const bool nonBlocking = IsNonBlocking(fd);
  const int result = ::connect(fd, reinterpret_cast<sockaddr*>(&host), hostLength);
  const int error = errno;
  // Loopback may connect at once even without blocking; FD_CONNECT still
  // comes, as it would from WinSock.
  if (nonBlocking && (result == 0 || error == EINPROGRESS)) {
    ChangeEntry(socket, [](SocketEntry& entry, auto pollAgain) {
      entry.connecting = true;
      pollAgain(true);
    });
  }
  if (result == 0) return 0;
  return Fail(winsock::ErrorFromErrno(error));
}

int send(SOCKET socket, const char* buffer, int length, int flags) {
  const int fd = DescriptorOf(socket);
  if (fd < 0) return SOCKET_ERROR;
  if (length < 0 || (buffer == nullptr && length > 0)) return Fail(WSAEFAULT);
  (void)flags;  // no flags the library uses
  iovec part{const_cast<char*>(buffer), static_cast<std::size_t>(length)};
  return SendParts(socket, fd, &part, 1, part.iov_len);
}

int WSASend(SOCKET socket, const WsaBuffer* buffers, std::uint32_t count, std::uint32_t* sent, std::uint32_t flags,
            void* overlapped, void* completionRoutine) {
  const int fd = DescriptorOf(socket);
  if (fd < 0) return SOCKET_ERROR;
  if (overlapped != nullptr || completionRoutine != nullptr) return Fail(WSAEINVAL);
  if ((buffers == nullptr && count > 0) || sent == nullptr || count > IOV_MAX) return Fail(WSAEFAULT);
  (void)flags;  // no flags the library uses
  std::vector<iovec> parts(count);
  std::size_t total = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (buffers[i].buffer == nullptr && buffers[i].length > 0) return Fail(WSAEFAULT);
    parts[i] = iovec{buffers[i].buffer, buffers[i].length};
    total += buffers[i].length;
  }
  if (total > 0x7FFFFFFF) return Fail(WSAEMSGSIZE);
  const int result = SendParts(socket, fd, parts.data(), count, total);
  if (result == SOCKET_ERROR) return SOCKET_ERROR;
  *sent = static_cast<std::uint32_t>(result);
  return 0;
}


int recv(SOCKET socket, char* buffer, int length, int flags) {
  winsock::SocketTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  if (table.startCount == 0) return Fail(WSANOTINITIALISED);
  auto it = table.entries.find(socket);
  if (it == table.entries.end()) return Fail(WSAENOTSOCK);
  if (length < 0 || (buffer == nullptr && length > 0)) return Fail(WSAEFAULT);
  SocketEntry& entry = it->second;
  const bool peek = (flags & kWsMsgPeek) != 0;
  const ssize_t got = entry.stream ? ReceiveStream(entry, buffer, static_cast<std::size_t>(length), peek)
                                   : ::recv(entry.fd, buffer, static_cast<std::size_t>(length), peek ? MSG_PEEK : 0);
  const int error = errno;
  entry.readEnabled = true;
  // A stream whose descriptor gave all it had needs no poll of it: new bytes
  // bring an edge. Bytes still read ahead are due all the same.
  const bool descriptor = !entry.stream || entry.moreMayWait;
  if (descriptor || entry.ReadAheadBytes() > 0) winsock::PollAgain(table, socket, entry, !peek, descriptor);
  if (got < 0) return Fail(winsock::ErrorFromErrno(error));
  winsock::SetLastError(0);
  return static_cast<int>(got);
}

int shutdown(SOCKET socket, int how) {
  const int fd = DescriptorOf(socket);
  if (fd < 0) return SOCKET_ERROR;
  const int hostHow = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : how == SD_BOTH ? SHUT_RDWR : -1;
  if (hostHow < 0) return Fail(WSAEINVAL);
  return ::shutdown(fd, hostHow) == 0 ? 0 : FailErrno();
}

int closesocket(SOCKET socket) {
  winsock::SocketTable& table = Table();
  int fd = -1;
  {
    std::lock_guard<std::mutex> guard(table.mutex);
    if (table.startCount == 0) return Fail(WSANOTINITIALISED);
    auto it = table.entries.find(socket);
    if (it == table.entries.end()) return Fail(WSAENOTSOCK);
    fd = it->second.fd;
    winsock::WatchEntry(table, socket, it->second, false);
    if (it->second.pollAgain) std::erase(table.marked, socket);
    table.entries.erase(it);
  }
  close(fd);
  return 0;
}

int getsockname(SOCKET socket, SocketAddress* address, int* length) {
  const int fd = DescriptorOf(socket);
  if (fd < 0) return SOCKET_ERROR;
  if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(SocketAddressIn))) {
    return Fail(WSAEFAULT);
  }
  sockaddr_storage host{};
  socklen_t hostLength = sizeof(host);
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&host), &hostLength) != 0) return FailErrno();
  FromHostAddress(host, address, length);
  return 0;
}

// Parenthesised: optimised builds make the host's htons and ntohs macros.
std::uint16_t(htons)(std::uint16_t value) {
  if constexpr (std::endian::native == std::endian::big) return value;
  return static_cast<std::uint16_t>(value << 8 | value >> 8);
}
std::uint16_t(ntohs)(std::uint16_t value) { return (htons)(value); }

std::uint32_t inet_addr(const char* text) {
  in_addr address{};
  if (text == nullptr || inet_pton(AF_INET, text, &address) != 1) return kWsInaddrNone;
  return address.s_addr;
}

int gethostname(char* name, int length) {
  if (name == nullptr || length <= 0) return Fail(WSAEFAULT);
  return ::gethostname(name, static_cast<std::size_t>(length)) == 0 ? 0 : FailErrno();
}

HostEntry* gethostbyname(const char* name) {
  if (name == nullptr) {
    Fail(WSAEFAULT);
    return nullptr;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) {
    Fail(WSAHOST_NOT_FOUND);
    return nullptr;
  }
  HostBuffer& host = tHost;
  host.name = name;
  host.addresses.clear();
  for (const addrinfo* each = found; each != nullptr; each = each->ai_next) {
    host.addresses.push_back(reinterpret_cast<const sockaddr_in*>(each->ai_addr)->sin_addr.s_addr);
  }
  freeaddrinfo(found);
  host.addressPointers.clear();
  for (std::uint32_t& address : host.addresses) host.addressPointers.push_back(reinterpret_cast<char*>(&address));
  host.addressPointers.push_back(nullptr);
  host.entry = HostEntry{host.name.data(), host.noAliases, static_cast<std::int16_t>(kWsAfInet), 4,
                         host.addressPointers.data()};
  winsock::SetLastError(0);
  return &host.entry;
}

}  // namespace plat
