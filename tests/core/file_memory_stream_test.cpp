// The memory stream: partial elements, clamped seeks, the end flag and
// refused arguments.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "core/file_access.h"
#include "support/scratch_log.h"
#include "core/log_text.h"
#include "core/memory.h"

namespace {

TEST(MemoryStream, ReadsWholeElementsThenTheRemainderAsOne) {
  const std::uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const int blocks = qz::GetTrackedBlockCount();
  qz::MemoryStream* stream = qz::OpenMemoryStream(data, sizeof(data));
  ASSERT_NE(stream, nullptr);
  std::uint8_t buffer[20];
  std::memset(buffer, 0xEE, sizeof(buffer));
  EXPECT_EQ(qz::MemStreamRead(buffer, 4, 5, stream), 2u);
  EXPECT_EQ(qz::MemStreamTell(stream), 8);
  EXPECT_EQ(buffer[7], 7);
  EXPECT_EQ(buffer[8], 0xEE);
  // Less than one element left: the two bytes come and count as one element.
  std::memset(buffer, 0xEE, sizeof(buffer));
  EXPECT_EQ(qz::MemStreamRead(buffer, 4, 5, stream), 1u);
  EXPECT_EQ(buffer[0], 8);
  EXPECT_EQ(buffer[1], 9);
  EXPECT_EQ(buffer[2], 0xEE);
  EXPECT_EQ(qz::MemStreamTell(stream), 10);
  EXPECT_EQ(qz::MemStreamEof(stream), 0);
  EXPECT_EQ(qz::MemStreamRead(buffer, 1, 1, stream), 0u);
  EXPECT_EQ(qz::MemStreamEof(stream), 1);
  EXPECT_EQ(qz::MemStreamIdleCheck(stream), 1);
  EXPECT_EQ(qz::MemStreamRead(buffer, 0, 3, stream), 0u);

  // The stream over the interface reads the same.
  const qz::StreamFunctionTable* table = qz::GetMemoryStreamInterface();
  EXPECT_EQ(table->Seek(stream, 3, 0), 0);
  EXPECT_EQ(table->Eof(stream), 0);
  EXPECT_EQ(table->Read(buffer, 3, 1, stream), 1u);
  EXPECT_EQ(buffer[0], 3);
  EXPECT_EQ(table->Tell(stream), 6);
  EXPECT_EQ(table->IdleCheck(stream), 1);
  EXPECT_EQ(table->Close(stream), 0);
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);
  EXPECT_EQ(data[9], 9);  // the data is not the stream's
}

TEST(MemoryStream, SeeksClampToTheBlock) {
  const char data[10] = "abcdefghi";
  qz::MemoryStream* stream = qz::OpenMemoryStream(data, sizeof(data));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(qz::MemStreamSeek(stream, 1, 0), 0);
  EXPECT_EQ(qz::MemStreamSeek(stream, -1, 0), 0);
  EXPECT_EQ(qz::MemStreamTell(stream), 0);
  EXPECT_EQ(qz::MemStreamSeek(stream, 20, 2), 0);
  EXPECT_EQ(qz::MemStreamTell(stream), 10);
  EXPECT_EQ(qz::MemStreamSeek(stream, -4, 1), 0);
  EXPECT_EQ(qz::MemStreamTell(stream), 6);
  EXPECT_EQ(qz::MemStreamSeek(stream, INT64_MAX, 1), 0);
  EXPECT_EQ(qz::MemStreamTell(stream), 10);
  EXPECT_EQ(qz::MemStreamSeek(stream, INT64_MIN, 1), 0);
  EXPECT_EQ(qz::MemStreamTell(stream), 0);
  char byte;
  qz::MemStreamSeek(stream, 0, 2);
  EXPECT_EQ(qz::MemStreamRead(&byte, 1, 1, stream), 0u);
  EXPECT_EQ(qz::MemStreamEof(stream), 1);
  EXPECT_EQ(qz::MemStreamSeek(stream, 0, 2), 0);
  EXPECT_EQ(qz::MemStreamEof(stream), 0);
  EXPECT_EQ(qz::CloseMemoryStream(stream), 0);

  // An empty block is at its end at once.
  qz::MemoryStream* empty = qz::OpenMemoryStream(data, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(qz::MemStreamRead(&byte, 1, 1, empty), 0u);
  EXPECT_EQ(qz::MemStreamEof(empty), 1);
  qz::CloseMemoryStream(empty);
}

TEST(MemoryStream, RefusesBadArguments) {
  qz::testing::ScratchLog log;
  const char data[4] = {1, 2, 3, 4};
  char buffer[4];
  qz::MemoryStream* stream = qz::OpenMemoryStream(data, sizeof(data));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(qz::MemStreamRead(nullptr, 1, 1, stream), 0u);
  EXPECT_TRUE(log.Contains(qz::text::kMemoryStreamBadArgument));
  EXPECT_EQ(qz::MemStreamSeek(stream, 0, 7), -1);
  EXPECT_EQ(qz::MemStreamRead(buffer, SIZE_MAX / 2, 3, stream), 0u);
  EXPECT_TRUE(log.Contains(qz::text::kFileReadTooLarge));
  EXPECT_EQ(qz::MemStreamTell(stream), 0);
  // The most bytes a count can ask for is no overflow: what is left comes.
  EXPECT_EQ(qz::MemStreamRead(buffer, 1, SIZE_MAX, stream), sizeof(data));
  EXPECT_EQ(buffer[3], 4);
  qz::CloseMemoryStream(stream);

  EXPECT_EQ(qz::OpenMemoryStream(nullptr, 4), nullptr);
  EXPECT_EQ(qz::OpenMemoryStream(data, std::size_t{1} << 32), nullptr);
  EXPECT_EQ(qz::MemStreamRead(buffer, 1, 1, nullptr), 0u);
  EXPECT_EQ(qz::MemStreamTell(nullptr), -1);
  EXPECT_EQ(qz::MemStreamSeek(nullptr, 0, 0), -1);
  EXPECT_NE(qz::MemStreamEof(nullptr), 0);
  EXPECT_EQ(qz::CloseMemoryStream(nullptr), -1);

  // The largest block a stream's 32-bit size holds is taken (and not read).
  stream = qz::OpenMemoryStream(data, 0xFFFFFFFFu);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(qz::MemStreamSeek(stream, 0, 2), 0);
  EXPECT_EQ(qz::MemStreamTell(stream), 0xFFFFFFFF);
  qz::CloseMemoryStream(stream);
}

}  // namespace
