// Random numbers: one MT19937 generator with the 1998 reference seeding.
#pragma once

#include <cstdint>

namespace qz {

void SeedRandom(std::uint32_t seed);
// Seeds itself with 4357 when never seeded.
std::uint32_t NextRandomWord();
// 0 to max inclusive: the high 32 bits of word * (max + 1).
std::int32_t GetRandomUpTo(std::int32_t max);

}  // namespace qz
