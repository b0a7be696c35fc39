// What the machine is: processors, operating system, processor identification
// and memory. Reports the real machine; tests inject a source of their own.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

inline constexpr std::uint32_t VER_PLATFORM_WIN32s = 0;
inline constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;

struct OsVersion {
  std::uint32_t majorVersion;
  std::uint32_t minorVersion;
  std::uint32_t buildNumber;
  std::uint32_t platformId;
  char servicePack[128];
  // Our own addition: an honest description of the real system ("Linux 6.1.0").
  char description[128];
};

struct CpuidResult {
  std::uint32_t eax, ebx, ecx, edx;
};

struct MemoryStatus {
  std::uint32_t memoryLoad;  // percent in use
  std::uint64_t totalPhysical;
  std::uint64_t availablePhysical;
  std::uint64_t totalVirtual;
  std::uint64_t availableVirtual;
};

std::uint32_t GetLogicalProcessorCount();
// On Linux: NT 6.1 (the newest version the library tells apart) with the
// kernel's release as description and build 0.
bool GetOsVersion(OsVersion* version);
bool HasCpuid();
CpuidResult Cpuid(std::uint32_t leaf);
bool GlobalMemoryStatusEx(MemoryStatus* status);

// Test hook: a fake machine. Null restores the real one.
struct SystemSource {
  std::uint32_t processorCount;
  OsVersion os;
  bool hasCpuid;
  CpuidResult (*cpuid)(std::uint32_t leaf);
  bool hasTimeStampCounter;
};
void SetSystemSourceForTest(const SystemSource* source);
// The injected machine, or null for the real one.
const SystemSource* GetSystemSourceForTest();

}  // namespace plat
