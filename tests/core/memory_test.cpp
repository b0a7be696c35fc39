// Tests of the tracked allocator: header contents, realloc, corruption and
// double-free handling, the dump and block-line format, the log rule, and
// many threads sharing the one list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/log_text.h"
#include "core/memory.h"
#include "core/memory_header.h"
#include "support/scratch_log.h"

namespace qz {
namespace {

std::string Crlf(const char* text) {
  std::string out;
  for (; *text != '\0'; ++text) out += *text == '\n' ? std::string("\r\n") : std::string(1, *text);
  return out;
}

std::string Formatted(const char* format, unsigned long long value) {
  char line[200];
  std::snprintf(line, sizeof(line), format, value);
  return line;
}

// The allocator options reset; counts measured against the blocks already live.
class TrackedMemoryTest : public testing::ScratchLogTest {
 protected:
  void SetUp() override {
    ScratchLogTest::SetUp();
    previousOptions_ = GetTrackedMemoryOptions();
    SetTrackedMemoryOptions({0, 0, 0, 0});
    baseCount_ = GetTrackedBlockCount();
    baseBytes_ = GetTrackedByteTotal();
  }
  void TearDown() override {
    SetTrackedMemoryOptions(previousOptions_);
    EXPECT_EQ(GetTrackedBlockCount(), baseCount_);
    EXPECT_EQ(GetTrackedByteTotal(), baseBytes_);
    EXPECT_EQ(CheckTrackedAllocs(), 0);
    ScratchLogTest::TearDown();
  }

  TrackedMemoryOptions previousOptions_{};
  int baseCount_ = 0;
  std::int64_t baseBytes_ = 0;
};

TEST_F(TrackedMemoryTest, HeaderRecordsTagLineSizeAndWrappingId) {
  void* longName = AllocTracked(8, "0123456789_abcde.cpp", 77);
  void* noName = AllocTracked(1, nullptr, 1);
  void* exact = AllocTracked(1, "fifteen_chars.c", 2);
  ASSERT_TRUE(longName && noName && exact);
  const TrackedBlockHeader* header = TrackedHeaderOf(longName);
  EXPECT_STREQ(header->tag, "56789_abcde.cpp");
  EXPECT_EQ(header->line, 77);
  EXPECT_EQ(header->size, 8u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(longName) % 16, 0u);
  EXPECT_STREQ(TrackedHeaderOf(noName)->tag, "");
  EXPECT_STREQ(TrackedHeaderOf(exact)->tag, "fifteen_chars.c");
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_ + 3);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_ + 10);
  FreeTracked(exact);
  FreeTracked(noName);
  FreeTracked(longName);

  void* first = AllocTracked(4, "wrap.cpp", 1);
  for (int i = 0; i < 65535; ++i) FreeTracked(AllocTracked(4, "wrap.cpp", 1));
  void* wrapped = AllocTracked(4, "wrap.cpp", 1);
  ASSERT_TRUE(first && wrapped);
  EXPECT_EQ(TrackedHeaderOf(wrapped)->id, TrackedHeaderOf(first)->id);
  FreeTracked(wrapped);
  FreeTracked(first);
}

TEST_F(TrackedMemoryTest, ReallocKeepsOldBytesZeroesTheRestAndMovesTotals) {
  auto* zeroed = static_cast<unsigned char*>(AllocTrackedZeroed(64, "zero.cpp", 3));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(zeroed[i], 0) << i;
  FreeTracked(zeroed);

  auto* bytes = static_cast<unsigned char*>(ReallocTracked(nullptr, 100, "fresh.cpp", 9));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(TrackedHeaderOf(bytes)->size, 100u);
  std::memset(bytes, 0xAB, 100);
  void* neighbour = AllocTracked(16, "neighbour.cpp", 1);  // makes a move likely
  const std::uint16_t oldId = TrackedHeaderOf(bytes)->id;
  bytes = static_cast<unsigned char*>(ReallocTracked(bytes, 5000, "grow.cpp", 10));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(bytes[i], i < 100 ? 0xAB : 0) << i;
  const TrackedBlockHeader* header = TrackedHeaderOf(bytes);
  EXPECT_EQ(header->size, 5000u);
  EXPECT_EQ(header->line, 10);
  EXPECT_STREQ(header->tag, "grow.cpp");
  EXPECT_NE(header->id, oldId);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_ + 5016);
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_ + 2);
  EXPECT_EQ(CheckTrackedAllocs(), 0);  // the neighbour was re-linked to the moved header

  bytes = static_cast<unsigned char*>(ReallocTracked(bytes, 10, "shrink.cpp", 11));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[9], 0xAB);
  EXPECT_EQ(GetTrackedByteTotal(), baseBytes_ + 26);
  FreeTracked(neighbour);
  FreeTracked(bytes);
}

TEST_F(TrackedMemoryTest, BadSizesForeignPointersAndDoubleFreesAreRefused) {
  FreeTracked(nullptr);
  EXPECT_EQ(Log(), "");

  const std::size_t tooLarge = std::size_t{1} << 33;
  EXPECT_EQ(AllocTracked(tooLarge, "big.cpp", 1), nullptr);
  void* block = AllocTracked(4, "keep.cpp", 1);
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "keep", 4);
  EXPECT_EQ(ReallocTracked(block, tooLarge, "big.cpp", 1), nullptr);
  EXPECT_EQ(std::memcmp(block, "keep", 4), 0);
  EXPECT_EQ(TrackedHeaderOf(block)->size, 4u);
  EXPECT_NE(Log().find(Formatted(text::kTrackedSizeTooLarge, tooLarge)), std::string::npos);

  // Neither a pointer never handed out nor a freed one is touched.
  void* foreign = std::malloc(256);
  FreeTracked(static_cast<char*>(foreign) + 128);
  EXPECT_EQ(ReallocTracked(static_cast<char*>(foreign) + 128, 8, "x.cpp", 1), nullptr);
  std::free(foreign);
  void* other = AllocTracked(4, "other.cpp", 1);
  FreeTracked(block);
  FreeTracked(block);
  EXPECT_EQ(ReallocTracked(block, 8, "x.cpp", 1), nullptr);
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_ + 1);
  EXPECT_EQ(CheckTrackedAllocs(), 0);
  EXPECT_NE(Log().find(Formatted(text::kTrackedUnknownBlock, reinterpret_cast<std::uintptr_t>(block))),
            std::string::npos);
  FreeTracked(other);
}

TEST_F(TrackedMemoryTest, DamagedHeaderIsReportedAndTheBlockLeftAlone) {
  void* older = AllocTracked(8, "older.cpp", 1);
  void* damaged = AllocTracked(8, "damaged.cpp", 2);
  void* newer = AllocTracked(8, "newer.cpp", 3);
  ASSERT_TRUE(older && damaged && newer);
  TrackedHeaderOf(damaged)->size = 12345;  // the copy is not refreshed
  EXPECT_EQ(CheckTrackedAllocs(), -1);
  const std::string corrupt = Crlf(text::kTrackedHeaderCorrupt);
  EXPECT_NE(Log().find(corrupt), std::string::npos);
  EXPECT_NE(Log().find("file:damaged.cpp"), std::string::npos);

  // Free and realloc refuse it, and the rest of the list keeps working.
  StartLogFile();
  FreeTracked(damaged);
  EXPECT_EQ(ReallocTracked(damaged, 64, "x.cpp", 1), nullptr);
  EXPECT_NE(Log().find(corrupt), std::string::npos);
  FreeTracked(AllocTracked(32, "later.cpp", 4));
  FreeTracked(newer);
  FreeTracked(older);
  EXPECT_EQ(GetTrackedBlockCount(), baseCount_ + 1);
  EXPECT_EQ(CheckTrackedAllocs(), -1);  // re-linking its neighbours did not hide the damage

  TrackedHeaderOf(damaged)->size = 8;  // mended: the header matches its copy again
  FreeTracked(damaged);
}

TEST_F(TrackedMemoryTest, DumpListsBlocksNewestFirstWithTotals) {
  auto totals = [](std::int64_t bytes, int count) {
    char line[120];
    std::snprintf(line, sizeof(line), "N:\tTotal size:%lld(%.3fkb)  Alloc num:%d\r\nN:\r\n",
                  static_cast<long long>(bytes), bytes / 1024.0, count);
    return std::string(line);
  };
  DumpTrackedAllocs();
  std::string log = Stamped();
  EXPECT_EQ(log.rfind("N:\r\nN:Alloc memory dump\r\n", 0), 0u) << log;
  EXPECT_TRUE(log.ends_with(totals(baseBytes_, baseCount_))) << log;
  if (baseCount_ == 0) {
    EXPECT_EQ(log, "N:\r\nN:Alloc memory dump\r\nN:\tTotal size:0(0.000kb)  Alloc num:0\r\nN:\r\n");
  }

  void* empty = AllocTracked(0, "empty_block.cpp", 5);
  auto* abc = static_cast<char*>(AllocTracked(3, "some/dir/dump_source.cpp", 42));
  auto* wide = static_cast<unsigned char*>(AllocTracked(40, "wide.cpp", 7));
  ASSERT_TRUE(empty && abc && wide);
  std::memcpy(abc, "abc", 3);
  for (int i = 0; i < 40; ++i) wide[i] = static_cast<unsigned char>(i == 0 ? 'Z' : i);
  StartLogFile();
  DumpTrackedAllocs();
  log = Stamped();
  char line[300];
  std::snprintf(line, sizeof(line),
                "N:\tsize:%10d(%10.3fkb)  file:%-26s  line:%-5d  ID:%-5d  addr:%016llx  data:<abc> [61 62 63]\r\n", 3,
                3 / 1024.0, "dump_source.cpp", 42, TrackedHeaderOf(abc)->id,
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(abc)));
  const std::size_t wideAt = log.find("file:wide.cpp");
  const std::size_t abcAt = log.find(line);
  const std::size_t emptyAt = log.find("file:empty_block.cpp");
  EXPECT_NE(abcAt, std::string::npos) << log;
  EXPECT_LT(wideAt, abcAt);
  EXPECT_LT(abcAt, emptyAt);
  EXPECT_NE(log.find("data:<Z...............> [5a 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f]\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("data:<> ]\r\n", emptyAt), std::string::npos);
  EXPECT_TRUE(log.ends_with(totals(baseBytes_ + 43, baseCount_ + 3)));
  FreeTracked(wide);
  FreeTracked(abc);
  FreeTracked(empty);
}

TEST_F(TrackedMemoryTest, OptionsChooseWhichOperationsAreLogged) {
  void* sized = AllocTracked(5, "rule.cpp", 1);
  FreeTracked(AllocTracked(0, "rule.cpp", 2));
  std::string log = Log();
  EXPECT_EQ(log.find("size:         5"), std::string::npos);
  EXPECT_NE(log.find("mem alloc  \tsize:         0"), std::string::npos);
  EXPECT_NE(log.find("mem free  \tsize:         0"), std::string::npos);

  SetTrackedMemoryOptions({0, 7, 0, 0});
  sized = ReallocTracked(sized, 7, "rule.cpp", 3);
  EXPECT_NE(Log().find("mem realloc  \tsize:         7"), std::string::npos);
  SetTrackedMemoryOptions({0, -1, 1, 0});
  FreeTracked(sized);
  EXPECT_NE(Log().find("mem free  \tsize:         7"), std::string::npos);
  EXPECT_NE(Log().find("\tTotal size:"), std::string::npos);

  // Checking after every operation reports a damaged block at the next
  // unrelated allocation.
  SetTrackedMemoryOptions({0, 0, 0, 1});
  void* damaged = AllocTracked(8, "damaged.cpp", 4);
  TrackedHeaderOf(damaged)->line = 999;
  StartLogFile();
  void* next = AllocTracked(8, "next.cpp", 5);
  EXPECT_NE(Log().find(Crlf(text::kTrackedHeaderCorrupt)), std::string::npos);
  TrackedHeaderOf(damaged)->line = 4;
  FreeTracked(next);
  FreeTracked(damaged);

  // With log output off nothing is written, whatever the options.
  StartLogFile();
  SetLogOutputEnabled(0);
  SetTrackedMemoryOptions({1, 0, 1, 0});
  FreeTracked(AllocTracked(3, "quiet.cpp", 6));
  EXPECT_EQ(Log(), "");
}

TEST_F(TrackedMemoryTest, ThreadsShareTheListSafely) {
  constexpr int kThreads = 4;
  std::vector<int> damagedBytes(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &damagedBytes] {
      struct Owned {
        unsigned char* bytes;
        std::size_t size;
        unsigned char fill;
      };
      auto damaged = [](const Owned& o) {
        for (std::size_t i = 0; i < o.size; ++i)
          if (o.bytes[i] != o.fill) return 1;
        return 0;
      };
      std::mt19937 random(1234u + static_cast<unsigned>(t));
      std::vector<Owned> owned;
      for (int op = 0; op < 10000; ++op) {
        const unsigned choice = owned.empty() ? 0 : random() % 3;
        const std::size_t index = owned.empty() ? 0 : random() % owned.size();
        const std::size_t size = random() % 600;
        const auto fill = static_cast<unsigned char>(random());
        if (choice == 0) {
          owned.push_back({static_cast<unsigned char*>(AllocTracked(size, "thread.cpp", t)), size, fill});
        } else if (choice == 1) {
          damagedBytes[t] += damaged(owned[index]);
          owned[index] = {static_cast<unsigned char*>(ReallocTracked(owned[index].bytes, size, "thread.cpp", t)),
                          size, fill};
        } else {
          damagedBytes[t] += damaged(owned[index]);
          FreeTracked(owned[index].bytes);
          owned[index] = owned.back();
          owned.pop_back();
          continue;
        }
        Owned& o = choice == 0 ? owned.back() : owned[index];
        ASSERT_NE(o.bytes, nullptr);
        std::memset(o.bytes, o.fill, o.size);
      }
      for (const Owned& o : owned) {
        damagedBytes[t] += damaged(o);
        FreeTracked(o.bytes);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(damagedBytes[t], 0) << t;
  // The fixture checks that count, bytes and headers are back as they were.
}

}  // namespace
}  // namespace qz
