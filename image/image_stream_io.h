// Little-endian field readers and image-stream helpers shared by the image
// decoders, so each decoder reads sizes and bytes the same way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image_decode.h"

namespace qz {

inline int ReadU16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

inline std::uint32_t ReadU32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// Bytes read; asking for none reads none.
inline std::size_t ReadBytes(ImageStream* stream, void* buffer, std::size_t size) {
  return size == 0 ? 0 : stream->functions.Read(buffer, 1, size, stream->handle);
}

// The stream's whole size, left rewound to its start; -1 when it cannot seek.
inline std::int64_t MeasureStream(ImageStream* stream) {
  if (stream->functions.Seek(stream->handle, 0, 2) != 0) return -1;
  std::int64_t size = stream->functions.Tell(stream->handle);
  if (stream->functions.Seek(stream->handle, 0, 0) != 0) return -1;
  return size;
}

// The position of the stream's end, the stream left where it was; -1 when it
// cannot tell or seek.
inline std::int64_t MeasureStreamEnd(ImageStream* stream) {
  const StreamFunctionTable& functions = stream->functions;
  const std::int64_t position = functions.Tell(stream->handle);
  if (position < 0 || functions.Seek(stream->handle, 0, 2) != 0) return -1;
  const std::int64_t end = functions.Tell(stream->handle);
  if (functions.Seek(stream->handle, position, 0) != 0 || end < position) return -1;
  return end;
}

}  // namespace qz
