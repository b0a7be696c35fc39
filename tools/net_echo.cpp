// An echo server over the library's networking, for checking the message
// framing against other programs: every byte of whole messages a client
// sends comes back to it, framed again. Listens on 127.0.0.1.
//   net_echo [PORT] [CONNECTIONS]
// PORT 0 (the default) takes a free port; the first line printed is
// "listening on 127.0.0.1:PORT". With CONNECTIONS, it ends once that many
// connections have come and gone; otherwise it runs until interrupted.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "network/network.h"
#include "network/network_services.h"
#include "platform/clock.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void RequestStop(int) { gStop = 1; }

// Sends back everything that has arrived whole.
void Echo(int handle, std::vector<char>& buffer) {
  for (;;) {
    const int got = qz::NetWorkRecv(handle, buffer.data(), static_cast<int>(buffer.size()));
    if (got <= 0) return;
    qz::NetWorkSend(handle, buffer.data(), got);
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
    for (const int handle : open) Echo(handle, buffer);
    // Lost connections go at the next pump; ones in error (a bad length
    // from the client) are gone already.
    while (qz::GetLostNetWork() != -1) {
    }
    served += static_cast<int>(std::erase_if(open, [](int handle) {
      return qz::GetNetWorkAcceptState(handle) != 1;
    }));
    plat::Sleep(1);
  }
  qz::EndNetwork();
  return 0;
}
