// The echo server of net_echo, apart from its process, so its limits can be
// checked in one: every byte of whole messages a client sends goes back to
// it, framed again, on the networking started and listening already.
#pragma once

#include <vector>

namespace qz::tools {

class EchoServer {
 public:
  // Bytes a connection may have waiting to go back before the server stops
  // taking what it sends: a client that reads late is slowed down by its own
  // socket buffers instead of losing its echo, and never makes the queue
  // longer than this.
  static constexpr int kQueueLimit = 4 << 20;

  EchoServer();

  // One pass: pumps the network, takes new connections, echoes what has
  // arrived on each as far as its queue has room, and lets the lost go.
  // Returns how many connections ended in this pass.
  int Pass();
  const std::vector<int>& connections() const { return open_; }

 private:
  std::vector<int> open_;
  std::vector<char> buffer_;
};

}  // namespace qz::tools
