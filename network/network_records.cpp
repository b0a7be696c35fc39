// The network state block, its records and handles, the network clock and
// the network log line.
#include <cstdarg>

#include "core/log.h"
#include "core/clock.h"
#include "core/memory.h"
#include "core/string_util.h"
#include "network/network_log_text.h"
#include "network/network_platform.h"
#include "network/network_state.h"

namespace qz {
namespace {

NetworkState gState{};

}  // namespace

NetworkState& GetNetworkState() { return gState; }

NetworkRecord* GetNetworkRecord(int handle) {
  if (handle < 0 || (handle & kHandleKindMask) != kNetworkHandle) return nullptr;
  const int slot = handle & kHandleSlotMask;
  if (slot >= kNetworkSlots) return nullptr;
  NetworkRecord* record = gState.records[slot];
  if (record == nullptr || (record->check << 16) != (handle & kHandleCheckMask)) return nullptr;
  return record;
}

LibraryHandle NetworkHandleAt(int slot) {
  if (slot < 0 || slot >= kNetworkSlots || gState.records[slot] == nullptr) return kNoHandle;
  return MakeHandle(kNetworkHandle, gState.records[slot]->check, slot);
}

int FirstFreeConnectionSlot() {
  for (int slot = 0; slot < kNetworkConnectionSlots; ++slot) {
    if (gState.records[slot] == nullptr) return slot;
  }
  return -1;
}

int AddNetworkRecord(int slot, plat::SOCKET socket, int udp) {
  auto* record = static_cast<NetworkRecord*>(QZ_ALLOC_ZEROED(sizeof(NetworkRecord)));
  if (record == nullptr) return AppendLogText(text::kNetworkRecordAllocFailed);
  record->udp = udp;
  record->valid = 1;
  record->messageMode = gState.streamMode == 0 ? 1 : 0;
  record->autoClose = gState.noAutoClose == 0 ? 1 : 0;
  record->socket = socket;
  record->check = gState.checkCounter;
  gState.checkCounter = gState.checkCounter + 1 >= kHandleCheckLimit ? 0 : gState.checkCounter + 1;
  gState.records[slot] = record;
  const LibraryHandle handle = MakeHandle(kNetworkHandle, record->check, slot);
  AddHandleListNode(&gState.listHead, &record->node, handle, record);
  return handle;
}

void DiscardNetworkRecord(int slot) {
  NetworkRecord* record = gState.records[slot];
  if (record == nullptr) return;
  RemoveHandleListNode(&record->node);
  FreeRingBuffer(&record->receiveRing);
  FreeRingBuffer(&record->sendRing);
  QZ_FREE(record);
  gState.records[slot] = nullptr;
}

// Bit 31 cleared as the library's counters are; differences are taken
// modulo 2^31, so a wrap of the counter never stalls a wait.
std::int32_t NetworkNow() { return static_cast<std::int32_t>(Net().timeGetTime() & 0x7FFFFFFFu); }

std::int32_t NetworkElapsed(std::int32_t start) { return ElapsedMilliseconds(NetworkNow(), start); }

int LogNetworkFormat(const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  FormatStringV(text, sizeof(text), format, arguments);
  va_end(arguments);
  const int error = Net().WSAGetLastError != nullptr ? Net().WSAGetLastError() : 0;
  return AppendLogFormat(text::kNetworkLogFormat, text, error);
}

}  // namespace qz
