// Length-prefixed messages over a connection: a 4-byte little-endian body
// length, then the body. Bodies go straight between the socket and the
// rings, a message's length word and body leave in one gathered write, and
// every transfer resumes where a short recv or send left it.
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

// Bytes a receive takes between the pumps it runs: a long run of messages
// still lets the other sockets' events in, without a pump for each message.
constexpr std::uint32_t kPumpEveryBytes = 64 * 1024;

int ReceiveMessages(NetworkRecord* record) {
  std::uint32_t sincePump = 0;
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
    sincePump += count;
    if (sincePump >= kPumpEveryBytes) {
      PumpNetworkMessages(0);
      sincePump = 0;
    }
    if (count == 0 || record->incomingLeft != 0) return 0;
  }
}

// One write of what is left of the current message: the rest of its length
// word and its body, the body in two parts when it wraps round the ring's
// end. False when nothing went out; a message whose length word could not
// start is given up, so bytes queued meanwhile join it when it is formed again.
bool SendMessagePart(NetworkRecord* record) {
  std::uint8_t word[kLengthWordSize];
  EncodeLength(record->outgoingLeft, word);
  RingBuffer& ring = record->sendRing;
  RingBufferWrapOffsets(&ring);
  const std::uint32_t toRingEnd = static_cast<std::uint32_t>(ring.capacity) - ring.readOffset;
  const std::uint32_t first = std::min(record->outgoingLeft, toRingEnd);
  plat::WsaBuffer parts[3];
  std::uint32_t count = 0;
  const auto wordLeft = static_cast<std::uint32_t>(record->lengthWordLeft);
  if (wordLeft > 0) parts[count++] = {wordLeft, reinterpret_cast<char*>(word + kLengthWordSize - wordLeft)};
  if (first > 0) parts[count++] = {first, reinterpret_cast<char*>(ring.data + ring.readOffset)};
  if (record->outgoingLeft > first) parts[count++] = {record->outgoingLeft - first, reinterpret_cast<char*>(ring.data)};
  std::uint32_t sent = 0;
  if (Net().WSASend(record->socket, parts, count, &sent, 0, nullptr, nullptr) != 0 || sent == 0) {
    if (wordLeft == kLengthWordSize) {
      record->outgoingLeft = 0;
      record->lengthWordLeft = 0;
    }
    return false;
  }
  const std::uint32_t wordSent = std::min(sent, wordLeft);
  const std::uint32_t body = sent - wordSent;
  record->lengthWordLeft -= static_cast<std::int32_t>(wordSent);
  ring.readOffset = body <= first ? ring.readOffset + body : body - first;
  ring.stored -= body;
  record->outgoingLeft -= body;
  return true;
}

// Sends messages while the socket takes them whole. Everything waiting when
// a message begins forms that message, up to the message limit.
void SendMessages(NetworkRecord* record) {
  RingBuffer& ring = record->sendRing;
  for (;;) {
    if (record->lengthWordLeft == 0 && record->outgoingLeft == 0) {
      record->outgoingLeft = std::min(ring.stored, static_cast<std::uint32_t>(GetNetworkMessageLimit()));
      record->lengthWordLeft = kLengthWordSize;
    }
    // A limit of 0 makes empty messages, which would never drain the ring.
    const bool carriesBody = record->outgoingLeft != 0;
    const bool wentOut = SendMessagePart(record);
    PumpNetworkMessages(0);
    const bool complete = record->lengthWordLeft == 0 && record->outgoingLeft == 0;
    if (!wentOut || !complete || !carriesBody || ring.stored == 0) return;
  }
}

// The checks both directions share: -1 at once (no log line) before the
// start, for a bad handle, a UDP record or a nested call; a nested call's
// event is kept for later.
NetworkRecord* FramingRecord(int handle, std::int32_t busy, std::int32_t event) {
  if (GetNetworkState().started == 0) return nullptr;
  NetworkRecord* record = GetNetworkRecord(handle);
  if (record == nullptr || record->udp != 0) return nullptr;
  if (busy != 0) {
    DeferSocketEvent(record, event);
    return nullptr;
  }
  return record;
}

}  // namespace

int RecvSocket(int handle) {
  NetworkState& state = GetNetworkState();
  NetworkRecord* record = FramingRecord(handle, state.receiveBusy, plat::FD_READ);
  if (record == nullptr) return -1;
  state.receiveBusy = 1;
  PumpNetworkMessages(0);
  int result = 0;
  if (record->valid == 0) {
    result = AppendLogText(text::kNetworkRecvInvalid);
  } else if (record->error != 0) {
    result = AppendLogText(text::kNetworkRecvInError);
  } else if (record->messageMode != 0) {
    result = ReceiveMessages(record);
  }
  state.receiveBusy = 0;
  return result;
}

int SendSocket(int handle) {
  NetworkState& state = GetNetworkState();
  NetworkRecord* record = FramingRecord(handle, state.sendBusy, plat::FD_WRITE);
  if (record == nullptr) return -1;
  state.sendBusy = 1;
  PumpNetworkMessages(0);
  int result = 0;
  if (record->valid == 0) {
    result = AppendLogText(text::kNetworkSendInvalid);
  } else if (record->error != 0) {
    result = AppendLogText(text::kNetworkSendInError);
  } else if (record->messageMode != 0 && record->sendRing.stored != 0) {
    SendMessages(record);
  }
  state.sendBusy = 0;
  return result;
}

}  // namespace qz
