// Socket events, the network pump and the end of networking. Everything runs
// on the main thread; socket events arrive as message 0x505 for the network
// window and are handled when its messages are dispatched.
#include "network/network_services.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "core/call_trace.h"
#include "core/log.h"
#include "network/network_log_text.h"
#include "network/network_platform.h"
#include "network/network_state.h"
#include "platform/clock.h"

namespace qz {
namespace {

// The slot where each socket's record was last found, so an event does not
// walk the list of every connection. A hint is checked against the record
// before it is used (slots and sockets change hands); the whole map goes
// when it has grown past what the slots could hold, and at the network end.
std::unordered_map<plat::SOCKET, int> gSlotHints;

NetworkRecord* FindBySocket(plat::SOCKET socket) {
  NetworkState& state = GetNetworkState();
  if (const auto hint = gSlotHints.find(socket); hint != gSlotHints.end()) {
    NetworkRecord* record = state.records[hint->second];
    if (record != nullptr && record->socket == socket) return record;
  }
  if (state.listHead.next == nullptr) return nullptr;
  for (HandleListNode* node = state.listHead.next; node->next != nullptr; node = node->next) {
    auto* record = static_cast<NetworkRecord*>(node->record);
    if (record->socket != socket) continue;
    if (gSlotHints.size() >= 2 * static_cast<std::size_t>(kNetworkSlots)) gSlotHints.clear();
    gSlotHints[socket] = node->id & kHandleSlotMask;
    return record;
  }
  return nullptr;
}

bool ShouldCloseOnPump(const NetworkRecord* record) {
  if (record->valid == 0) return false;
  const bool lostAndMarked = record->connected == 0 && record->closeMark == 1 && record->autoClose == 1;
  return lostAndMarked || record->error == 1;
}

void CloseLostAndFailed() {
  NetworkState& state = GetNetworkState();
  HandleListNode* node = state.listHead.next;
  while (node != nullptr && node->next != nullptr) {
    HandleListNode* next = node->next;
    if (ShouldCloseOnPump(static_cast<NetworkRecord*>(node->record))) FlushAndCloseNetworkHandle(node->id);
    node = next;
  }
}

// Passes over the deferred events in one pump; what is deferred again in the
// last one waits for the next pump.
constexpr int kDeferredPasses = 4;

// Runs the events refused while their kind of work was running, once no such
// work runs: only the outermost pump gets here with nothing busy.
void RunDeferredEvents() {
  NetworkState& state = GetNetworkState();
  for (int pass = 0; pass < kDeferredPasses && state.eventDeferred != 0; ++pass) {
    if (state.receiveBusy != 0 || state.sendBusy != 0 || state.acceptBusy != 0) return;
    state.eventDeferred = 0;
    std::vector<int> handles;
    for (HandleListNode* node = state.listHead.next; node->next != nullptr; node = node->next) {
      if (static_cast<NetworkRecord*>(node->record)->deferredEvents != 0) handles.push_back(node->id);
    }
    // A handler may accept a connection onto the list; none frees a record.
    for (const int handle : handles) {
      NetworkRecord* record = GetNetworkRecord(handle);
      if (record == nullptr) continue;
      const std::int32_t events = record->deferredEvents;
      record->deferredEvents = 0;
      if ((events & plat::FD_ACCEPT) != 0) AcceptNetWork();
      if ((events & plat::FD_READ) != 0) RecvSocket(handle);
      if ((events & plat::FD_WRITE) != 0) SendSocket(handle);
    }
  }
}

}  // namespace

void DeferSocketEvent(NetworkRecord* record, std::int32_t event) {
  record->deferredEvents |= event;
  GetNetworkState().eventDeferred = 1;
}

plat::LRESULT OnSocketEvent(plat::WPARAM socket, plat::LPARAM eventWord) {
  RecordCall("OnSocketEvent");
  NetworkRecord* record = FindBySocket(socket);
  if (record == nullptr) {
    AppendLogText(text::kNetworkUnknownSocket);
    return 0;
  }
  const std::int32_t event = plat::LowWord(static_cast<std::uintptr_t>(eventWord));
  const std::int32_t error = plat::HighWord(static_cast<std::uintptr_t>(eventWord));
  if (record->udp != 0) {
    if (event == plat::FD_READ) record->udpReadReady = 1;
    if (event == plat::FD_WRITE) record->udpWriteReady = 1;
    return 1;
  }
  switch (event) {
    case plat::FD_READ:
      RecvSocket(record->node.id);
      break;
    case plat::FD_WRITE:
      SendSocket(record->node.id);
      break;
    case plat::FD_ACCEPT:
      return AcceptNetWork();
    case plat::FD_CONNECT:
      if (error == 0) {
        record->connected = 1;
      } else {
        record->peerGone = 1;
      }
      break;
    case plat::FD_CLOSE:
      record->connected = 0;
      record->closeMark = 0;
      record->peerGone = 1;
      break;
    default:
      break;
  }
  return 1;
}

int PumpNetworkMessages(int closeLost) {
  RecordCall("PumpNetworkMessages");
  NetworkState& state = GetNetworkState();
  if (state.started == 0 || state.window == nullptr) return 0;
  if (closeLost == 1) CloseLostAndFailed();
  Net().PostSocketNotifications();
  plat::Message message{};
  while (plat::PeekMessageA(&message, state.window, 0, 0, plat::PM_REMOVE)) {
    plat::TranslateMessage(&message);
    plat::DispatchMessageA(&message);
  }
  RunDeferredEvents();
  return 0;
}

int WaitNetworkEvents(int milliseconds) {
  NetworkState& state = GetNetworkState();
  const auto limit = static_cast<std::uint32_t>(std::max(milliseconds, 0));
  if (state.started == 0 || Net().WaitForSocketEvents == nullptr) {
    plat::Sleep(limit);
    return 0;
  }
  if (state.eventDeferred != 0) return 1;
  return Net().WaitForSocketEvents(limit);
}

int EndNetwork() {
  RecordCall("EndNetwork");
  NetworkState& state = GetNetworkState();
  if (state.started == 0) return 0;
  AppendLogText(text::kNetworkEndBegin);
  // One budget for all the flushes: many stalled peers cannot stretch the end.
  const CloseBudget budget{NetworkNow(), kEndFlushBudgetMs};
  for (int slot = 0; slot < kNetworkSlots; ++slot) {
    const NetworkRecord* record = state.records[slot];
    if (record == nullptr) continue;
    const int handle = NetworkHandleAt(slot);
    const int closed = record->udp != 0 ? CloseUdpNetworkHandle(handle) : FlushAndCloseWithin(handle, &budget);
    if (closed != 0) DiscardNetworkRecord(slot);
  }
  if (state.window != nullptr) {
    plat::PostMessageA(state.window, plat::WM_CLOSE, 0, 0);
    if (state.windowGone == 0) PumpNetworkMessages(0);
    // The close destroys the window; one that is somehow still there must
    // not outlive networking.
    if (plat::IsWindow(state.window)) plat::DestroyWindow(state.window);
  }
  UnregisterNetworkWindowClass();
  state = NetworkState{};
  gSlotHints.clear();
  Net().WSACleanup();
  UnloadNetworkPlatform();
  AppendLogText(text::kNetworkEndDone);
  return 0;
}

}  // namespace qz
