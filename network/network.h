// Networking for programs: start it, listen on a port or connect to a host,
// then send and receive through network handles. The library's messages are
// a 4-byte little-endian length and the body; the application sees a byte
// stream made of whole messages:
//  - NetWorkSend queues bytes; everything queued when a message begins goes
//    out as that one message (up to the message limit), so two sends may
//    reach the peer as one message. Boundaries are not kept for the reader.
//  - NetWorkRecv takes bytes of messages that have arrived whole.
// Socket events are handled while the library pumps (PumpNetworkMessages),
// so a program that does not run the message pump must call it itself.
#pragma once

#include <cstdint>

namespace qz {

struct NetworkPeerAddress {
  std::int32_t ipv6;           // 1: `ipv6Words` hold the address
  std::uint8_t ipv4[4];        // in the order written, 127.0.0.1 as {127, 0, 0, 1}
  std::uint16_t ipv6Words[8];  // the 16 bytes as received
  std::int32_t port;           // host order
};

// 0, or -1 (logged) when WinSock or the network window cannot start. A
// started network stays started until EndNetwork (or the library's end).
int StartNetwork();
// Options of connections made from now on: streams without framing, and
// leaving lost connections open until the program closes them.
int SetNetWorkStreamMode(int streamMode);
int SetNetWorkNoAutoClose(int noAutoClose);
// The longest message accepted from a peer (default 64 MiB); a peer that
// announces a longer one has its connection put in error and closed.
int SetNetWorkMessageLimit(std::int32_t bytes);

// Listens on `address` ("127.0.0.1", or null for every address) and `port`
// (0: any free port). Returns the listening handle, or -1.
int ListenNetWork(const char* address, int port);
// The port the listening handle is bound to, or -1.
int GetListenNetWorkPort();
int StopListenNetWork();
// Starts a connection to a dotted address or host name; the handle reports
// connected (GetNetWorkAcceptState 1) once the connection stands. -1 on failure.
int ConnectNetWork(const char* host, int port);

// A connection accepted since the last call, or -1.
int GetNewAcceptNetWork();
// A connection whose peer is gone, reported once; the next pump closes it
// unless auto-close is off (then CloseNetWork does). Take its last bytes first.
int GetLostNetWork();
// 1 while connected, 0 while connecting or once lost, -1 for a bad handle.
int GetNetWorkAcceptState(int handle);
int GetNetWorkIP(int handle, NetworkPeerAddress* address);

// Queues bytes for sending and starts sending them. 0, or -1 (bad handle or
// arguments, lost connection, too much waiting). In stream mode, sends
// directly and returns how many bytes the socket took.
int NetWorkSend(int handle, const void* data, std::int32_t length);
// Bytes that have arrived in whole messages and wait to be taken.
int GetNetWorkDataLength(int handle);
// Bytes still to go out.
int GetNetWorkSendDataLength(int handle);
// Takes up to `length` arrived bytes; returns how many, or -1. In stream
// mode, reads the socket directly (0 when nothing waits).
int NetWorkRecv(int handle, void* buffer, std::int32_t length);
// Closes a handle, waiting up to a second each for a message being received
// and for bytes still to send.
int CloseNetWork(int handle);

}  // namespace qz
