// Processor features the vector rows are chosen by at run time: the build
// targets plain x86-64, so wider units are used only where the processor
// reports them.
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

}  // namespace qz
