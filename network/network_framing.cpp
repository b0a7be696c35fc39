// Length-prefixed messages over a connection: a 4-byte little-endian body
// length, then the body. Bodies go straight between the socket and the
// rings and every transfer resumes where a short recv or send left it.
// The length word is only taken from the socket once all four bytes are
// there, and a length over the message limit puts the connection in error.
#include <algorithm>

#include "core/log.h"
#include "network/network_log_text.h"
#include "network/network_platform.h"
#include "network/network_services.h"
#include "network/network_state.h"

namespace qz {
namespace {

constexpr int kLengthWordSize = 4;

// Library-wide: a receive never starts inside a receive, nor a send inside a send.
int gReceiveBusy = 0;
int gSendBusy = 0;

std::uint32_t DecodeLength(const std::uint8_t word[4]) {
  return static_cast<std::uint32_t>(word[0]) | static_cast<std::uint32_t>(word[1]) << 8 |
         static_cast<std::uint32_t>(word[2]) << 16 | static_cast<std::uint32_t>(word[3]) << 24;
}

void EncodeLength(std::uint32_t length, std::uint8_t word[4]) {
  for (int i = 0; i < kLengthWordSize; ++i) word[i] = static_cast<std::uint8_t>(length >> (8 * i));
}

// Bytes of one transfer, or 0 for an error, the end of the stream or a wait.
int Moved(int result) { return result > 0 ? result : 0; }

// Moves up to `left` bytes between the socket and the ring at `*offset`, in
// one part or, when they wrap round the ring's end, two. Returns the count.
template <typename Transfer>
std::uint32_t TransferRingPart(RingBuffer& ring, std::uint32_t* offset, std::uint32_t left, Transfer transfer) {
  const auto capacity = static_cast<std::uint32_t>(ring.capacity);
  if (left == 0) return 0;
  if (*offset + left <= capacity) {
    const int count = Moved(transfer(ring.data + *offset, left));
    *offset += static_cast<std::uint32_t>(count);
    return static_cast<std::uint32_t>(count);
  }
  const std::uint32_t first = capacity - *offset;
  const int firstCount = Moved(transfer(ring.data + *offset, first));
  if (static_cast<std::uint32_t>(firstCount) < first) {
    *offset += static_cast<std::uint32_t>(firstCount);
    return static_cast<std::uint32_t>(firstCount);
  }
  const int secondCount = Moved(transfer(ring.data, left - first));
  *offset = static_cast<std::uint32_t>(secondCount);
  return first + static_cast<std::uint32_t>(secondCount);
}

int Receive(plat::SOCKET socket, void* buffer, std::uint32_t length, int flags) {
  return Net().recv(socket, static_cast<char*>(buffer), static_cast<int>(length), flags);
}

int Send(plat::SOCKET socket, const void* buffer, std::uint32_t length) {
  return Net().send(socket, static_cast<const char*>(buffer), static_cast<int>(length), 0);
}

// Takes the next length word and makes room for its body. 1 when a message
// has begun, 0 to wait for more bytes (or for the program to take what it
// has), -1 when the connection is put in error.
int BeginIncomingMessage(NetworkRecord* record) {
  std::uint8_t word[kLengthWordSize];
  if (Receive(record->socket, word, kLengthWordSize, plat::kWsMsgPeek) != kLengthWordSize) return 0;
  const std::uint32_t length = DecodeLength(word);
  const std::int32_t limit = GetNetworkMessageLimit();
  if (length > static_cast<std::uint32_t>(limit)) {
    AppendLogFormat(text::kNetworkRecvTooLong, length, limit);
    record->error = 1;
    return -1;
  }
  // A peer that sends faster than the program takes its messages is held
  // back by the socket's own buffers: at most two limits wait in the ring.
  if (static_cast<std::uint64_t>(record->receiveRing.stored) + length > 2 * static_cast<std::uint64_t>(limit)) {
    return 0;
  }
  if (GrowRingBuffer(&record->receiveRing, length) != 0) {
    AppendLogFormat(text::kNetworkRecvRingGrowFailed, static_cast<int>(length));
    record->error = 1;
    return -1;
  }
  if (Receive(record->socket, word, kLengthWordSize, 0) != kLengthWordSize) {
    // Four bytes were there a moment ago: the stream is out of step now.
    AppendLogText(text::kNetworkRecvLengthLost);
    record->error = 1;
    return -1;
  }
  record->incomingLength = length;
  record->incomingLeft = length;
  return 1;
}

int ReceiveMessages(NetworkRecord* record) {
  for (;;) {
    if (record->incomingLeft == 0) {
      const int begun = BeginIncomingMessage(record);
      if (begun <= 0) return begun;
    }
    RingBuffer& ring = record->receiveRing;
    RingBufferWrapOffsets(&ring);
    const std::uint32_t count = TransferRingPart(
        ring, &ring.writeOffset, record->incomingLeft,
        [record](std::uint8_t* at, std::uint32_t n) { return Receive(record->socket, at, n, 0); });
    ring.stored += count;
    record->incomingLeft -= count;
    if (record->incomingLeft == 0) record->completedBytes += record->incomingLength;
    PumpNetworkMessages(0);
    if (count == 0 || record->incomingLeft != 0) return 0;
  }
}

// Sends what is left of the current length word, or starts a message of
// everything waiting (up to the message limit). False when the pass ends.
bool SendLengthWord(NetworkRecord* record) {
  std::uint8_t word[kLengthWordSize];
  if (record->lengthWordLeft > 0) {
    EncodeLength(record->outgoingLeft, word);
    const int k = record->lengthWordLeft;
    const int sent = Send(record->socket, word + kLengthWordSize - k, static_cast<std::uint32_t>(k));
    if (sent <= 0) return false;
    record->lengthWordLeft = k - sent;
    return record->lengthWordLeft == 0;
  }
  if (record->outgoingLeft != 0) return true;
  record->outgoingLeft = std::min(record->sendRing.stored, static_cast<std::uint32_t>(GetNetworkMessageLimit()));
  EncodeLength(record->outgoingLeft, word);
  const int sent = Send(record->socket, word, kLengthWordSize);
  if (sent <= 0) {
    record->outgoingLeft = 0;
    return false;
  }
  record->lengthWordLeft = kLengthWordSize - sent;
  return record->lengthWordLeft == 0;
}

void SendMessages(NetworkRecord* record) {
  for (;;) {
    if (!SendLengthWord(record)) return;
    RingBuffer& ring = record->sendRing;
    RingBufferWrapOffsets(&ring);
    const std::uint32_t count = TransferRingPart(
        ring, &ring.readOffset, record->outgoingLeft,
        [record](std::uint8_t* at, std::uint32_t n) { return Send(record->socket, at, n); });
    ring.stored -= count;
    record->outgoingLeft -= count;
    PumpNetworkMessages(0);
    if (count == 0 || record->outgoingLeft != 0 || ring.stored == 0) return;
  }
}

// The checks both directions share: -1 at once (no log line) before the
// start, for a bad handle, a UDP record or a nested call.
NetworkRecord* FramingRecord(int handle, const int& busy) {
  if (GetNetworkState().started == 0 || busy != 0) return nullptr;
  NetworkRecord* record = GetNetworkRecord(handle);
  return record != nullptr && record->udp == 0 ? record : nullptr;
}

}  // namespace

int RecvSocket(int handle) {
  NetworkRecord* record = FramingRecord(handle, gReceiveBusy);
  if (record == nullptr) return -1;
  gReceiveBusy = 1;
  PumpNetworkMessages(0);
  int result = 0;
  if (record->valid == 0) {
    result = AppendLogText(text::kNetworkRecvInvalid);
  } else if (record->error != 0) {
    result = AppendLogText(text::kNetworkRecvInError);
  } else if (record->messageMode != 0) {
    result = ReceiveMessages(record);
  }
  gReceiveBusy = 0;
  return result;
}

int SendSocket(int handle) {
  NetworkRecord* record = FramingRecord(handle, gSendBusy);
  if (record == nullptr) return -1;
  gSendBusy = 1;
  PumpNetworkMessages(0);
  int result = 0;
  if (record->valid == 0) {
    result = AppendLogText(text::kNetworkSendInvalid);
  } else if (record->error != 0) {
    result = AppendLogText(text::kNetworkSendInError);
  } else if (record->messageMode != 0 && record->sendRing.stored != 0) {
    SendMessages(record);
  }
  gSendBusy = 0;
  return result;
}

}  // namespace qz
