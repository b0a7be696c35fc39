// Writes that bypass the caches, for large areas that are not read again
// soon (depth clears, the kept copy of a presented frame): the cache then
// keeps what the next draws read instead. SSE2, so on every x86-64.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace plat {

// `count` copies of a 32-bit value from dst (4-byte aligned).
inline void StreamFill32(std::uint8_t* dst, std::uint32_t value, std::size_t count) {
  std::size_t i = 0;
  for (; i < count && (reinterpret_cast<std::uintptr_t>(dst + i * 4) & 15) != 0; ++i) std::memcpy(dst + i * 4, &value, 4);
  const __m128i wide = _mm_set1_epi32(static_cast<int>(value));
  for (; i + 4 <= count; i += 4) _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i * 4), wide);
  for (; i < count; ++i) std::memcpy(dst + i * 4, &value, 4);
}

// Copies `bytes` (a multiple of 4) from src to dst (4-byte aligned).
inline void StreamCopy32(std::uint8_t* dst, const std::uint8_t* src, std::size_t bytes) {
  std::size_t i = 0;
  for (; i < bytes && (reinterpret_cast<std::uintptr_t>(dst + i) & 15) != 0; i += 4) std::memcpy(dst + i, src + i, 4);
  for (; i + 16 <= bytes; i += 16) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
  }
  for (; i < bytes; i += 4) std::memcpy(dst + i, src + i, 4);
}

// Orders the streamed writes before any later read or write of them.
inline void StreamFence() { _mm_sfence(); }

}  // namespace plat
