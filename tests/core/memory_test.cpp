// Tests of the tracked allocator: header contents, realloc, corruption and
// double-free handling, the dump and block-line format, the log rule, and
// many threads sharing the one list.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/memory_header.h"

namespace qz {
namespace {

// Log output on into a scratch folder, the log emptied; restores the log and
// the allocator options afterwards.
class TrackedMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qz_memory_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    previousFolder_ = GetLogFolder();
    previousEnabled_ = IsLogOutputEnabled();
    previousOptions_ = GetTrackedMemoryOptions();
    SetTrackedMemoryOptions({0, 0, 0, 0});
    SetLogOutputEnabled(1);
    SetLogFolder(folder_.c_str());
    StartLogFile();
    baseCount_ = GetTrackedBlockCount();
    baseBytes_ = GetTrackedByteTotal();
  }

  void TearDown() override {
    SetTrackedMemoryOptions(previousOptions_);
    StartLogFile();
    SetLogFolder(previousFolder_.c_str());
    SetLogOutputEnabled(previousEnabled_);
    std::remove((folder_ + "/Log.txt").c_str());
    rmdir(folder_.c_str());
  }

  std::string Log() const {
    std::ifstream file(folder_ + "/Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  void ClearLog() { StartLogFile(); }
  // The log with every line-start stamp "<digits>:" written as "N:".
  std::string Stamped() const {
    const std::string log = Log();
    std::string out;
    std::size_t i = 0;
    while (i < log.size()) {
      std::size_t digits = i;
      while (digits < log.size() && log[digits] >= '0' && log[digits] <= '9') ++digits;
      if (digits > i && digits < log.size() && log[digits] == ':') {
        out += "N";
        i = digits;
      }
      const std::size_t end = log.find('\n', i);
      const std::size_t next = end == std::string::npos ? log.size() : end + 1;
      out += log.substr(i, next - i);
      i = next;
    }
    return out;
  }
  static std::string Crlf(std::string text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  }

  std::string folder_;
  std::string previousFolder_;
  int previousEnabled_ = 1;
  TrackedMemoryOptions previousOptions_{};
  int baseCount_ = 0;
  std::int64_t baseBytes_ = 0;
};

TEST_F(TrackedMemoryTest, HeaderRecordsTagLineSizeAndWrappingId) {
  void* longName = AllocTracked(8, "0123456789_abcde.cpp", 77);
  ASSERT_NE(longName, nullptr);
  const TrackedBlockHeader* header = TrackedHeaderOf(longName);
  EXPECT_STREQ(header->tag, "56789_abcde.cpp");
  EXPECT_EQ(header->line, 77);
  EXPECT_EQ(header->size, 8u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(longName) % 16, 0u);

  void* noName = AllocTracked(1, nullptr, 1);
  void* exact = AllocTracked(1, "fifteen_chars.c", 2);
  ASSERT_NE(noName, nullptr);
  ASSERT_NE(exact, nullptr);
  EXPECT_STREQ(TrackedHeaderOf(noName)->tag, "");
  EXPECT_STREQ(TrackedHeaderOf(exact)->tag, "fifteen_chars.c");
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_ + 3);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_ + 10);
  FreeTracked(exact);
  FreeTracked(noName);
  FreeTracked(longName);

  void* first = AllocTracked(4, "wrap.cpp", 1);
  ASSERT_NE(first, nullptr);
  const std::uint16_t firstId = TrackedHeaderOf(first)->id;
  for (int i = 0; i < 65535; ++i) FreeTracked(AllocTracked(4, "wrap.cpp", 1));
  void* wrapped = AllocTracked(4, "wrap.cpp", 1);
  ASSERT_NE(wrapped, nullptr);
  EXPECT_EQ(TrackedHeaderOf(wrapped)->id, firstId);
  FreeTracked(wrapped);
  FreeTracked(first);
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_);
}

TEST_F(TrackedMemoryTest, ZeroedAllocAndReallocKeepOldBytesAndZeroTheRest) {
  auto* zeroed = static_cast<unsigned char*>(AllocTrackedZeroed(64, "zero.cpp", 3));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(zeroed[i], 0) << i;
  FreeTracked(zeroed);

  auto* fresh = static_cast<unsigned char*>(ReallocTracked(nullptr, 100, "fresh.cpp", 9));
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(TrackedHeaderOf(fresh)->size, 100u);
  EXPECT_STREQ(TrackedHeaderOf(fresh)->tag, "fresh.cpp");
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_ + 100);

  std::memset(fresh, 0xAB, 100);
  void* neighbour = AllocTracked(16, "neighbour.cpp", 1);  // makes a move likely
  const std::uint16_t oldId = TrackedHeaderOf(fresh)->id;
  auto* grown = static_cast<unsigned char*>(ReallocTracked(fresh, 5000, "grow.cpp", 10));
  ASSERT_NE(grown, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(grown[i], 0xAB) << i;
  for (int i = 100; i < 5000; ++i) ASSERT_EQ(grown[i], 0) << i;
  const TrackedBlockHeader* header = TrackedHeaderOf(grown);
  EXPECT_EQ(header->size, 5000u);
  EXPECT_EQ(header->line, 10);
  EXPECT_STREQ(header->tag, "grow.cpp");
  EXPECT_NE(header->id, oldId);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_ + 5016);
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_ + 2);
  EXPECT_EQ(CheckTrackedAllocs(), 0);  // neighbours were re-linked to the moved header

  auto* shrunk = static_cast<unsigned char*>(ReallocTracked(grown, 10, "shrink.cpp", 11));
  ASSERT_NE(shrunk, nullptr);
  EXPECT_EQ(shrunk[9], 0xAB);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_ + 26);
  FreeTracked(neighbour);
  EXPECT_EQ(CheckTrackedAllocs(), 0);
  FreeTracked(shrunk);
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_);
}

TEST_F(TrackedMemoryTest, BadInputIsRefusedWithALogLine) {
  FreeTracked(nullptr);
  EXPECT_EQ(Log(), "");

  const std::size_t tooLarge = std::size_t{1} << 33;
  EXPECT_EQ(AllocTracked(tooLarge, "big.cpp", 1), nullptr);
  EXPECT_EQ(AllocTrackedZeroed(tooLarge, "big.cpp", 1), nullptr);
  void* block = AllocTracked(4, "keep.cpp", 1);
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "keep", 4);
  EXPECT_EQ(ReallocTracked(block, tooLarge, "big.cpp", 1), nullptr);
  EXPECT_EQ(std::memcmp(block, "keep", 4), 0);
  EXPECT_EQ(TrackedHeaderOf(block)->size, 4u);
  char expected[160];
  std::snprintf(expected, sizeof(expected), text::kTrackedSizeTooLarge, tooLarge);
  EXPECT_NE(Log().find(expected), std::string::npos);

  // A pointer the allocator never gave out is not touched.
  void* foreign = std::malloc(256);
  ClearLog();
  FreeTracked(static_cast<char*>(foreign) + 128);
  EXPECT_EQ(ReallocTracked(static_cast<char*>(foreign) + 128, 8, "x.cpp", 1), nullptr);
  EXPECT_NE(Log().find("addr:"), std::string::npos);
  std::free(foreign);

  // A double free is refused and leaves the list whole.
  void* other = AllocTracked(4, "other.cpp", 1);
  FreeTracked(block);
  const int count = GetTrackedBlockCount();
  ClearLog();
  FreeTracked(block);
  EXPECT_EQ(ReallocTracked(block, 8, "x.cpp", 1), nullptr);
  EXPECT_EQ(GetTrackedBlockCount(), count);
  EXPECT_EQ(CheckTrackedAllocs(), 0);
  char unknown[160];
  std::snprintf(unknown, sizeof(unknown), text::kTrackedUnknownBlock,
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(block)));
  EXPECT_NE(Log().find(unknown), std::string::npos);
  FreeTracked(other);
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_);
}

TEST_F(TrackedMemoryTest, DamagedHeaderIsDetectedAndTheBlockLeftAlone) {
  void* older = AllocTracked(8, "older.cpp", 1);
  void* damaged = AllocTracked(8, "damaged.cpp", 2);
  void* newer = AllocTracked(8, "newer.cpp", 3);
  ASSERT_TRUE(older && damaged && newer);
  TrackedBlockHeader* header = TrackedHeaderOf(damaged);
  EXPECT_EQ(CheckTrackedAllocs(), 0);

  header->size = 12345;  // the copy is not refreshed
  ClearLog();
  EXPECT_EQ(CheckTrackedAllocs(), -1);
  const std::string corrupt = Crlf(text::kTrackedHeaderCorrupt);
  std::string log = Log();
  ASSERT_NE(log.find(corrupt), std::string::npos);
  EXPECT_NE(log.find("file:damaged.cpp"), std::string::npos);

  // Free and realloc refuse it; the block stays listed and counted.
  const int count = GetTrackedBlockCount();
  ClearLog();
  FreeTracked(damaged);
  EXPECT_EQ(ReallocTracked(damaged, 64, "x.cpp", 1), nullptr);
  EXPECT_EQ(GetTrackedBlockCount(), count);
  log = Log();
  EXPECT_NE(log.find(corrupt), std::string::npos);

  // The rest of the list keeps working around it.
  void* later = AllocTracked(32, "later.cpp", 4);
  ASSERT_NE(later, nullptr);
  FreeTracked(newer);
  FreeTracked(older);
  FreeTracked(later);
  EXPECT_EQ(GetTrackedBlockCount(), count - 2);
  EXPECT_EQ(CheckTrackedAllocs(), -1);  // re-linking its neighbours did not hide the damage

  header->size = 8;  // mended: the header matches its copy again
  EXPECT_EQ(CheckTrackedAllocs(), 0);
  FreeTracked(damaged);
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_);
}

TEST_F(TrackedMemoryTest, DumpListsBlocksNewestFirstWithTotals) {
  ClearLog();
  DumpTrackedAllocs();
  std::string log = Stamped();
  char totals[120];
  std::snprintf(totals, sizeof(totals), "N:\tTotal size:%lld(%.3fkb)  Alloc num:%d\r\nN:\r\n",
                static_cast<long long>(baseBytes_), baseBytes_ / 1024.0, baseCount_);
  EXPECT_EQ(log.rfind("N:\r\nN:Alloc memory dump\r\n", 0), 0u) << log;
  EXPECT_EQ(log.substr(log.size() - std::strlen(totals)), totals);
  if (baseCount_ == 0) {
    EXPECT_EQ(log, "N:\r\nN:Alloc memory dump\r\nN:\tTotal size:0(0.000kb)  Alloc num:0\r\nN:\r\n");
  }

  void* empty = AllocTracked(0, "empty_block.cpp", 5);
  auto* abc = static_cast<char*>(AllocTracked(3, "some/dir/dump_source.cpp", 42));
  auto* wide = static_cast<unsigned char*>(AllocTracked(40, "wide.cpp", 7));
  ASSERT_TRUE(empty && abc && wide);
  std::memcpy(abc, "abc", 3);
  for (int i = 0; i < 40; ++i) wide[i] = static_cast<unsigned char>(i == 0 ? 'Z' : i);

  ClearLog();
  DumpTrackedAllocs();
  log = Stamped();
  char line[300];
  std::snprintf(line, sizeof(line),
                "N:\tsize:%10d(%10.3fkb)  file:%-26s  line:%-5d  ID:%-5d  addr:%016llx  data:<abc> [61 62 63]\r\n", 3,
                3 / 1024.0, "dump_source.cpp", 42, TrackedHeaderOf(abc)->id,
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(abc)));
  const std::size_t abcAt = log.find(line);
  EXPECT_NE(abcAt, std::string::npos) << log;
  const std::size_t wideAt = log.find("file:wide.cpp");
  const std::size_t emptyAt = log.find("file:empty_block.cpp");
  EXPECT_LT(wideAt, abcAt);
  EXPECT_LT(abcAt, emptyAt);
  EXPECT_NE(log.find("data:<Z...............> [5a 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f]\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("data:<> ]\r\n", emptyAt), std::string::npos);
  std::snprintf(totals, sizeof(totals), "N:\tTotal size:%lld(%.3fkb)  Alloc num:%d\r\nN:\r\n",
                static_cast<long long>(baseBytes_ + 43), (baseBytes_ + 43) / 1024.0, baseCount_ + 3);
  EXPECT_EQ(log.substr(log.size() - std::strlen(totals)), totals);
  FreeTracked(wide);
  FreeTracked(abc);
  FreeTracked(empty);
}

TEST_F(TrackedMemoryTest, OptionsChooseWhichOperationsAreLogged) {
  void* sized = AllocTracked(5, "rule.cpp", 1);
  void* empty = AllocTracked(0, "rule.cpp", 2);
  std::string log = Log();
  EXPECT_EQ(log.find("size:         5"), std::string::npos);
  EXPECT_NE(log.find("mem alloc  \tsize:         0"), std::string::npos);
  FreeTracked(empty);
  EXPECT_NE(Log().find("mem free  \tsize:         0"), std::string::npos);

  SetTrackedMemoryOptions({0, 7, 0, 0});
  ClearLog();
  sized = ReallocTracked(sized, 7, "rule.cpp", 3);
  EXPECT_NE(Log().find("mem realloc  \tsize:         7"), std::string::npos);

  SetTrackedMemoryOptions({0, -1, 1, 0});
  ClearLog();
  FreeTracked(sized);
  log = Log();
  EXPECT_NE(log.find("mem free  \tsize:         7"), std::string::npos);
  EXPECT_NE(log.find("\tTotal size:"), std::string::npos);

  // With checks after every operation a damaged block is reported by the
  // next unrelated allocation.
  SetTrackedMemoryOptions({0, 0, 0, 1});
  void* damaged = AllocTracked(8, "damaged.cpp", 4);
  TrackedHeaderOf(damaged)->line = 999;
  ClearLog();
  void* next = AllocTracked(8, "next.cpp", 5);
  EXPECT_NE(Log().find(Crlf(text::kTrackedHeaderCorrupt)), std::string::npos);
  TrackedHeaderOf(damaged)->line = 4;
  FreeTracked(next);
  FreeTracked(damaged);

  ClearLog();
  SetLogOutputEnabled(0);
  SetTrackedMemoryOptions({1, 0, 1, 0});
  FreeTracked(AllocTracked(3, "quiet.cpp", 6));
  SetLogOutputEnabled(1);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_);
}

TEST_F(TrackedMemoryTest, ThreadsShareTheListSafely) {
  constexpr int kThreads = 4;
  constexpr int kOperations = 10000;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      std::mt19937 random(1234u + static_cast<unsigned>(t));
      struct Owned {
        unsigned char* bytes;
        std::size_t size;
        unsigned char fill;
      };
      std::vector<Owned> owned;
      auto intact = [](const Owned& o) {
        for (std::size_t i = 0; i < o.size; ++i)
          if (o.bytes[i] != o.fill) return false;
        return true;
      };
      for (int op = 0; op < kOperations; ++op) {
        const unsigned choice = random() % 3;
        if (choice == 0 || owned.empty()) {
          const std::size_t size = random() % 300;
          auto* bytes = static_cast<unsigned char*>(AllocTracked(size, "thread.cpp", t));
          if (bytes == nullptr) {
            ++failures[t];
            continue;
          }
          const auto fill = static_cast<unsigned char>(random());
          std::memset(bytes, fill, size);
          owned.push_back({bytes, size, fill});
        } else {
          const std::size_t index = random() % owned.size();
          Owned& o = owned[index];
          if (!intact(o)) ++failures[t];
          if (choice == 1) {
            const std::size_t size = random() % 600;
            auto* bytes = static_cast<unsigned char*>(ReallocTracked(o.bytes, size, "thread.cpp", t));
            if (bytes == nullptr) {
              ++failures[t];
              continue;
            }
            std::memset(bytes, o.fill, size);
            o = {bytes, size, o.fill};
          } else {
            FreeTracked(o.bytes);
            owned[index] = owned.back();
            owned.pop_back();
          }
        }
      }
      for (const Owned& o : owned) {
        if (!intact(o)) ++failures[t];
        FreeTracked(o.bytes);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << t;
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_);
  EXPECT_EQ(CheckTrackedAllocs(), 0);
}

}  // namespace
}  // namespace qz
