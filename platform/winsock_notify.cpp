// WSAAsyncSelect without a WinSock thread: when PostSocketNotifications runs,
// the selected sockets that an edge-triggered epoll list or a call marked are
// polled, and what is due is posted to each socket's window. As from WinSock,
// FD_READ and FD_ACCEPT come once and again only after recv or accept enabled
// them again, so a pump inside a handler finds nothing new to post for the
// sockets already told. WaitForSocketEvents sleeps on the same list, so bytes
// left unread do not keep waking it.
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/clock.h"
#include "platform/clock_internal.h"
#include "platform/winsock_internal.h"

namespace plat {
namespace {

using winsock::SocketEntry;

struct Notification {
  HWND window;
  std::uint32_t message;
  SOCKET socket;
  std::int32_t event;
  int error;
};

int PendingError(int fd) {
  int error = 0;
  socklen_t length = sizeof(error);
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return WSAENOTSOCK;
  return error == 0 ? 0 : winsock::ErrorFromErrno(error);
}

int BytesWaiting(int fd) {
  int bytes = 0;
  return ioctl(fd, FIONREAD, &bytes) == 0 ? bytes : 0;
}

// Whether a readable socket holds bytes: a stream that is not at its end
// does, and only one at its end needs asking.
bool HasBytes(const SocketEntry& entry, short revents) {
  if (!entry.stream || (revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0) return true;
  return BytesWaiting(entry.fd) > 0;
}

// What one socket's poll result makes due, in the order WinSock would post
// it: a connect's outcome first, data before the close. Bytes read ahead
// count as waiting whatever the descriptor says.
void CollectDue(SOCKET id, SocketEntry& entry, short revents, std::vector<Notification>& due) {
  auto add = [&](std::int32_t event, int error) {
    if ((entry.events & event) != 0) due.push_back({entry.window, entry.message, id, event, error});
  };
  if (entry.listening) {
    if ((revents & POLLIN) != 0 && entry.acceptEnabled) {
      add(FD_ACCEPT, 0);
      entry.acceptEnabled = false;
    }
    return;
  }
  if (entry.connecting) {
    if ((revents & (POLLOUT | POLLERR | POLLHUP)) == 0) return;
    entry.connecting = false;
    const int error = PendingError(entry.fd);
    add(FD_CONNECT, error);
    // A connect that failed ends there: no FD_CLOSE follows it.
    entry.closeReported = error != 0;
    entry.firstWritePending = error == 0;
    if (error != 0) return;
  }
  if (entry.readEnabled && (entry.ReadAheadBytes() > 0 || ((revents & POLLIN) != 0 && HasBytes(entry, revents)))) {
    add(FD_READ, 0);
    entry.readEnabled = false;
  }
  if ((revents & POLLOUT) != 0 && (entry.firstWritePending || entry.sendCutShort)) {
    add(FD_WRITE, 0);
    entry.firstWritePending = false;
    entry.sendCutShort = false;
  }
  if (entry.stream && !entry.closeReported && (revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
    add(FD_CLOSE, (revents & POLLERR) != 0 ? PendingError(entry.fd) : 0);
    entry.closeReported = true;
  }
}

}  // namespace

namespace winsock {

void WatchEntry(SocketTable& table, SOCKET id, SocketEntry& entry, bool watch) {
  if (watch != entry.watched) {
    if (!watch) {
      epoll_ctl(table.waitFd, EPOLL_CTL_DEL, entry.fd, nullptr);
      entry.watched = false;
    } else {
      if (table.waitFd < 0) table.waitFd = epoll_create1(EPOLL_CLOEXEC);
      epoll_event interest{};
      interest.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
      interest.data.u64 = id;
      entry.watched = table.waitFd >= 0 && epoll_ctl(table.waitFd, EPOLL_CTL_ADD, entry.fd, &interest) == 0;
    }
  }
  // A socket the wait cannot watch is still polled: its events come a wait later.
  const bool blind = watch && !entry.watched;
  table.blindCount += static_cast<int>(blind) - static_cast<int>(entry.blind);
  entry.blind = blind;
}

void PollAgain(SocketTable& table, SOCKET id, SocketEntry& entry, bool wakes, bool descriptor) {
  if (!entry.pollAgain) table.marked.push_back(id);
  entry.pollAgain = true;
  entry.pollAgainWakes = entry.pollAgainWakes || wakes;
  entry.pollDescriptor = entry.pollDescriptor || descriptor;
}

}  // namespace winsock

namespace {

// Marks the sockets of `count` edges for the next pass; true when one was ours.
bool MarkChanged(winsock::SocketTable& table, const epoll_event* changes, int count) {
  bool any = false;
  for (int i = 0; i < count; ++i) {
    auto it = table.entries.find(changes[i].data.u64);
    if (it == table.entries.end()) continue;
    winsock::PollAgain(table, it->first, it->second, false);
    any = true;
  }
  return any;
}

// Takes every edge waiting on the list, without blocking.
void TakeEdges(winsock::SocketTable& table) {
  if (table.waitFd < 0) return;
  epoll_event changes[64];
  int count = 0;
  do {
    count = epoll_wait(table.waitFd, changes, 64, 0);
    MarkChanged(table, changes, count);
  } while (count == 64);
}

}  // namespace

int WSAAsyncSelect(SOCKET socket, HWND window, std::uint32_t message, std::int32_t events) {
  winsock::SocketTable& table = winsock::Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  if (table.startCount == 0) return winsock::Fail(WSANOTINITIALISED);
  auto it = table.entries.find(socket);
  if (it == table.entries.end()) return winsock::Fail(WSAENOTSOCK);
  if (events != 0 && window == nullptr) return winsock::Fail(WSAEINVAL);
  SocketEntry& entry = it->second;
  const int flags = fcntl(entry.fd, F_GETFL);
  if (flags < 0 || fcntl(entry.fd, F_SETFL, flags | O_NONBLOCK) != 0) return winsock::Fail(WSAENOTSOCK);
  entry.window = window;
  entry.message = message;
  entry.events = events;
  winsock::WatchEntry(table, it->first, entry, events != 0);
  entry.readEnabled = true;
  entry.acceptEnabled = true;
  winsock::PollAgain(table, it->first, entry, true);
  // A socket that is already connected reports FD_WRITE once, as WinSock
  // does right after the selection.
  entry.firstWritePending = !entry.listening && !entry.connecting;
  winsock::SetLastError(0);
  return 0;
}

int PostSocketNotifications() {
  std::vector<Notification> due;
  {
    winsock::SocketTable& table = winsock::Table();
    std::lock_guard<std::mutex> guard(table.mutex);
    TakeEdges(table);
    std::vector<pollfd> polled;
    std::vector<SocketEntry*> entries;
    std::vector<SOCKET> ids;
    auto take = [&](SOCKET id, SocketEntry& entry) {
      // An unselected socket is marked again when it is selected.
      const bool due = entry.events != 0 && (entry.pollAgain || entry.blind);
      const bool pollDescriptor = entry.pollDescriptor || entry.blind;
      entry.pollAgain = false;
      entry.pollAgainWakes = false;
      entry.pollDescriptor = false;
      if (!due) return;
      // A socket left with bytes read ahead has nothing new to ask its
      // descriptor: those bytes alone make FD_READ due.
      polled.push_back({pollDescriptor ? entry.fd : -1, static_cast<short>(POLLIN | POLLOUT | POLLRDHUP), 0});
      entries.push_back(&entry);
      ids.push_back(id);
    };
    if (table.blindCount > 0) {
      for (auto& [id, entry] : table.entries) take(id, entry);
    } else {
      for (const SOCKET id : table.marked) {
        auto it = table.entries.find(id);
        if (it != table.entries.end() && it->second.pollAgain) take(id, it->second);
      }
    }
    table.marked.clear();
    const bool anyDescriptor =
        std::any_of(polled.begin(), polled.end(), [](const pollfd& each) { return each.fd >= 0; });
    if (polled.empty() || (anyDescriptor && poll(polled.data(), polled.size(), 0) < 0)) return 0;
    for (std::size_t i = 0; i < polled.size(); ++i) {
      if (polled[i].revents != 0 || entries[i]->ReadAheadBytes() > 0) {
        CollectDue(ids[i], *entries[i], polled[i].revents, due);
      }
    }
  }
  // Posted outside the table's lock: the queue has a lock of its own.
  int posted = 0;
  for (const Notification& each : due) {
    if (PostMessageA(each.window, each.message, each.socket, MakeLParam(each.event, each.error))) ++posted;
  }
  return posted;
}

int WaitForSocketEvents(std::uint32_t milliseconds) {
  winsock::SocketTable& table = winsock::Table();
  int waitFd = -1;
  {
    std::lock_guard<std::mutex> guard(table.mutex);
    for (const SOCKET id : table.marked) {
      auto it = table.entries.find(id);
      if (it != table.entries.end() && it->second.events != 0 && it->second.pollAgainWakes) return 1;
    }
    waitFd = table.waitFd;
  }
  const bool virtualTime = IsVirtualTime();
  const int timeout = virtualTime ? 0 : static_cast<int>(std::min<std::uint32_t>(milliseconds, 0x7FFFFFFF));
  if (waitFd >= 0) {
    // The edges taken here are the next pass's to poll. A signal ends the
    // wait early too, so the caller can look at its flags.
    epoll_event changes[64];
    const int count = epoll_wait(waitFd, changes, 64, timeout);
    std::lock_guard<std::mutex> guard(table.mutex);
    if (count > 0 && MarkChanged(table, changes, count)) return 1;
    if (!virtualTime) return 0;
  }
  Sleep(milliseconds);
  return 0;
}

}  // namespace plat
