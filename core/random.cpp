// One MT19937 generator with the reference seeding of 1998 (each state word
// built from two steps of the 69069 linear congruential rule), so the same
// seed gives the same sequence the game was tuned with.
#include "core/random.h"

#include <mutex>

namespace qz {
namespace {

constexpr int kStateWords = 624;
constexpr int kMiddleDistance = 397;
constexpr std::uint32_t kMatrixA = 0x9908B0DFu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7FFFFFFFu;
constexpr std::uint32_t kDefaultSeed = 4357;

struct Generator {
  std::uint32_t state[kStateWords];
  std::uint32_t output[kStateWords];
  int index = kStateWords;
  bool seeded = false;
};

Generator gGenerator;
// The game draws on one thread, but a stray draw from a worker must not tear
// the block.
std::mutex gGeneratorMutex;

std::uint32_t Temper(std::uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

std::uint32_t Twist(std::uint32_t current, std::uint32_t next, std::uint32_t far) {
  const std::uint32_t y = (current & kUpperMask) | (next & kLowerMask);
  return far ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrixA : 0u);
}

void GenerateBlock(Generator& g) {
  for (int k = 0; k < kStateWords; ++k) {
    g.state[k] = Twist(g.state[k], g.state[(k + 1) % kStateWords], g.state[(k + kMiddleDistance) % kStateWords]);
  }
  for (int k = 0; k < kStateWords; ++k) g.output[k] = Temper(g.state[k]);
  g.index = 0;
}

void SeedLocked(Generator& g, std::uint32_t seed) {
  std::uint32_t x = seed;
  for (std::uint32_t& word : g.state) {
    word = x & 0xFFFF0000u;
    x = 69069u * x + 1u;
    word |= (x & 0xFFFF0000u) >> 16;
    x = 69069u * x + 1u;
  }
  g.seeded = true;
  GenerateBlock(g);
}

}  // namespace

void SeedRandom(std::uint32_t seed) {
  std::lock_guard<std::mutex> lock(gGeneratorMutex);
  SeedLocked(gGenerator, seed);
}

std::uint32_t NextRandomWord() {
  std::lock_guard<std::mutex> lock(gGeneratorMutex);
  Generator& g = gGenerator;
  if (g.index >= kStateWords) {
    if (!g.seeded) {
      SeedLocked(g, kDefaultSeed);
    } else {
      GenerateBlock(g);
    }
  }
  return g.output[g.index++];
}

std::int32_t GetRandomUpTo(std::int32_t max) {
  if (max < 0) return 0;
  // max + 1 in 64 bits, so 0x7FFFFFFF does not overflow.
  const std::uint64_t range = static_cast<std::uint64_t>(max) + 1u;
  return static_cast<std::int32_t>((static_cast<std::uint64_t>(NextRandomWord()) * range) >> 32);
}

}  // namespace qz
