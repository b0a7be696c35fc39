// Accepting connections into handles and closing handles: UDP at once, TCP
// after bounded waits for the rest of a message being received and for the
// bytes still to send.
#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "network/network_log_text.h"
#include "network/network_platform.h"
#include "network/network_services.h"
#include "network/network_state.h"

namespace qz {
namespace {

// Stops the notifications before the socket goes, then frees the record.
void CloseRecord(int slot) {
  NetworkState& state = GetNetworkState();
  NetworkRecord* record = state.records[slot];
  if (record->socket != 0 && record->socket != plat::INVALID_SOCKET) {
    Net().WSAAsyncSelect(record->socket, state.window, 0, 0);
    Net().closesocket(record->socket);
  }
  record->socket = 0;
  DiscardNetworkRecord(slot);
}

// The time a wait may take: its own second, cut to what the shared budget has left.
std::int32_t WaitLimit(const CloseBudget* budget) {
  if (budget == nullptr) return kCloseWaitMs;
  return std::clamp(budget->limit - NetworkElapsed(budget->start), 0, kCloseWaitMs);
}

// Runs one pass after another while `pending` holds, for at most `limit` ms.
// A record in error can move nothing, and a connection whose peer is gone
// that made no progress in a pass will make none later: both end the wait.
template <typename Pending, typename Pass>
void WaitWhile(NetworkRecord* record, std::int32_t limit, Pending pending, Pass pass) {
  const std::int32_t start = NetworkNow();
  while (pending() && record->error == 0 && NetworkElapsed(start) < limit) {
    const std::uint32_t before = pending();
    pass();
    if (record->peerGone != 0 && pending() == before) break;
  }
}

// Accepts the waiting connection into a new record in `slot`: 1, or -1 with
// nothing left behind.
int AcceptIntoSlot(const NetworkRecord& listener, int slot) {
  if (AddNetworkRecord(slot, 0, 0) < 0) return -1;
  NetworkRecord* record = GetNetworkState().records[slot];
  record->ipv6 = listener.ipv6;
  record->connected = 1;
  record->newConnection = 1;
  plat::SocketAddressIn6 address{};
  int length = listener.ipv6 != 0 ? sizeof(plat::SocketAddressIn6) : sizeof(plat::SocketAddressIn);
  record->socket = Net().accept(listener.socket, reinterpret_cast<plat::SocketAddress*>(&address), &length);
  if (record->socket == plat::INVALID_SOCKET) {
    LogNetworkFormat("%s", text::kNetworkAcceptFailed);
    CloseRecord(slot);
    return -1;
  }
  if (Net().WSAAsyncSelect(record->socket, GetNetworkState().window, kSocketNotifyMessage, kConnectionEvents) ==
      plat::SOCKET_ERROR) {
    LogNetworkFormat("%s", text::kNetworkAcceptSelectFailed);
    CloseRecord(slot);
    return -1;
  }
  // The address bytes as accept delivers them, in network order.
  if (listener.ipv6 != 0) {
    std::memcpy(record->peerIpv6, address.address, sizeof(record->peerIpv6));
  } else {
    std::memcpy(record->peerIpv4, &reinterpret_cast<const plat::SocketAddressIn&>(address).address, 4);
  }
  record->peerPort = address.port;
  return 1;
}

}  // namespace

int AcceptNetWork() {
  NetworkState& state = GetNetworkState();
  if (state.started == 0) return -1;
  if (state.acceptBusy != 0) {
    NetworkRecord* listener = state.records[kNetworkListenSlot];
    if (listener != nullptr) DeferSocketEvent(listener, plat::FD_ACCEPT);
    return -1;
  }
  state.acceptBusy = 1;
  PumpNetworkMessages(0);
  int result = -1;
  if (const NetworkRecord* listener = state.records[kNetworkListenSlot]; listener != nullptr) {
    const int slot = FirstFreeConnectionSlot();
    result = slot < 0 ? AppendLogText(text::kNetworkAcceptNoFreeSlot) : AcceptIntoSlot(*listener, slot);
  }
  state.acceptBusy = 0;
  return result;
}

int CloseUdpNetworkHandle(int handle) {
  const NetworkRecord* record = GetNetworkState().started != 0 ? GetNetworkRecord(handle) : nullptr;
  if (record == nullptr || record->udp == 0) return -1;
  CloseRecord(handle & kHandleSlotMask);
  return 0;
}

int FlushAndCloseWithin(int handle, const CloseBudget* budget) {
  NetworkRecord* record = GetNetworkState().started != 0 ? GetNetworkRecord(handle) : nullptr;
  if (record == nullptr || record->udp != 0 || record->valid == 0) return -1;
  PumpNetworkMessages(0);
  WaitWhile(
      record, WaitLimit(budget), [record] { return record->incomingLeft; },
      [handle] {
        PumpNetworkMessages(0);
        RecvSocket(handle);
      });
  WaitWhile(
      record, WaitLimit(budget), [record] { return record->sendRing.stored; },
      [handle] {
        PumpNetworkMessages(0);
        SendSocket(handle);
      });
  CloseRecord(handle & kHandleSlotMask);
  return 0;
}

int FlushAndCloseNetworkHandle(int handle) { return FlushAndCloseWithin(handle, nullptr); }

}  // namespace qz
