// The real machine as the stand-in reports it: processor count from sysconf,
// NT 6.1 with the kernel release as its description, CPUID through the
// compiler's intrinsic on x86, memory from /proc via sysinfo.
#include "platform/system_info.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define PLAT_HAS_CPUID 1
#else
#define PLAT_HAS_CPUID 0
#endif

namespace plat {
namespace {

std::atomic<const SystemSource*> gSource{nullptr};

void CopyText(char* destination, std::size_t size, const char* source) {
  std::snprintf(destination, size, "%s", source);
}

}  // namespace

std::uint32_t GetLogicalProcessorCount() {
  if (const SystemSource* source = GetSystemSourceForTest()) return source->processorCount;
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<std::uint32_t>(count) : 1u;
}

bool GetOsVersion(OsVersion* version) {
  if (version == nullptr) return false;
  if (const SystemSource* source = GetSystemSourceForTest()) {
    *version = source->os;
    return true;
  }
  std::memset(version, 0, sizeof(*version));
  version->majorVersion = 6;
  version->minorVersion = 1;
  version->buildNumber = 0;
  version->platformId = VER_PLATFORM_WIN32_NT;
  utsname name{};
  if (uname(&name) == 0) {
    const std::string description = std::string(name.sysname) + " " + name.release;
    CopyText(version->description, sizeof(version->description), description.c_str());
  } else {
    CopyText(version->description, sizeof(version->description), "Linux");
  }
  return true;
}

bool HasCpuid() {
  if (const SystemSource* source = GetSystemSourceForTest()) return source->hasCpuid;
  return PLAT_HAS_CPUID != 0;
}

CpuidResult Cpuid(std::uint32_t leaf) {
  if (const SystemSource* source = GetSystemSourceForTest()) {
    if (!source->hasCpuid || source->cpuid == nullptr) return CpuidResult{0, 0, 0, 0};
    return source->cpuid(leaf);
  }
  CpuidResult result{0, 0, 0, 0};
#if PLAT_HAS_CPUID
  // The extended range has its own maximum; ask past it and the answer is junk.
  const unsigned int highest = __get_cpuid_max(leaf & 0x80000000u, nullptr);
  if (highest == 0 || leaf > highest) return result;
  __cpuid_count(leaf, 0, result.eax, result.ebx, result.ecx, result.edx);
#else
  (void)leaf;
#endif
  return result;
}

bool GlobalMemoryStatusEx(MemoryStatus* status) {
  if (status == nullptr) return false;
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return false;
  const std::uint64_t unit = info.mem_unit == 0 ? 1u : info.mem_unit;
  status->totalPhysical = static_cast<std::uint64_t>(info.totalram) * unit;
  status->availablePhysical = static_cast<std::uint64_t>(info.freeram + info.bufferram) * unit;
  status->totalVirtual = status->totalPhysical + static_cast<std::uint64_t>(info.totalswap) * unit;
  status->availableVirtual = status->availablePhysical + static_cast<std::uint64_t>(info.freeswap) * unit;
  status->memoryLoad =
      status->totalPhysical == 0
          ? 0u
          : static_cast<std::uint32_t>(100u - status->availablePhysical * 100u / status->totalPhysical);
  return true;
}

void SetSystemSourceForTest(const SystemSource* source) { gSource.store(source, std::memory_order_release); }

const SystemSource* GetSystemSourceForTest() { return gSource.load(std::memory_order_acquire); }

}  // namespace plat
