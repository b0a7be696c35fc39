// The client's side of net_echo's framing, for the programs that drive it
// from plain sockets: a loopback connection, and the body bytes of an echo
// stream whose 4-byte length words and frames may split anywhere.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qz::tools {

// A blocking TCP connection to `port` on this machine; -1 when refused.
inline int ConnectLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Where a framed stream stands between reads: the length word's bytes so
// far and the body bytes left of the current frame.
class FramedBodyCounter {
 public:
  // Body bytes among `bytes`; length words are skipped.
  std::uint64_t Take(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t body = 0;
    for (std::size_t at = 0; at < size;) {
      if (frameLeft_ == 0) {
        word_[wordHave_++] = bytes[at++];
        if (wordHave_ < 4) continue;
        wordHave_ = 0;
        std::memcpy(&frameLeft_, word_, 4);  // little-endian on the machines this runs on
        continue;
      }
      const auto part = static_cast<std::uint32_t>(std::min<std::size_t>(frameLeft_, size - at));
      at += part;
      frameLeft_ -= part;
      body += part;
    }
    return body;
  }

 private:
  std::uint8_t word_[4] = {};
  int wordHave_ = 0;
  std::uint32_t frameLeft_ = 0;
};

}  // namespace qz::tools
