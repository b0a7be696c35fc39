// Processor features the vector rows are chosen by at run time: the build
// targets plain x86-64, so wider units are used only where the processor
// reports them. The rows so chosen: add and subtract blits from a plain
// 32-bit source four pixels at a time (SSE2); colour-keyed copies and
// constant-alpha mixes eight (AVX2) or four at a time, a block wholly of the
// key skipped; rotated or triangle sprite runs of copy, add and subtract
// eight at a time (AVX2) when the source is not the destination's own image;
// blits of 32-bit sprites with their own alpha (alpha_rows.h). Each gives the
// per-pixel kernel's bytes exactly. Transformed drawing walks each line's run
// of positions inside the source, found once per line by division (a line
// whose positions wrap past 32 bits tests each pixel).
#pragma once

namespace qz {

inline bool CpuHasAvx2() {
#if defined(__x86_64__)
  // Asked on first use: static initialisers may run before the runtime's own
  // processor probe.
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
#else
  return false;
#endif
}

// The 512-bit units the sixteen-pixel rows need: foundation, byte and word
// lanes, and the 128- and 256-bit forms of their masked operations.
inline bool CpuHasAvx512() {
#if defined(__x86_64__)
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
           __builtin_cpu_supports("avx512vl") != 0;
  }();
  return has;
#else
  return false;
#endif
}

// How wide a row kernel may go: each level gives the scalar kernel's bytes.
enum class VectorLevel { kScalar, kAvx2, kAvx512 };

inline VectorLevel WidestVectorLevel() {
  if (CpuHasAvx512()) return VectorLevel::kAvx512;
  return CpuHasAvx2() ? VectorLevel::kAvx2 : VectorLevel::kScalar;
}

}  // namespace qz
