// The program's side of networking: listening, connecting, taking new and
// lost connections, sending into and receiving from the rings, closing.
#include <cstring>

#include "core/log.h"
#include "network/network.h"
#include "network/network_log_text.h"
#include "network/network_platform.h"
#include "network/network_state.h"

namespace qz {
namespace {

// The record of a valid handle of a started network, else null.
NetworkRecord* StartedRecord(int handle) {
  return GetNetworkState().started != 0 ? GetNetworkRecord(handle) : nullptr;
}

NetworkRecord* ConnectionRecord(int handle) {
  NetworkRecord* record = StartedRecord(handle);
  return record != nullptr && record->udp == 0 && (handle & kHandleSlotMask) != kNetworkListenSlot ? record
                                                                                                   : nullptr;
}

// An IPv4 address of dotted text or a host name, in network order; false
// (logged) when it has none.
bool ResolveIpv4(const char* host, std::uint32_t* address) {
  *address = Net().inet_addr(host);
  if (*address != plat::kWsInaddrNone) return true;
  const plat::HostEntry* entry = Net().gethostbyname(host);
  if (entry == nullptr || entry->addresses == nullptr || entry->addresses[0] == nullptr) {
    LogNetworkFormat(text::kNetworkHostNotFound, host);
    return false;
  }
  std::memcpy(address, entry->addresses[0], 4);
  return true;
}

plat::SocketAddressIn Ipv4Address(std::uint32_t address, int port) {
  plat::SocketAddressIn in{};
  in.family = plat::kWsAfInet;
  in.port = Net().htons(static_cast<std::uint16_t>(port));
  in.address = address;
  return in;
}

// Closes the socket of a record that could not be set up, and the record.
void CloseFailedSocketRecord(int slot) {
  NetworkRecord* record = GetNetworkState().records[slot];
  Net().closesocket(record->socket);
  DiscardNetworkRecord(slot);
}

// A TCP socket in a record in `slot`, selected for `events`; the handle or -1
// with nothing left behind.
int OpenSocketRecord(int slot, std::int32_t events) {
  const plat::SOCKET socket = Net().socket(plat::kWsAfInet, plat::kWsSockStream, plat::kWsIpProtoTcp);
  if (socket == plat::INVALID_SOCKET) return LogNetworkFormat("%s", text::kNetworkSocketFailed);
  const int handle = AddNetworkRecord(slot, socket, 0);
  if (handle < 0) {
    Net().closesocket(socket);
    return -1;
  }
  if (Net().WSAAsyncSelect(socket, GetNetworkState().window, kSocketNotifyMessage, events) == plat::SOCKET_ERROR) {
    LogNetworkFormat("%s", text::kNetworkSelectFailed);
    CloseFailedSocketRecord(slot);
    return -1;
  }
  return handle;
}

// The first record on the list that `take` accepts (and changes), as a handle.
template <typename Take>
int TakeFirst(Take take) {
  NetworkState& state = GetNetworkState();
  if (state.started == 0) return -1;
  for (HandleListNode* node = state.listHead.next; node->next != nullptr; node = node->next) {
    if (take(*static_cast<NetworkRecord*>(node->record))) return node->id;
  }
  return -1;
}

// Appends bytes at the write offset, in two parts when they wrap.
void AppendToRing(RingBuffer& ring, const std::uint8_t* data, std::uint32_t length) {
  RingBufferWrapOffsets(&ring);
  const auto capacity = static_cast<std::uint32_t>(ring.capacity);
  const std::uint32_t first = std::min(length, capacity - ring.writeOffset);
  std::memcpy(ring.data + ring.writeOffset, data, first);
  std::memcpy(ring.data, data + first, length - first);
  ring.writeOffset = first < length ? length - first : ring.writeOffset + first;
  ring.stored += length;
}

}  // namespace

int ListenNetWork(const char* address, int port) {
  NetworkState& state = GetNetworkState();
  if (state.started == 0 || port < 0 || port > 0xFFFF) return -1;
  if (state.records[kNetworkListenSlot] != nullptr) return AppendLogText(text::kNetworkAlreadyListening);
  std::uint32_t bound = 0;  // INADDR_ANY
  if (address != nullptr && !ResolveIpv4(address, &bound)) return -1;
  const int handle = OpenSocketRecord(kNetworkListenSlot, plat::FD_ACCEPT);
  if (handle < 0) return -1;
  const plat::SOCKET socket = state.records[kNetworkListenSlot]->socket;
  const plat::SocketAddressIn in = Ipv4Address(bound, port);
  if (Net().bind(socket, reinterpret_cast<const plat::SocketAddress*>(&in), sizeof(in)) == plat::SOCKET_ERROR ||
      Net().listen(socket, plat::kWsSomaxconn) == plat::SOCKET_ERROR) {
    LogNetworkFormat("%s", text::kNetworkListenFailed);
    CloseFailedSocketRecord(kNetworkListenSlot);
    return -1;
  }
  return handle;
}

int GetListenNetWorkPort() {
  const NetworkRecord* listener = StartedRecord(NetworkHandleAt(kNetworkListenSlot));
  if (listener == nullptr) return -1;
  plat::SocketAddressIn in{};
  int length = sizeof(in);
  if (Net().getsockname(listener->socket, reinterpret_cast<plat::SocketAddress*>(&in), &length) != 0) return -1;
  return Net().ntohs(in.port);
}

int StopListenNetWork() {
  if (GetNetworkState().started == 0) return -1;
  return FlushAndCloseNetworkHandle(NetworkHandleAt(kNetworkListenSlot));
}

int ConnectNetWork(const char* host, int port) {
  if (GetNetworkState().started == 0 || host == nullptr || port <= 0 || port > 0xFFFF) return -1;
  std::uint32_t address = 0;
  if (!ResolveIpv4(host, &address)) return -1;
  const int slot = FirstFreeConnectionSlot();
  if (slot < 0) return AppendLogText(text::kNetworkNoFreeSlot);
  const int handle = OpenSocketRecord(slot, kConnectionEvents | plat::FD_CONNECT);
  if (handle < 0) return -1;
  const NetworkRecord* record = GetNetworkRecord(handle);
  const plat::SocketAddressIn in = Ipv4Address(address, port);
  if (Net().connect(record->socket, reinterpret_cast<const plat::SocketAddress*>(&in), sizeof(in)) ==
          plat::SOCKET_ERROR &&
      Net().WSAGetLastError() != plat::WSAEWOULDBLOCK) {
    LogNetworkFormat("%s", text::kNetworkConnectFailed);
    CloseFailedSocketRecord(slot);
    return -1;
  }
  return handle;
}

int GetNewAcceptNetWork() {
  return TakeFirst([](NetworkRecord& record) {
    if (record.newConnection == 0) return false;
    record.newConnection = 0;
    return true;
  });
}

int GetLostNetWork() {
  return TakeFirst([](NetworkRecord& record) {
    if (record.udp != 0 || record.peerGone == 0 || record.closeMark != 0) return false;
    record.closeMark = 1;
    return true;
  });
}

int GetNetWorkAcceptState(int handle) {
  const NetworkRecord* record = ConnectionRecord(handle);
  if (record == nullptr) return -1;
  return record->connected != 0 ? 1 : 0;
}

int GetNetWorkIP(int handle, NetworkPeerAddress* address) {
  const NetworkRecord* record = ConnectionRecord(handle);
  if (record == nullptr || address == nullptr) return -1;
  *address = NetworkPeerAddress{};
  address->ipv6 = record->ipv6;
  std::memcpy(address->ipv4, record->peerIpv4, sizeof(address->ipv4));
  std::memcpy(address->ipv6Words, record->peerIpv6, sizeof(address->ipv6Words));
  address->port = Net().ntohs(static_cast<std::uint16_t>(record->peerPort));
  return 0;
}

int NetWorkSend(int handle, const void* data, std::int32_t length) {
  NetworkRecord* record = ConnectionRecord(handle);
  if (record == nullptr) return -1;
  if (length < 0 || (data == nullptr && length > 0)) return AppendLogText(text::kNetworkSendBadArguments);
  if (record->peerGone != 0 || record->error != 0) return AppendLogText(text::kNetworkSendLost);
  if (record->messageMode == 0) return Net().send(record->socket, static_cast<const char*>(data), length, 0);
  if (length == 0) return 0;
  RingBuffer& ring = record->sendRing;
  // Two limits may wait, as on the receiving side; more is a flood of our own.
  const std::uint64_t limit = 2 * static_cast<std::uint64_t>(GetNetworkMessageLimit());
  if (static_cast<std::uint64_t>(ring.stored) + static_cast<std::uint32_t>(length) > limit) {
    return AppendLogFormat(text::kNetworkSendTooMuch, ring.stored + static_cast<std::uint32_t>(length),
                           GetNetworkMessageLimit() * 2);
  }
  if (GrowRingBuffer(&ring, static_cast<std::uint32_t>(length)) != 0) {
    return AppendLogFormat(text::kNetworkSendRingGrowFailed, length);
  }
  AppendToRing(ring, static_cast<const std::uint8_t*>(data), static_cast<std::uint32_t>(length));
  // A send already running (this is inside its pump) takes the bytes along.
  SendSocket(handle);
  return 0;
}

int GetNetWorkDataLength(int handle) {
  const NetworkRecord* record = ConnectionRecord(handle);
  return record != nullptr ? static_cast<int>(record->completedBytes) : -1;
}

int GetNetWorkSendDataLength(int handle) {
  const NetworkRecord* record = ConnectionRecord(handle);
  return record != nullptr ? static_cast<int>(record->sendRing.stored) : -1;
}

int NetWorkRecv(int handle, void* buffer, std::int32_t length) {
  NetworkRecord* record = ConnectionRecord(handle);
  if (record == nullptr) return -1;
  if (length < 0 || (buffer == nullptr && length > 0)) return AppendLogText(text::kNetworkRecvBadArguments);
  if (record->messageMode == 0) {
    const int got = Net().recv(record->socket, static_cast<char*>(buffer), length, 0);
    return got >= 0 ? got : (Net().WSAGetLastError() == plat::WSAEWOULDBLOCK ? 0 : -1);
  }
  const std::uint32_t taken = std::min(record->completedBytes, static_cast<std::uint32_t>(length));
  if (RingBufferRead(&record->receiveRing, buffer, taken, 0) != 0) return -1;
  record->completedBytes -= taken;
  return static_cast<int>(taken);
}

int CloseNetWork(int handle) {
  const NetworkRecord* record = StartedRecord(handle);
  if (record == nullptr) return -1;
  return record->udp != 0 ? CloseUdpNetworkHandle(handle) : FlushAndCloseNetworkHandle(handle);
}

}  // namespace qz
