// The system report written at the library start, and the facts it keeps for
// the rest of the library: processors, OS code, instruction sets, time-stamp
// counter.
#pragma once

#include <cstdint>

namespace qz {

// OS codes the library branches on.
inline constexpr int kOsWindows2000 = 262;
inline constexpr int kOsWindowsXp = 263;
inline constexpr int kOsWindowsVista = 264;
inline constexpr int kOsWindows7 = 265;

int ReportSystemInfo();
// Ends the timer period the report began (the library end calls it).
int EndSystemTimerPeriod();

int GetProcessorCount();
int GetOsCode();
const char* GetOsText();
int GetDirectXLevel();  // always 0x70000
int GetMmxUsableFlag();
int GetSseUsableFlag();
int GetSse2UsableFlag();
const char* GetCpuVendor();
const char* GetCpuName();

// OS code and text from a version record (exposed for tests).
struct OsVersionInfo {
  std::uint32_t platformId;
  std::uint32_t majorVersion;
  std::uint32_t minorVersion;
  const char* servicePack;
};
int OsCodeFromVersion(const OsVersionInfo& version, char* text, int textSize);

// 1 when the processor has CPUID level 1 with the MMX bit.
int TestCpuMmxFeature();

}  // namespace qz
