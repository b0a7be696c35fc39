// Unsigned 128-bit helpers, so tick counts times 10^6 never overflow.
#pragma once

#include <cstdint>

namespace qz {

struct U128 {
  std::uint64_t high;
  std::uint64_t low;
};

U128 MulU64To128(std::uint64_t a, std::uint64_t b);
// The quotient's low 64 bits (the caller keeps it in range). A zero divisor gives 0.
std::uint64_t DivU128By64(U128 dividend, std::uint64_t divisor);

}  // namespace qz
