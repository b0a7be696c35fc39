// The receiving side of the message framing against arbitrary byte streams
// split at arbitrary points: the input's first bytes give the sizes of the
// pieces in which the rest arrives, and a scripted recv hands them out one
// arrival at a time. Whatever arrives, the rings stay consistent and the
// program only ever takes bytes of whole messages.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "network/network.h"
#include "network/network_platform.h"
#include "network/network_services.h"
#include "network/network_state.h"

namespace {

struct Stream {
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
  std::size_t arrived = 0;
  std::size_t read = 0;
};
Stream gStream;

int Recv(plat::SOCKET, char* buffer, int length, int flags) {
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), gStream.arrived - gStream.read);
  if (n == 0) return plat::SOCKET_ERROR;
  std::memcpy(buffer, gStream.bytes + gStream.read, n);
  if ((flags & plat::kWsMsgPeek) == 0) gStream.read += n;
  return static_cast<int>(n);
}
int Send(plat::SOCKET, const char*, int length, int) { return length; }
int GatherSend(plat::SOCKET, const plat::WsaBuffer* buffers, std::uint32_t count, std::uint32_t* sent, std::uint32_t,
               void*, void*) {
  *sent = 0;
  for (std::uint32_t i = 0; i < count; ++i) *sent += buffers[i].length;
  return 0;
}
int Succeed(plat::SOCKET) { return 0; }
int Select(plat::SOCKET, plat::HWND, std::uint32_t, std::int32_t) { return 0; }
int Startup(std::uint16_t, plat::WsaData*) { return 0; }
int Cleanup() { return 0; }
int NoNotifications() { return 0; }
int WouldBlock() { return plat::WSAEWOULDBLOCK; }
std::uint32_t gClock = 0;
std::uint32_t Clock() { return gClock += 50; }

qz::NetworkPlatform gPlatform;

void StartOnce() {
  static const bool started = [] {
    setenv("QZ_BACKEND", "headless", 0);
    qz::SetLogOutputEnabled(0);
    gPlatform = qz::StandInNetworkPlatform();
    gPlatform.recv = &Recv;
    gPlatform.send = &Send;
    gPlatform.WSASend = &GatherSend;
    gPlatform.closesocket = &Succeed;
    gPlatform.WSAAsyncSelect = &Select;
    gPlatform.WSAStartup = &Startup;
    gPlatform.WSACleanup = &Cleanup;
    gPlatform.WSAGetLastError = &WouldBlock;
    gPlatform.PostSocketNotifications = &NoNotifications;
    gPlatform.timeGetTime = &Clock;
    qz::SetNetworkPlatformForTest(&gPlatform);
    // A small limit keeps hostile lengths cheap to refuse and to grow for.
    qz::SetNetWorkMessageLimit(1 << 16);
    return qz::StartNetwork() == 0;
  }();
  if (!started) std::abort();
}

void CheckRing(const qz::NetworkRecord* record) {
  const qz::RingBuffer& ring = record->receiveRing;
  const auto capacity = static_cast<std::uint32_t>(ring.capacity);
  if (ring.capacity < 0 || ring.stored > capacity || ring.readOffset > capacity || ring.writeOffset > capacity ||
      record->completedBytes > ring.stored) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  StartOnce();
  // Up to 8 piece sizes, then the stream.
  const std::size_t pieceCount = size > 0 ? std::min<std::size_t>(data[0] % 9, size - 1) : 0;
  const std::uint8_t* pieces = data + (size > 0 ? 1 : 0);
  const std::size_t header = size > 0 ? 1 + pieceCount : 0;
  gStream = Stream{data + header, size - header, 0, 0};

  const int handle = qz::AddNetworkRecord(0, 1, 0);
  if (handle < 0) return 0;
  qz::NetworkRecord* record = qz::GetNetworkRecord(handle);
  record->connected = 1;
  std::vector<std::uint8_t> taken(4096);
  for (std::size_t piece = 0; gStream.arrived < gStream.size && record->error == 0; ++piece) {
    const std::size_t step = pieceCount > 0 ? pieces[piece % pieceCount] + 1u : gStream.size;
    gStream.arrived = std::min(gStream.size, gStream.arrived + step);
    qz::RecvSocket(handle);
    CheckRing(record);
    // Take part of what is complete, as a program would between frames.
    const std::size_t want = std::min(step * 3, taken.size());
    const int got = qz::NetWorkRecv(handle, taken.data(), static_cast<std::int32_t>(want));
    if (got < 0) std::abort();
    CheckRing(record);
  }
  qz::RecvSocket(handle);
  CheckRing(record);
  qz::CloseNetWork(handle);
  qz::PumpNetworkMessages(1);
  return 0;
}
