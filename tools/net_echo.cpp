// An echo server over the library's networking, for checking the message
// framing against other programs: every byte of whole messages a client
// sends comes back to it, framed again. Listens on 127.0.0.1.
//   net_echo [PORT] [CONNECTIONS]
// PORT 0 (the default) takes a free port; the first line printed is
// "listening on 127.0.0.1:PORT". With CONNECTIONS, it ends once that many
// connections have come and gone; otherwise it runs until interrupted.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "network/network.h"
#include "network/network_services.h"

namespace {

// Bytes a connection may have waiting to go back before the server stops
// taking what it sends: a client that reads late is slowed down by its own
// socket buffers instead of losing its echo.
constexpr int kEchoQueueLimit = 4 << 20;
// The longest idle wait: stop requests are looked at this often.
constexpr int kIdleWaitMs = 100;

volatile std::sig_atomic_t gStop = 0;

void RequestStop(int) { gStop = 1; }

// Sends back what has arrived whole, as far as the echo queue has room.
// False when an echo could not be queued (the connection is closed then).
bool Echo(int handle, std::vector<char>& buffer) {
  for (;;) {
    const int room = kEchoQueueLimit - qz::GetNetWorkSendDataLength(handle);
    if (room <= 0) return true;
    const int got = qz::NetWorkRecv(handle, buffer.data(), std::min(room, static_cast<int>(buffer.size())));
    if (got <= 0) return true;
    if (qz::NetWorkSend(handle, buffer.data(), got) != 0) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int port = argc >= 2 ? std::atoi(argv[1]) : 0;
  const int connectionsToServe = argc >= 3 ? std::atoi(argv[2]) : 0;
  // The server needs no display: its notification window stays in memory.
  setenv("QZ_BACKEND", "headless", 0);
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);

  if (qz::StartNetwork() != 0 || qz::ListenNetWork("127.0.0.1", port) == -1) {
    std::fprintf(stderr, "net_echo: cannot listen on 127.0.0.1:%d\n", port);
    qz::EndNetwork();
    return 1;
  }
  std::printf("listening on 127.0.0.1:%d\n", qz::GetListenNetWorkPort());
  std::fflush(stdout);

  std::vector<int> open;
  std::vector<char> buffer(1 << 20);
  int served = 0;
  while (gStop == 0 && (connectionsToServe == 0 || served < connectionsToServe)) {
    qz::PumpNetworkMessages(1);
    for (int accepted = qz::GetNewAcceptNetWork(); accepted != -1; accepted = qz::GetNewAcceptNetWork()) {
      open.push_back(accepted);
    }
    for (const int handle : open) {
      if (Echo(handle, buffer)) continue;
      std::fprintf(stderr, "net_echo: closing a connection whose echo could not be queued\n");
      qz::CloseNetWork(handle);
    }
    // Lost connections go at the next pump; ones in error (a bad length
    // from the client) are gone already.
    while (qz::GetLostNetWork() != -1) {
    }
    served += static_cast<int>(std::erase_if(open, [](int handle) {
      return qz::GetNetWorkAcceptState(handle) != 1;
    }));
    qz::WaitNetworkEvents(kIdleWaitMs);
  }
  qz::EndNetwork();
  return 0;
}
