// A growable byte queue. Writers grow it and then append at the write offset
// themselves; a zeroed record is an empty buffer with no storage.
#pragma once

#include <cstdint>

namespace qz {

struct RingBuffer {
  std::uint8_t* data;          // tracked block, or null
  std::uint32_t readOffset;
  std::uint32_t writeOffset;
  std::uint32_t stored;
  std::int32_t capacity;
};

// A read or write offset equal to the capacity becomes 0.
void RingBufferWrapOffsets(RingBuffer* ring);
// Copies n bytes in stored order; advances unless peeking. -1 when fewer than
// n bytes are stored (nothing copied).
int RingBufferRead(RingBuffer* ring, void* destination, std::uint32_t n, int peek);
// Makes room for `need` more bytes: capacity stored * 3 / 2 + need + 1000,
// contents moved to the start. -1 when memory runs out; the ring is left as
// it was, nothing lost.
int GrowRingBuffer(RingBuffer* ring, std::uint32_t need);
int FreeRingBuffer(RingBuffer* ring);

}  // namespace qz
