// The system report on an injected machine (its log lines, kept flags and the
// measured counter), the OS table, and the report on the real machine.
#include "core/system_info.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/clock.h"
#include "core/log_text.h"
#include "platform/clock.h"
#include "platform/system_info.h"
#include "support/scratch_log.h"

namespace {

std::uint32_t gFeatureEdx = 0;
std::uint32_t gHighestExtendedLeaf = 0x80000004u;

std::uint32_t Pack(const char* text) {
  std::uint32_t value = 0;
  std::memcpy(&value, text, 4);
  return value;
}

plat::CpuidResult FakeCpuid(std::uint32_t leaf) {
  static const char kBrand[49] = "  Test Processor 9000 @ 3.00GHz                 ";
  switch (leaf) {
    case 0:
      return {1, Pack("Genu"), Pack("ntel"), Pack("ineI")};
    case 1:
      return {0, 0, 0, gFeatureEdx};
    case 0x80000000u:
      return {gHighestExtendedLeaf, 0, 0, 0};
    case 0x80000002u:
    case 0x80000003u:
    case 0x80000004u: {
      const char* part = kBrand + (leaf - 0x80000002u) * 16;
      return {Pack(part), Pack(part + 4), Pack(part + 8), Pack(part + 12)};
    }
    default:
      return {0, 0, 0, 0};
  }
}

plat::SystemSource MakeSource(std::uint32_t featureEdx, bool hasCpuid) {
  gFeatureEdx = featureEdx;
  plat::SystemSource source{};
  source.processorCount = 4;
  source.os.majorVersion = 6;
  source.os.minorVersion = 1;
  source.os.buildNumber = 0;
  source.os.platformId = plat::VER_PLATFORM_WIN32_NT;
  std::snprintf(source.os.description, sizeof(source.os.description), "Linux 6.1.0");
  source.hasCpuid = hasCpuid;
  source.cpuid = FakeCpuid;
  source.hasTimeStampCounter = true;
  return source;
}

// An injected machine on the virtual clock (the 100 ms measurement runs at
// once); the real machine and a clean counter state come back afterwards.
class FakeMachine : public ::testing::Test {
 protected:
  void SetUp() override { plat::UseVirtualTime(true); }
  void TearDown() override {
    plat::SetSystemSourceForTest(nullptr);
    qz::SetTimeStampCounter(0, 0);
    qz::EndSystemTimerPeriod();
    plat::UseVirtualTime(false);
  }
  int Report(const plat::SystemSource& source) {
    source_ = source;
    plat::SetSystemSourceForTest(&source_);
    return qz::ReportSystemInfo();
  }

  qz::testing::ScratchLog log_;
  plat::SystemSource source_{};
};

std::string Formatted(const char* format, int value) {
  char line[128];
  std::snprintf(line, sizeof(line), format, value);
  return line;
}

constexpr std::uint32_t kMmx = 1u << 23;
constexpr std::uint32_t kSse = 1u << 25;
constexpr std::uint32_t kSse2 = 1u << 26;
constexpr std::uint32_t kTsc = 1u << 4;

TEST_F(FakeMachine, ReportLogsAndKeepsTheMachine) {
  EXPECT_EQ(Report(MakeSource(kMmx | kSse | kSse2 | kTsc, true)), 0);
  EXPECT_EQ(qz::GetProcessorCount(), 4);
  EXPECT_EQ(qz::GetOsCode(), qz::kOsWindows7);
  EXPECT_STREQ(qz::GetOsText(), "Linux 6.1.0");
  EXPECT_EQ(qz::GetDirectXLevel(), 0x70000);
  EXPECT_STREQ(qz::GetCpuVendor(), "GenuineIntel");
  EXPECT_STREQ(qz::GetCpuName(), "Test Processor 9000 @ 3.00GHz");
  EXPECT_EQ(qz::GetMmxUsableFlag(), 1);
  EXPECT_EQ(qz::GetSseUsableFlag(), 1);
  EXPECT_EQ(qz::GetSse2UsableFlag(), 1);
  EXPECT_EQ(qz::TestCpuMmxFeature(), 1);

  const std::string log = log_.Contents();
  EXPECT_TRUE(log_.Contains(qz::text::kSystemReportStart));
  // The report's lines are indented one level.
  EXPECT_NE(log.find(std::string("\t") + Formatted(qz::text::kProcessorCount, 4) + "\r\n"), std::string::npos);
  EXPECT_NE(log.find(std::string(qz::text::kOsHeading) + "Linux 6.1.0 ( Build 0  )\r\n"), std::string::npos);
  EXPECT_NE(log.find(std::string(qz::text::kCpuVendor) + "GenuineIntel\r\n"), std::string::npos);
  EXPECT_TRUE(log_.Contains(qz::text::kUsingMmx));
  EXPECT_TRUE(log_.Contains(qz::text::kSseAvailable));
  EXPECT_TRUE(log_.Contains(qz::text::kSse2Available));
  EXPECT_FALSE(log_.Contains(qz::text::kNoMmx));

  if (plat::HasTimeStampCounter()) {
    // The virtual processor runs at 3 GHz; the 100 ms window is read on a
    // millisecond counter, so it may be up to 1 ms short.
    EXPECT_EQ(qz::IsTimeStampCounterUsable(), 1);
    const std::uint64_t frequency = qz::GetTimeStampCounterFrequency();
    EXPECT_GE(frequency, 2960000000ull);
    EXPECT_LE(frequency, 3010000000ull);
    char speed[64];
    std::snprintf(speed, sizeof(speed), qz::text::kCpuSpeed, static_cast<double>(frequency) / 1e9);
    EXPECT_TRUE(log_.Contains(std::string(speed) + "\n"));
  }
}

// Each set counts only on top of the one before it, and nothing counts
// without cpuid.
TEST_F(FakeMachine, InstructionSetsBuildOnEachOther) {
  const struct {
    std::uint32_t edx;
    bool hasCpuid;
    int mmx, sse, sse2;
  } cases[] = {
      {kSse | kSse2, true, 0, 0, 0},
      {kMmx | kSse2, true, 1, 0, 0},
      {kMmx | kSse, true, 1, 1, 0},
      {kMmx | kSse | kSse2 | kTsc, false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.edx << (c.hasCpuid ? "" : " without cpuid"));
    EXPECT_EQ(Report(MakeSource(c.edx, c.hasCpuid)), 0);
    EXPECT_EQ(qz::GetMmxUsableFlag(), c.mmx);
    EXPECT_EQ(qz::GetSseUsableFlag(), c.sse);
    EXPECT_EQ(qz::GetSse2UsableFlag(), c.sse2);
    EXPECT_EQ(qz::TestCpuMmxFeature(), c.mmx);
    // Without the counter bit, or without cpuid to read it, nothing is measured.
    EXPECT_EQ(qz::IsTimeStampCounterUsable(), 0);
  }
  EXPECT_TRUE(log_.Contains(qz::text::kNoMmx));
  EXPECT_TRUE(log_.Contains(qz::text::kNoCpuid));
  EXPECT_STREQ(qz::GetCpuVendor(), "");
  EXPECT_EQ(qz::GetDirectXLevel(), 0x70000);

  // No brand leaves: the name stays empty.
  gHighestExtendedLeaf = 0x80000001u;
  Report(MakeSource(kMmx, true));
  gHighestExtendedLeaf = 0x80000004u;
  EXPECT_STREQ(qz::GetCpuName(), "");
  EXPECT_STREQ(qz::GetCpuVendor(), "GenuineIntel");
}

TEST_F(FakeMachine, TimerPeriodIsHeldOnce) {
  const std::uint32_t before = plat::GetTimerPeriodBalance();
  Report(MakeSource(kMmx, true));
  EXPECT_EQ(plat::GetTimerPeriodBalance(), before + 1);
  Report(MakeSource(kMmx, true));
  EXPECT_EQ(plat::GetTimerPeriodBalance(), before + 1);
  qz::EndSystemTimerPeriod();
  EXPECT_EQ(plat::GetTimerPeriodBalance(), before);
  qz::EndSystemTimerPeriod();
  EXPECT_EQ(plat::GetTimerPeriodBalance(), before);
}

struct OsRow {
  std::uint32_t platformId, major, minor;
  const char* servicePack;
  int code;
  const char* text;
};

TEST(SystemOsTable, CodesAndTexts) {
  const OsRow rows[] = {
      {plat::VER_PLATFORM_WIN32s, 3, 10, "", 0, "Windows3.1"},
      {plat::VER_PLATFORM_WIN32_WINDOWS, 4, 0, "", 1, "Windows95"},
      {plat::VER_PLATFORM_WIN32_WINDOWS, 4, 0, "C", 1, "Windows95OSR2"},
      {plat::VER_PLATFORM_WIN32_WINDOWS, 4, 10, "", 2, "Windows98"},
      {plat::VER_PLATFORM_WIN32_WINDOWS, 4, 10, "A ", 2, "Windows98SE"},
      {plat::VER_PLATFORM_WIN32_WINDOWS, 4, 90, "", 3, "WindowsMe"},
      {plat::VER_PLATFORM_WIN32_WINDOWS, 4, 50, "", 0, "Windows"},
      {plat::VER_PLATFORM_WIN32_NT, 3, 51, "", 260, "WindowsNT 3.51"},
      {plat::VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6", 261, "Windows4.0"},
      {plat::VER_PLATFORM_WIN32_NT, 5, 0, "", 262, "Windows2000"},
      {plat::VER_PLATFORM_WIN32_NT, 5, 1, "Service Pack 3", 263, "WindowsXP"},
      {plat::VER_PLATFORM_WIN32_NT, 5, 2, "", 263, "WindowsXP"},
      {plat::VER_PLATFORM_WIN32_NT, 6, 0, "", 264, "WindowsVista"},
      {plat::VER_PLATFORM_WIN32_NT, 6, 1, "", 265, "Windows7"},
      // Newer versions keep the newest code instead of falling to 0.
      {plat::VER_PLATFORM_WIN32_NT, 6, 2, "", 265, "Windows NT 6.2"},
      {plat::VER_PLATFORM_WIN32_NT, 10, 0, "", 265, "Windows NT 10.0"},
      {7, 1, 0, "", 0, "Windows"},
  };
  for (const OsRow& row : rows) {
    char text[64] = "junk";
    const qz::OsVersionInfo info{row.platformId, row.major, row.minor, row.servicePack};
    EXPECT_EQ(qz::OsCodeFromVersion(info, text, sizeof(text)), row.code) << row.text;
    EXPECT_STREQ(text, row.text);
  }
  // A small or missing buffer gets what fits; a missing service text is empty.
  char small[5];
  const qz::OsVersionInfo xp{plat::VER_PLATFORM_WIN32_NT, 5, 1, nullptr};
  EXPECT_EQ(qz::OsCodeFromVersion(xp, small, sizeof(small)), 263);
  EXPECT_STREQ(small, "Wind");
  EXPECT_EQ(qz::OsCodeFromVersion(xp, nullptr, 0), 263);
}

TEST(SystemReport, RealMachine) {
  qz::testing::ScratchLog log;
  plat::UseVirtualTime(true);
  EXPECT_EQ(qz::ReportSystemInfo(), 0);
  plat::UseVirtualTime(false);
  qz::SetTimeStampCounter(0, 0);
  qz::EndSystemTimerPeriod();
  EXPECT_GE(qz::GetProcessorCount(), 1);
  EXPECT_EQ(qz::GetOsCode(), qz::kOsWindows7);
  EXPECT_EQ(std::string(qz::GetOsText()).rfind("Linux", 0), 0u) << qz::GetOsText();
  EXPECT_TRUE(log.Contains(Formatted(qz::text::kProcessorCount, qz::GetProcessorCount())));
#if defined(__x86_64__)
  EXPECT_EQ(qz::GetMmxUsableFlag(), 1);
  EXPECT_EQ(qz::GetSseUsableFlag(), 1);
  EXPECT_EQ(qz::GetSse2UsableFlag(), 1);
  EXPECT_EQ(qz::TestCpuMmxFeature(), 1);
  EXPECT_EQ(std::strlen(qz::GetCpuVendor()), 12u);
#endif
}

}  // namespace
