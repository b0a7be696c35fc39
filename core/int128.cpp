// Unsigned 128-bit product and quotient on the compiler's 128-bit integers.
#include "core/int128.h"

namespace qz {

U128 MulU64To128(std::uint64_t a, std::uint64_t b) {
  unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
}

std::uint64_t DivU128By64(U128 dividend, std::uint64_t divisor) {
  if (divisor == 0) return 0;
  unsigned __int128 value = (static_cast<unsigned __int128>(dividend.high) << 64) | dividend.low;
  return static_cast<std::uint64_t>(value / divisor);
}

}  // namespace qz
