// Handle tables: the validity test, slot order and the high-water mark, check
// numbers, re-creation of a wanted handle, full tables, and the handle lists.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/handle.h"
#include "support/scratch_log.h"
#include "core/log_text.h"
#include "core/memory.h"

namespace qz {
namespace {

struct TestRecord {
  std::int32_t check;
  int payload;
};

using SmallTable = HandleTable<TestRecord, 4, kSoundHandle>;
constexpr HandleTablePolicy kLogWhenFull{"test table is full\n", false};
constexpr SmallTable::Policy kFatalWhenFull{"test table is full, giving up\n", true};

// The largest tables are static globals; they must cost nothing at start.
constinit HandleTable<TestRecord, 32768, kGraphHandle> largeTable;

int SlotOf(LibraryHandle handle) { return handle & kHandleSlotMask; }
int CheckOf(LibraryHandle handle) { return (handle & kHandleCheckMask) >> 16; }

void DeleteAll(SmallTable& table) {
  for (int slot = 0; slot < SmallTable::Capacity(); ++slot) {
    if (table.RecordAt(slot) != nullptr) table.Delete(table.HandleAt(slot));
  }
}

TEST(HandleTable, ValidityTest) {
  const int blocksBefore = GetTrackedBlockCount();
  SmallTable table;
  const LibraryHandle handle = table.Create(kLogWhenFull);
  ASSERT_NE(handle, kNoHandle);
  EXPECT_EQ(handle & kHandleKindMask, kSoundHandle);
  EXPECT_GE(handle, 0);
  ASSERT_NE(table.Get(handle), nullptr);
  EXPECT_EQ(table.Get(handle)->payload, 0) << "records start zeroed";

  EXPECT_EQ(table.Get(static_cast<LibraryHandle>(static_cast<std::uint32_t>(handle) | 0x80000000u)), nullptr);
  EXPECT_EQ(table.Get((handle & ~kHandleKindMask) | kGraphHandle), nullptr);
  EXPECT_EQ(table.Get(MakeHandle(kSoundHandle, CheckOf(handle), 4)), nullptr);
  EXPECT_EQ(table.Get(MakeHandle(kSoundHandle, CheckOf(handle), 0xFFFF)), nullptr);
  EXPECT_EQ(table.Get(MakeHandle(kSoundHandle, 0, 2)), nullptr) << "empty slot";
  EXPECT_EQ(table.Get(MakeHandle(kSoundHandle, CheckOf(handle) + 1, SlotOf(handle))), nullptr);
  EXPECT_EQ(table.Get(kNoHandle), nullptr);
  EXPECT_FALSE(table.IsValid(kNoHandle));

  EXPECT_EQ(table.Delete(handle), 0);
  EXPECT_FALSE(table.IsValid(handle));
  EXPECT_EQ(table.Delete(handle), -1) << "a second delete is refused";
  EXPECT_EQ(table.LiveCount(), 0);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore);
}

TEST(HandleTable, SlotOrderAndHighWaterMark) {
  const int blocksBefore = GetTrackedBlockCount();
  SmallTable table;
  const LibraryHandle h0 = table.Create(kLogWhenFull);
  const LibraryHandle h1 = table.Create(kLogWhenFull);
  EXPECT_EQ(SlotOf(h0), 0);
  EXPECT_EQ(SlotOf(h1), 1);
  EXPECT_EQ(table.Delete(h1), 0);
  EXPECT_EQ(table.HighWaterMark(), 2) << "deleting never lowers the mark";

  // The freed slot 1 waits until the mark reaches the table size.
  const LibraryHandle h2 = table.Create(kLogWhenFull);
  const LibraryHandle h3 = table.Create(kLogWhenFull);
  EXPECT_EQ(SlotOf(h2), 2);
  EXPECT_EQ(SlotOf(h3), 3);
  EXPECT_EQ(table.HighWaterMark(), 4);
  const LibraryHandle reused = table.Create(kLogWhenFull);
  EXPECT_EQ(SlotOf(reused), 1);
  EXPECT_EQ(table.LiveCount(), 4);
  EXPECT_FALSE(table.IsValid(h1)) << "the old handle of a reused slot stays stale";
  EXPECT_TRUE(table.IsValid(reused));

  EXPECT_EQ(table.HandleAt(1), reused);
  EXPECT_EQ(table.HandleAt(-1), kNoHandle);
  EXPECT_EQ(table.HandleAt(4), kNoHandle);
  EXPECT_EQ(table.RecordAt(4), nullptr);
  EXPECT_EQ(table.RecordAt(-1), nullptr);

  // After more deletions the search always takes the lowest free slot.
  EXPECT_EQ(table.Delete(h3), 0);
  EXPECT_EQ(table.Delete(h0), 0);
  EXPECT_EQ(SlotOf(table.Create(kLogWhenFull)), 0);
  EXPECT_EQ(SlotOf(table.Create(kLogWhenFull)), 3);

  DeleteAll(table);
  EXPECT_EQ(table.LiveCount(), 0);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore);
}

TEST(HandleTable, FullTableLogsOrEndsTheProgram) {
  SmallTable table;
  for (int i = 0; i < 4; ++i) ASSERT_NE(table.Create(kLogWhenFull), kNoHandle);
  {
    testing::ScratchLog log;
    EXPECT_EQ(table.Create(kLogWhenFull), kNoHandle);
    EXPECT_TRUE(log.Contains(kLogWhenFull.fullMessage)) << log.Contents();
  }
  EXPECT_EQ(table.LiveCount(), 4);
  EXPECT_EXIT(table.Create(kFatalWhenFull), ::testing::ExitedWithCode(255), "");
  DeleteAll(table);
}

TEST(HandleTable, CheckNumbersWrapAfter2047) {
  SmallTable table;
  LibraryHandle first = table.Create(kLogWhenFull);
  EXPECT_EQ(CheckOf(first), 0);
  EXPECT_EQ(table.Delete(first), 0);
  LibraryHandle last = kNoHandle;
  for (int made = 2; made <= 2048; ++made) {
    last = table.Create(kLogWhenFull);
    ASSERT_NE(last, kNoHandle);
    EXPECT_EQ(table.Delete(last), 0);
  }
  EXPECT_EQ(CheckOf(last), 2047);
  const LibraryHandle wrapped = table.Create(kLogWhenFull);
  EXPECT_EQ(CheckOf(wrapped), 0) << "the 2049th record";
  EXPECT_TRUE(table.IsValid(wrapped));
  table.Delete(wrapped);
}

TEST(HandleTable, WantedHandleRecreation) {
  SmallTable table;
  const LibraryHandle h0 = table.Create(kLogWhenFull);
  const LibraryHandle h1 = table.Create(kLogWhenFull);
  ASSERT_EQ(table.Delete(h1), 0);

  // Re-created in its own slot with its own check; the counter is not used.
  const LibraryHandle wanted = MakeHandle(kSoundHandle, 77, 3);
  EXPECT_EQ(table.Create(kLogWhenFull, wanted), wanted);
  EXPECT_EQ(table.Get(wanted)->check, 77);
  EXPECT_EQ(table.HighWaterMark(), 4) << "slots under the mark are found by the search";

  // An occupied wanted slot falls back to the ordinary allocation.
  const LibraryHandle fallback = table.Create(kLogWhenFull, h0);
  EXPECT_EQ(SlotOf(fallback), 1);
  EXPECT_EQ(CheckOf(fallback), 2);
  EXPECT_TRUE(table.IsValid(h0));

  {
    testing::ScratchLog log;
    EXPECT_EQ(table.Create(kLogWhenFull, MakeHandle(kGraphHandle, 1, 2)), kNoHandle);
    EXPECT_EQ(table.Create(kLogWhenFull, MakeHandle(kSoundHandle, 1, 4)), kNoHandle);
    EXPECT_EQ(table.Create(kLogWhenFull, -2), kNoHandle);
    EXPECT_NE(log.Contents(), "");
  }
  EXPECT_EQ(table.LiveCount(), 3);
  DeleteAll(table);
}

TEST(HandleTable, WantedSlotAboveTheMarkIsNeverHandedOutAgain) {
  SmallTable table;
  const LibraryHandle wanted = MakeHandle(kSoundHandle, 5, 2);
  ASSERT_EQ(table.Create(kLogWhenFull, wanted), wanted);
  const LibraryHandle next = table.Create(kLogWhenFull);
  EXPECT_EQ(SlotOf(next), 3);
  EXPECT_EQ(SlotOf(table.Create(kLogWhenFull)), 0);
  EXPECT_EQ(SlotOf(table.Create(kLogWhenFull)), 1);
  EXPECT_TRUE(table.IsValid(wanted)) << "the wanted record was not overwritten";
  DeleteAll(table);
}

TEST(HandleTable, LargeStaticTable) {
  const LibraryHandle handle = largeTable.Create(kLogWhenFull);
  EXPECT_EQ(SlotOf(handle), largeTable.HighWaterMark() - 1);
  EXPECT_TRUE(largeTable.IsValid(handle));
  EXPECT_EQ(handle & kHandleKindMask, kGraphHandle);
  EXPECT_EQ(largeTable.Get(MakeHandle(kGraphHandle, 0, 32767)), nullptr);
  EXPECT_EQ(largeTable.Get(MakeHandle(kGraphHandle, 0, 32768)), nullptr);
  EXPECT_EQ(largeTable.Delete(handle), 0);
}

struct ListFixture {
  HandleListNode head;
  HandleListNode tail;
  HandleListNode a;
  HandleListNode b;
  int recordA = 0;
  int recordB = 0;
};

TEST(HandleList, NewestComesFirstAndRemovalRelinksItsNeighbours) {
  ListFixture f;
  ASSERT_EQ(InitHandleList(&f.head, &f.tail), 0);
  EXPECT_EQ(f.head.id, -1);
  EXPECT_EQ(f.head.previous, nullptr);
  EXPECT_EQ(f.head.next, &f.tail);
  EXPECT_EQ(f.tail.previous, &f.head);
  EXPECT_EQ(f.tail.next, nullptr);

  ASSERT_EQ(AddHandleListNode(&f.head, &f.a, 11, &f.recordA), 0);
  ASSERT_EQ(AddHandleListNode(&f.head, &f.b, 12, &f.recordB), 0);
  EXPECT_EQ(f.head.next, &f.b);
  EXPECT_EQ(f.b.next, &f.a);
  EXPECT_EQ(f.a.next, &f.tail);
  EXPECT_EQ(f.tail.previous, &f.a);
  EXPECT_EQ(f.a.previous, &f.b);
  EXPECT_EQ(f.b.previous, &f.head);
  EXPECT_EQ(f.b.id, 12);
  EXPECT_EQ(f.b.record, &f.recordB);

  ASSERT_EQ(RemoveHandleListNode(&f.a), 0);
  EXPECT_EQ(f.b.next, &f.tail);
  EXPECT_EQ(f.tail.previous, &f.b);
  EXPECT_EQ(f.a.previous, &f.b) << "the removed node keeps its links";
  EXPECT_EQ(f.a.next, &f.tail);
  ASSERT_EQ(RemoveHandleListNode(&f.b), 0);
  EXPECT_EQ(f.head.next, &f.tail);
  EXPECT_EQ(f.tail.previous, &f.head);
}

TEST(HandleList, RefusesBrokenInput) {
  ListFixture f{};
  testing::ScratchLog log;
  EXPECT_EQ(InitHandleList(nullptr, &f.tail), -1);
  EXPECT_EQ(AddHandleListNode(&f.head, &f.a, 1, nullptr), -1) << "head never initialised";
  InitHandleList(&f.head, &f.tail);
  EXPECT_EQ(AddHandleListNode(&f.head, nullptr, 1, nullptr), -1);
  EXPECT_EQ(RemoveHandleListNode(&f.head), -1) << "a sentinel cannot be unlinked";
  EXPECT_EQ(RemoveHandleListNode(&f.tail), -1);
  EXPECT_EQ(RemoveHandleListNode(nullptr), -1);
  EXPECT_EQ(f.head.next, &f.tail);
  EXPECT_EQ(f.tail.previous, &f.head);
  EXPECT_TRUE(log.Contains(text::kHandleListNodeMissing));
}

}  // namespace
}  // namespace qz
