// The lead-byte test and the current character set.
#include "core/multibyte.h"

#include <atomic>

namespace qz {

namespace {
std::atomic<int> currentCharset{0};
}

bool IsLeadByte(int charset, unsigned char byte) {
  if (charset >= 2 && charset <= 4) return byte >= 0x80;
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

void SetCurrentCharset(int charset) { currentCharset.store(charset, std::memory_order_relaxed); }

int GetCurrentCharset() { return currentCharset.load(std::memory_order_relaxed); }

}  // namespace qz
