// The escape-code LZ coding of packed archive members, decoder and encoder in
// one place so the byte order they agree on is written down once.
//
// A packed member is a 9-byte head {u32 unpacked size, u32 packed size with
// the head, u8 escape code E} and then coded bytes. A byte other than E is
// itself. E is followed by C:
//   - C == E: the byte E itself.
//   - otherwise c = C - 1 when C > E, else C; then, in this order,
//     [X]       when c & 4: one more length byte,
//     distance  by c & 3: 0 one byte, 1 two bytes, 2 three bytes (little-endian),
//               3 none (the previous match's distance again).
//   Length L = (c >> 3) + 4, with X: ((c >> 3) | X << 5) + 4 (up to 8195).
//   Distance D = field + 1; L bytes are copied from D bytes back, byte by
//   byte in effect, so L > D repeats the last D bytes.
// The encoder never writes form 3, so c <= 254 and C = c + 1 always fits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qz {

inline constexpr std::size_t kPackedHeadSize = 9;
inline constexpr std::size_t kPackedMaxLength = 8195;
inline constexpr std::size_t kPackedMaxDistance = 1u << 24;

struct PackedHead {
  std::uint32_t unpackedSize;
  std::uint32_t packedSize;  // head included
  std::uint8_t escape;
};

// One coded byte never stands for more than this many unpacked bytes (a
// 3-byte match of form 3 with the longest length), which bounds what a
// packed size can claim to unpack to.
inline constexpr std::uint64_t kPackedMaxExpansion = (kPackedMaxLength + 2) / 3;

// True when `packedSize` bytes (head included) can unpack to `unpackedSize`;
// checked before any buffer of the unpacked size is allocated.
bool PackedSizesPossible(std::uint64_t unpackedSize, std::uint64_t packedSize);

// False when fewer than 9 bytes are there, the packed size is below 9 or
// beyond `available`, or the sizes are not possible.
bool ReadPackedHead(const void* packed, std::size_t available, PackedHead* head);

// Unpacks into `destination` (capacity `destinationSize`) and returns the
// unpacked size; a null destination only returns it. A stream that would read
// past its packed size, copy from before the output or write past the
// unpacked size or the capacity, or that ends short of it, gives -1 (logged).
std::int64_t DecodeArchiveData(const void* packed, std::size_t available, void* destination,
                               std::size_t destinationSize);

// Appends the head and the coded bytes of `size` bytes to `out`; returns the
// packed size. Sizes of 4 GiB or more are refused with 0.
std::size_t EncodeArchiveData(const void* data, std::size_t size, std::vector<std::uint8_t>* out);

}  // namespace qz
