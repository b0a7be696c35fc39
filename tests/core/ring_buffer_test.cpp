// Ring buffer: growth sizes and order keeping, peeks and reads across the end,
// refusals that must leave the queue alone, and a random run against a deque.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include "support/scratch_log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/ring_buffer.h"

namespace qz {
namespace {

// Appends the way the network and sound writers do: grow, then copy at the
// write offset, wrapping at the capacity.
void Write(RingBuffer* ring, const std::uint8_t* bytes, std::uint32_t n) {
  ASSERT_EQ(GrowRingBuffer(ring, n), 0);
  for (std::uint32_t i = 0; i < n; ++i) {
    RingBufferWrapOffsets(ring);
    ring->data[ring->writeOffset++] = bytes[i];
  }
  ring->stored += n;
}

// A ring of the given capacity holding 0, 1, 2, ... `stored` bytes starting
// at `readOffset`, built by hand so the layout is exact.
RingBuffer MakeRing(std::int32_t capacity, std::uint32_t readOffset, std::uint32_t stored) {
  RingBuffer ring{};
  ring.data = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(capacity)));
  ring.capacity = capacity;
  ring.readOffset = readOffset;
  ring.stored = stored;
  for (std::uint32_t i = 0; i < stored; ++i) ring.data[(readOffset + i) % capacity] = static_cast<std::uint8_t>(i);
  ring.writeOffset = (readOffset + stored) % capacity;
  return ring;
}

std::vector<std::uint8_t> Sequence(std::uint32_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::uint32_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

TEST(RingBuffer, GrowthSizes) {
  const int blocksBefore = GetTrackedBlockCount();
  RingBuffer ring{};
  ASSERT_EQ(GrowRingBuffer(&ring, 10), 0);
  EXPECT_EQ(ring.capacity, 1010);
  EXPECT_NE(ring.data, nullptr);
  EXPECT_EQ(ring.readOffset, 0u);
  EXPECT_EQ(ring.writeOffset, 0u);
  std::uint8_t* const block = ring.data;
  ASSERT_EQ(GrowRingBuffer(&ring, 1010), 0);
  EXPECT_EQ(ring.data, block) << "enough room: nothing moves";
  EXPECT_EQ(ring.capacity, 1010);
  EXPECT_EQ(FreeRingBuffer(&ring), 0);
  EXPECT_EQ(ring.data, nullptr);
  EXPECT_EQ(ring.capacity, 0);

  RingBuffer small = MakeRing(120, 0, 100);
  ASSERT_EQ(GrowRingBuffer(&small, 50), 0);
  EXPECT_EQ(small.capacity, 1200);
  EXPECT_EQ(small.readOffset, 0u);
  EXPECT_EQ(small.writeOffset, 100u);
  EXPECT_EQ(small.stored, 100u);
  FreeRingBuffer(&small);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore);
}

TEST(RingBuffer, GrowthKeepsWrappedContentsInOrder) {
  RingBuffer ring = MakeRing(120, 50, 100);  // bytes 50..119 then 0..29
  ASSERT_EQ(GrowRingBuffer(&ring, 50), 0);
  const std::vector<std::uint8_t> expected = Sequence(100);
  EXPECT_EQ(std::memcmp(ring.data, expected.data(), 100), 0);

  // Offsets sitting exactly at the capacity count as 0.
  RingBuffer atEnd = MakeRing(8, 0, 4);
  atEnd.readOffset = 8;
  atEnd.writeOffset = 4;
  for (int i = 0; i < 4; ++i) atEnd.data[i] = static_cast<std::uint8_t>(i);
  ASSERT_EQ(GrowRingBuffer(&atEnd, 10), 0);
  EXPECT_EQ(std::memcmp(atEnd.data, expected.data(), 4), 0);

  // A lone byte, the one before the end, moves too.
  RingBuffer lone = MakeRing(4, 3, 1);
  lone.data[3] = 0xA5;
  ASSERT_EQ(GrowRingBuffer(&lone, 10), 0);
  EXPECT_EQ(lone.data[0], 0xA5);
  EXPECT_EQ(lone.stored, 1u);
  FreeRingBuffer(&ring);
  FreeRingBuffer(&atEnd);
  FreeRingBuffer(&lone);
}

// Each step reads (or peeks) n bytes and expects the counter from `first`
// and the offsets after it.
TEST(RingBuffer, ReadsAndPeeksAcrossTheEnd) {
  struct Step {
    std::uint32_t n;
    int peek;
    std::uint8_t first;
    std::uint32_t readOffset;
    std::uint32_t stored;
  };
  const struct {
    const char* name;
    std::int32_t capacity;
    std::uint32_t readOffset;
    std::uint32_t stored;
    std::vector<Step> steps;
  } cases[] = {
      {"peek, read, empty read", 16, 3, 10, {{4, 1, 0, 3, 10}, {4, 0, 0, 7, 6}, {2, 0, 4, 9, 4}, {0, 0, 0, 9, 4}}},
      {"4 bytes at the end, 6 at the start", 16, 12, 10, {{10, 0, 0, 6, 0}}},
      {"a read ending at the capacity wraps", 16, 12, 6, {{4, 0, 0, 0, 2}, {2, 0, 4, 2, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RingBuffer ring = MakeRing(c.capacity, c.readOffset, c.stored);
    for (const Step& step : c.steps) {
      std::uint8_t out[16] = {};
      ASSERT_EQ(RingBufferRead(&ring, out, step.n, step.peek), 0);
      for (std::uint32_t i = 0; i < step.n; ++i) EXPECT_EQ(out[i], step.first + i) << i;
      EXPECT_EQ(ring.readOffset, step.readOffset);
      EXPECT_EQ(ring.stored, step.stored);
    }
    FreeRingBuffer(&ring);
  }
}

TEST(RingBuffer, RefusalsLeaveEverythingAlone) {
  RingBuffer ring = MakeRing(16, 12, 10);
  const RingBuffer before = ring;
  std::uint8_t out[16];
  std::memset(out, 0xCC, sizeof out);
  EXPECT_EQ(RingBufferRead(&ring, out, 11, 0), -1);
  EXPECT_EQ(RingBufferRead(&ring, out, 11, 1), -1);
  for (std::uint8_t byte : out) EXPECT_EQ(byte, 0xCC);
  EXPECT_EQ(std::memcmp(&ring, &before, sizeof ring), 0);
  EXPECT_EQ(RingBufferRead(&ring, nullptr, 4, 0), -1);
  EXPECT_EQ(RingBufferRead(nullptr, out, 0, 0), -1);

  {
    // A capacity past the i32 range is refused before anything is allocated.
    testing::ScratchLog log;
    const int blocks = GetTrackedBlockCount();
    EXPECT_EQ(GrowRingBuffer(&ring, 0xFFFFFFFFu), -1);
    EXPECT_EQ(GetTrackedBlockCount(), blocks);
    EXPECT_EQ(std::memcmp(&ring, &before, sizeof ring), 0);
    char line[256];
    std::snprintf(line, sizeof line, text::kRingBufferSizeTooLarge, 10ull * 3 / 2 + 0xFFFFFFFFull + 1000);
    EXPECT_TRUE(log.Contains(line)) << log.Contents();
  }
  ASSERT_EQ(RingBufferRead(&ring, out, 10, 0), 0);
  EXPECT_EQ(out[9], 9) << "the queued bytes survived";

  // A record damaged by a writer is not trusted for copying.
  RingBuffer damaged = MakeRing(16, 0, 4);
  damaged.stored = 40;
  {
    testing::ScratchLog log;
    EXPECT_EQ(RingBufferRead(&damaged, out, 20, 0), -1);
    char line[256];
    std::snprintf(line, sizeof line, text::kRingBufferDamaged, 16, 40u, 0u, 4u);
    EXPECT_TRUE(log.Contains(line)) << log.Contents();
  }
  EXPECT_EQ(GrowRingBuffer(&damaged, 4), -1);
  damaged.stored = 4;
  damaged.readOffset = 17;
  EXPECT_EQ(RingBufferRead(&damaged, out, 4, 0), -1);
  damaged.readOffset = 0;
  damaged.capacity = -1;  // as unsigned, room for every offset
  EXPECT_EQ(RingBufferRead(&damaged, out, 4, 0), -1);
  damaged.capacity = 16;
  EXPECT_EQ(GrowRingBuffer(nullptr, 4), -1);
  EXPECT_EQ(FreeRingBuffer(nullptr), -1);
  FreeRingBuffer(&ring);
  FreeRingBuffer(&damaged);
}

TEST(RingBuffer, BehavesLikeAQueue) {
  const int blocksBefore = GetTrackedBlockCount();
  std::mt19937 random(20240611);
  RingBuffer ring{};
  std::deque<std::uint8_t> model;
  std::uint8_t next = 0;
  std::vector<std::uint8_t> buffer;
  for (int step = 0; step < 4000; ++step) {
    const int action = static_cast<int>(random() % 3);
    const auto n = static_cast<std::uint32_t>(random() % 700);
    buffer.assign(n, 0);
    if (action == 0) {
      for (auto& byte : buffer) byte = next++;
      Write(&ring, buffer.data(), n);
      model.insert(model.end(), buffer.begin(), buffer.end());
    } else {
      const int peek = action == 2 ? 1 : 0;
      const int result = RingBufferRead(&ring, buffer.data(), n, peek);
      if (n > model.size()) {
        ASSERT_EQ(result, -1);
        continue;
      }
      ASSERT_EQ(result, 0);
      for (std::uint32_t i = 0; i < n; ++i) ASSERT_EQ(buffer[i], model[i]) << "step " << step;
      if (peek == 0) model.erase(model.begin(), model.begin() + n);
    }
    ASSERT_EQ(ring.stored, model.size());
    ASSERT_LE(ring.stored, static_cast<std::uint32_t>(ring.capacity));
  }
  FreeRingBuffer(&ring);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore);
}

}  // namespace
}  // namespace qz
