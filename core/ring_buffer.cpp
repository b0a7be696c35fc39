// The growable byte queue behind network and sound streams. A failed grow
// keeps the queued bytes: the caller may retry or give up, but nothing is lost.
#include "core/ring_buffer.h"

#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"

namespace qz {
namespace {

constexpr std::uint64_t kGrowthSlack = 1000;

// Writers set the fields directly, so a damaged record must not lead a copy
// outside the block.
bool IsConsistent(const RingBuffer* ring) {
  const auto capacity = static_cast<std::uint32_t>(ring->capacity);
  const bool consistent = ring->capacity >= 0 && (ring->data != nullptr || capacity == 0) &&
                          ring->stored <= capacity && ring->readOffset <= capacity &&
                          ring->writeOffset <= capacity;
  if (!consistent) {
    AppendLogFormat(text::kRingBufferDamaged, ring->capacity, ring->stored, ring->readOffset,
                    ring->writeOffset);
  }
  return consistent;
}

// Copies n stored bytes starting at the read offset, in stored order.
void CopyOut(const RingBuffer* ring, std::uint8_t* destination, std::uint32_t n) {
  const auto capacity = static_cast<std::uint32_t>(ring->capacity);
  const std::uint32_t first = n < capacity - ring->readOffset ? n : capacity - ring->readOffset;
  std::memcpy(destination, ring->data + ring->readOffset, first);
  if (n > first) std::memcpy(destination + first, ring->data, n - first);
}

}  // namespace

void RingBufferWrapOffsets(RingBuffer* ring) {
  if (ring == nullptr) return;
  const auto capacity = static_cast<std::uint32_t>(ring->capacity);
  if (ring->readOffset == capacity) ring->readOffset = 0;
  if (ring->writeOffset == capacity) ring->writeOffset = 0;
}

int RingBufferRead(RingBuffer* ring, void* destination, std::uint32_t n, int peek) {
  if (ring == nullptr || !IsConsistent(ring) || n > ring->stored) return -1;
  if (n == 0) return 0;
  if (destination == nullptr) return -1;
  RingBufferWrapOffsets(ring);
  CopyOut(ring, static_cast<std::uint8_t*>(destination), n);
  if (peek == 0) {
    const auto capacity = static_cast<std::uint32_t>(ring->capacity);
    ring->stored -= n;
    // readOffset < capacity after the wrap and n <= capacity, so no overflow.
    ring->readOffset += n;
    if (ring->readOffset >= capacity) ring->readOffset -= capacity;
  }
  return 0;
}

int GrowRingBuffer(RingBuffer* ring, std::uint32_t need) {
  if (ring == nullptr || !IsConsistent(ring)) return -1;
  RingBufferWrapOffsets(ring);
  const std::uint64_t stored = ring->stored;
  if (static_cast<std::uint64_t>(ring->capacity) >= stored + need) return 0;

  const std::uint64_t wanted = stored * 3 / 2 + need + kGrowthSlack;
  if (wanted > static_cast<std::uint64_t>(INT32_MAX)) {
    return AppendLogFormat(text::kRingBufferSizeTooLarge, static_cast<unsigned long long>(wanted));
  }
  const auto newCapacity = static_cast<std::int32_t>(wanted);
  auto* block = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(newCapacity)));
  if (block == nullptr) return AppendLogFormat(text::kRingBufferGrowFailed, newCapacity);

  if (ring->stored != 0) CopyOut(ring, block, ring->stored);
  QZ_FREE(ring->data);
  ring->data = block;
  ring->capacity = newCapacity;
  ring->readOffset = 0;
  ring->writeOffset = ring->stored;
  return 0;
}

int FreeRingBuffer(RingBuffer* ring) {
  if (ring == nullptr) return -1;
  QZ_FREE(ring->data);
  *ring = RingBuffer{};
  return 0;
}

}  // namespace qz
