// The echo server's pass: new connections, echoes within the queue limit, lost ones let go.
#include "tools/net_echo_server.h"

#include <algorithm>
#include <cstdio>

#include "network/network.h"
#include "network/network_services.h"

namespace qz::tools {
namespace {

// Bytes taken from a connection at once.
constexpr int kChunkBytes = 1 << 20;

// Sends back what has arrived whole, never queueing past the limit: each
// take is cut to the room left. False when an echo could not be queued (the
// connection is closed then).
bool Echo(int handle, std::vector<char>& buffer) {
  for (;;) {
    const int room = EchoServer::kQueueLimit - GetNetWorkSendDataLength(handle);
    if (room <= 0) return true;
    const int got = NetWorkRecv(handle, buffer.data(), std::min(room, static_cast<int>(buffer.size())));
    if (got <= 0) return true;
    if (NetWorkSend(handle, buffer.data(), got) != 0) return false;
  }
}

}  // namespace

EchoServer::EchoServer() : buffer_(kChunkBytes) {}

int EchoServer::Pass() {
  PumpNetworkMessages(1);
  for (int accepted = GetNewAcceptNetWork(); accepted != -1; accepted = GetNewAcceptNetWork()) {
    open_.push_back(accepted);
  }
  for (const int handle : open_) {
    if (Echo(handle, buffer_)) continue;
    std::fprintf(stderr, "net_echo: closing a connection whose echo could not be queued\n");
    CloseNetWork(handle);
  }
  // Lost connections go at the next pump; ones in error (a bad length from
  // the client) are gone already.
  while (GetLostNetWork() != -1) {
  }
  return static_cast<int>(std::erase_if(open_, [](int handle) { return GetNetWorkAcceptState(handle) != 1; }));
}

}  // namespace qz::tools
