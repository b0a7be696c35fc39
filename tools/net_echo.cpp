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

#include "network/network.h"
#include "network/network_services.h"
#include "tools/net_echo_server.h"

namespace {

// The longest idle wait: stop requests are looked at this often.
constexpr int kIdleWaitMs = 100;

volatile std::sig_atomic_t gStop = 0;

void RequestStop(int) { gStop = 1; }

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

  qz::tools::EchoServer server;
  int served = 0;
  while (gStop == 0 && (connectionsToServe == 0 || served < connectionsToServe)) {
    served += server.Pass();
    qz::WaitNetworkEvents(kIdleWaitMs);
  }
  qz::EndNetwork();
  return 0;
}
