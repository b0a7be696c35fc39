// The system report written at the library start: it logs the machine and
// keeps what other subsystems branch on (processor count, OS code,
// instruction-set flags, the time-stamp counter's measured frequency).
#include "core/system_info.h"

#include <cstdio>
#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/string_util.h"
#include "platform/clock.h"
#include "platform/system_info.h"

namespace qz {
namespace {

constexpr const char* kLibraryVersionText = "3.10";
constexpr int kDirectXLevel = 0x70000;
constexpr std::uint32_t kMmxBit = 1u << 23;
constexpr std::uint32_t kSseBit = 1u << 25;
constexpr std::uint32_t kSse2Bit = 1u << 26;
constexpr std::uint32_t kTimeStampBit = 1u << 4;
constexpr std::uint32_t kTimeStampMeasureMs = 100;
constexpr std::uint32_t kBrandLastLeaf = 0x80000004u;

int gProcessorCount = 1;
int gOsCode = 0;
char gOsText[160] = "";
int gMmx = 0;
int gSse = 0;
int gSse2 = 0;
char gCpuVendor[16] = "";
char gCpuName[64] = "";
// The timer period begun by the report, 0 when none is held.
std::uint32_t gTimerPeriod = 0;

// Appends to a bounded text; the table's texts are short, so truncation
// only guards a caller's small buffer.
void AppendText(char* text, int textSize, const char* part) {
  if (text == nullptr || textSize <= 0) return;
  const std::size_t used = std::strlen(text);
  if (used + 1 >= static_cast<std::size_t>(textSize)) return;
  std::snprintf(text + used, static_cast<std::size_t>(textSize) - used, "%s", part);
}

void CopyRegister(char* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}

void ReadCpuNames() {
  const plat::CpuidResult vendor = plat::Cpuid(0);
  CopyRegister(gCpuVendor, vendor.ebx);
  CopyRegister(gCpuVendor + 4, vendor.edx);
  CopyRegister(gCpuVendor + 8, vendor.ecx);
  gCpuVendor[12] = '\0';
  AppendLogText(text::kCpuVendor);
  AppendLogFormat("%s", gCpuVendor);

  gCpuName[0] = '\0';
  if (plat::Cpuid(0x80000000u).eax < kBrandLastLeaf) return;
  char brand[49] = {};
  for (std::uint32_t leaf = 0; leaf < 3; ++leaf) {
    const plat::CpuidResult part = plat::Cpuid(0x80000002u + leaf);
    CopyRegister(brand + leaf * 16, part.eax);
    CopyRegister(brand + leaf * 16 + 4, part.ebx);
    CopyRegister(brand + leaf * 16 + 8, part.ecx);
    CopyRegister(brand + leaf * 16 + 12, part.edx);
  }
  const char* start = brand;
  while (*start == ' ') ++start;
  for (char* end = brand + std::strlen(brand); end > start && end[-1] == ' ';) *--end = '\0';
  std::snprintf(gCpuName, sizeof(gCpuName), "%s", start);
  AppendLogFormat(text::kCpuName, gCpuName);
}

// MMX, then SSE on top of it, then SSE2 on top of that: each level needs
// the ones below it.
void ReadInstructionSets(std::uint32_t features) {
  const bool mmx = (features & kMmxBit) != 0;
  const bool sse = mmx && (features & kSseBit) != 0;
  const bool sse2 = sse && (features & kSse2Bit) != 0;
  gMmx = mmx ? 1 : 0;
  gSse = sse ? 1 : 0;
  gSse2 = sse2 ? 1 : 0;
  if (!mmx) {
    AppendLogText(text::kNoMmx);
    return;
  }
  AppendLogText(text::kUsingMmx);
  if (sse) AppendLogText(text::kSseAvailable);
  if (sse2) AppendLogText(text::kSse2Available);
}

void MeasureTimeStampCounter() {
  const std::uint64_t before = plat::ReadTimeStampCounter();
  const std::uint32_t start = plat::timeGetTime();
  while (plat::timeGetTime() - start < kTimeStampMeasureMs) {
  }
  const std::uint64_t after = plat::ReadTimeStampCounter();
  const std::uint64_t ticksPerSecond = (after - before) * (1000u / kTimeStampMeasureMs);
  SetTimeStampCounter(ticksPerSecond != 0 ? 1 : 0, ticksPerSecond);
  AppendLogFormat(text::kCpuSpeed, static_cast<double>(ticksPerSecond) / 1e9);
}

void ReportProcessor() {
  gMmx = gSse = gSse2 = 0;
  gCpuVendor[0] = gCpuName[0] = '\0';
  SetTimeStampCounter(0, 0);
  if (!plat::HasCpuid()) {
    AppendLogText(text::kNoCpuid);
    return;
  }
  ReadCpuNames();
  if (plat::Cpuid(0).eax < 1) {
    ReadInstructionSets(0);
    return;
  }
  const std::uint32_t features = plat::Cpuid(1).edx;
  ReadInstructionSets(features);
  if ((features & kTimeStampBit) != 0 && plat::HasTimeStampCounter()) MeasureTimeStampCounter();
}

void ReportMemory() {
  plat::MemoryStatus memory{};
  if (!plat::GlobalMemoryStatusEx(&memory)) return;
  constexpr std::uint64_t kMegabyte = 1024u * 1024u;
  AppendLogFormat(text::kMemoryStatus, static_cast<unsigned long long>(memory.totalPhysical / kMegabyte),
                  static_cast<unsigned long long>(memory.availablePhysical / kMegabyte));
}

void ReportOs() {
  plat::OsVersion version{};
  if (!plat::GetOsVersion(&version)) std::memset(&version, 0, sizeof(version));
  version.servicePack[sizeof(version.servicePack) - 1] = '\0';
  version.description[sizeof(version.description) - 1] = '\0';
  const OsVersionInfo info{version.platformId, version.majorVersion, version.minorVersion, version.servicePack};
  gOsCode = OsCodeFromVersion(info, gOsText, sizeof(gOsText));
  // The stand-in names the real system; say that rather than a Windows name.
  if (version.description[0] != '\0') std::snprintf(gOsText, sizeof(gOsText), "%s", version.description);
  AppendLogText(text::kOsHeading);
  AppendLogFormat("%s ( Build %d %s )", gOsText, static_cast<int>(version.buildNumber), version.servicePack);
}

void BeginTimerPeriod() {
  plat::TimerCaps caps{};
  if (plat::timeGetDevCaps(&caps, sizeof(caps)) != 0) return;
  // A second report (a restarted library) keeps the period it already holds.
  if (gTimerPeriod != 0) return;
  if (plat::timeBeginPeriod(caps.periodMin) == 0) gTimerPeriod = caps.periodMin;
}

}  // namespace

int OsCodeFromVersion(const OsVersionInfo& version, char* text, int textSize) {
  if (text != nullptr && textSize > 0) text[0] = '\0';
  AppendText(text, textSize, "Windows");
  const char* servicePack = version.servicePack != nullptr ? version.servicePack : "";
  const std::uint32_t major = version.majorVersion;
  const std::uint32_t minor = version.minorVersion;
  switch (version.platformId) {
    case plat::VER_PLATFORM_WIN32s:
      AppendText(text, textSize, "3.1");
      return 0;
    case plat::VER_PLATFORM_WIN32_WINDOWS:
      if (minor == 0) {
        AppendText(text, textSize, "95");
        if (servicePack[0] == 'C') AppendText(text, textSize, "OSR2");
        return 1;
      }
      if (minor == 10) {
        AppendText(text, textSize, "98");
        if (servicePack[0] == 'A') AppendText(text, textSize, "SE");
        return 2;
      }
      if (minor == 90) {
        AppendText(text, textSize, "Me");
        return 3;
      }
      return 0;
    case plat::VER_PLATFORM_WIN32_NT:
      if (major <= 3) {
        AppendText(text, textSize, "NT 3.51");
        return 260;
      }
      if (major == 4) {
        AppendText(text, textSize, "4.0");
        return 261;
      }
      if (major == 5 && minor == 0) {
        AppendText(text, textSize, "2000");
        return kOsWindows2000;
      }
      // Versions between the named ones take the code of the one below
      // them, so "2000 or later" branches hold for them too.
      if (major == 5) {
        AppendText(text, textSize, "XP");
        return kOsWindowsXp;
      }
      if (major == 6 && minor == 0) {
        AppendText(text, textSize, "Vista");
        return kOsWindowsVista;
      }
      if (major == 6 && minor == 1) {
        AppendText(text, textSize, "7");
        return kOsWindows7;
      }
      {
        // Newer than the newest the library tells apart: treat as 7.
        char newer[32];
        std::snprintf(newer, sizeof(newer), " NT %u.%u", major, minor);
        AppendText(text, textSize, newer);
      }
      return kOsWindows7;
    default:
      return 0;
  }
}

int ReportSystemInfo() {
  AppendLogText(text::kSystemReportStart);
  IncreaseLogIndent();
  char line[128];
  FormatString(line, sizeof(line), text::kLibraryVersion, kLibraryVersionText);
  AppendLogText(line);
  gProcessorCount = static_cast<int>(plat::GetLogicalProcessorCount());
  if (gProcessorCount < 1) gProcessorCount = 1;
  AppendLogFormat(text::kProcessorCount, gProcessorCount);
  ReportMemory();
  ReportOs();
  BeginTimerPeriod();
  ReportProcessor();
  DecreaseLogIndent();
  return 0;
}

int EndSystemTimerPeriod() {
  if (gTimerPeriod == 0) return 0;
  plat::timeEndPeriod(gTimerPeriod);
  gTimerPeriod = 0;
  return 0;
}

int GetProcessorCount() { return gProcessorCount; }
int GetOsCode() { return gOsCode; }
const char* GetOsText() { return gOsText; }
int GetDirectXLevel() { return kDirectXLevel; }
int GetMmxUsableFlag() { return gMmx; }
int GetSseUsableFlag() { return gSse; }
int GetSse2UsableFlag() { return gSse2; }
const char* GetCpuVendor() { return gCpuVendor; }
const char* GetCpuName() { return gCpuName; }

int TestCpuMmxFeature() {
  if (!plat::HasCpuid() || plat::Cpuid(0).eax < 1) return 0;
  return (plat::Cpuid(1).edx & kMmxBit) != 0 ? 1 : 0;
}

}  // namespace qz
