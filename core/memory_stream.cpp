// A read stream over a block in memory, so decoders and converters read a
// loaded file and a file on disk through the same interface. The stream does
// not own the block.
#include <cstring>
#include <limits>

#include "core/file_access.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"

namespace qz {

MemoryStream* OpenMemoryStream(const void* data, std::size_t size) {
  if (data == nullptr || size > std::numeric_limits<std::uint32_t>::max()) {
    AppendLogText(text::kMemoryStreamBadArgument);
    return nullptr;
  }
  auto* stream = static_cast<MemoryStream*>(QZ_ALLOC_ZEROED(sizeof(MemoryStream)));
  if (stream == nullptr) return nullptr;
  stream->data = static_cast<const std::uint8_t*>(data);
  stream->size = static_cast<std::uint32_t>(size);
  return stream;
}

int CloseMemoryStream(MemoryStream* stream) {
  if (stream == nullptr) return AppendLogText(text::kMemoryStreamBadArgument);
  QZ_FREE(stream);
  return 0;
}

std::int64_t MemStreamTell(MemoryStream* stream) {
  if (stream == nullptr) return AppendLogText(text::kMemoryStreamBadArgument);
  return stream->position;
}

int MemStreamSeek(MemoryStream* stream, std::int64_t offset, int origin) {
  if (stream == nullptr) return AppendLogText(text::kMemoryStreamBadArgument);
  std::int64_t base;
  if (!SeekOriginBase(origin, stream->position, stream->size, &base)) return AppendLogText(text::kMemoryStreamBadArgument);
  // Clamp the offset first so base + offset cannot overflow.
  const std::int64_t limit = std::numeric_limits<std::uint32_t>::max();
  const std::int64_t clampedOffset = offset < -limit ? -limit : (offset > limit ? limit : offset);
  std::int64_t target = base + clampedOffset;
  if (target < 0) target = 0;
  if (target > stream->size) target = stream->size;
  stream->position = static_cast<std::uint32_t>(target);
  stream->endOfFile = 0;
  return 0;
}

std::size_t MemStreamRead(void* buffer, std::size_t elementSize, std::size_t count, MemoryStream* stream) {
  if (stream == nullptr || (buffer == nullptr && elementSize != 0 && count != 0)) {
    AppendLogText(text::kMemoryStreamBadArgument);
    return 0;
  }
  if (elementSize == 0 || count == 0) return 0;
  if (count > std::numeric_limits<std::size_t>::max() / elementSize) {
    AppendLogText(text::kFileReadTooLarge);
    return 0;
  }
  if (stream->position >= stream->size) {
    stream->endOfFile = 1;
    return 0;
  }
  const std::size_t left = stream->size - stream->position;
  if (elementSize * count > left) count = left / elementSize;
  if (count == 0) {
    // Less than one element left: the remainder is copied and counted as one
    // element, as the decoders built on this stream expect.
    std::memcpy(buffer, stream->data + stream->position, left);
    stream->position = stream->size;
    stream->endOfFile = 0;
    return 1;
  }
  const std::size_t bytes = elementSize * count;
  std::memcpy(buffer, stream->data + stream->position, bytes);
  stream->position += static_cast<std::uint32_t>(bytes);
  stream->endOfFile = 0;
  return count;
}

int MemStreamEof(MemoryStream* stream) {
  if (stream == nullptr) return AppendLogText(text::kMemoryStreamBadArgument);
  return stream->endOfFile ? 1 : 0;
}

int MemStreamIdleCheck(MemoryStream* stream) {
  if (stream == nullptr) return AppendLogText(text::kMemoryStreamBadArgument);
  return 1;
}

}  // namespace qz
