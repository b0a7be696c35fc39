#include "game/game_string.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

TEST(GameStringTest, SubstringClampsPositionAndLengthToExactBuffers) {
  const GameString text("abcdef");
  EXPECT_STREQ(GameStringSubstring(text, -2, 5).c_str(), "abc");
  EXPECT_STREQ(GameStringSubstring(text, 6, 3).c_str(), "");
  EXPECT_STREQ(GameStringSubstring(text, 7, 3).c_str(), "");
  const GameString tail = GameStringSubstring(text, 2, 100);
  EXPECT_STREQ(tail.c_str(), "cdef");
  EXPECT_EQ(tail.capacity, 5u);
}

TEST(GameStringTest, AssignKeepsLargerBufferZeroFilledAndHonoursLength) {
  GameString s;
  GameStringAssign(s, "ab");
  ASSERT_EQ(s.capacity, 256u);
  EXPECT_STREQ(s.c_str(), "ab");
  for (std::size_t i = 2; i < s.capacity; ++i) ASSERT_EQ(s.buffer[i], 0) << i;
  GameStringAssign(s, "abcdef", 3);
  EXPECT_STREQ(s.c_str(), "abc");
}

TEST(GameStringTest, CopiesAreDeepAndSizedByTheirLength) {
  GameString original("path");
  GameString copy = original;
  GameStringAppendChars(copy, "\\data_en");
  EXPECT_STREQ(original.c_str(), "path");
  EXPECT_STREQ(copy.c_str(), "path\\data_en");
  const GameString none = GameStringCopy(original, -4);
  EXPECT_STREQ(none.c_str(), "");
  EXPECT_EQ(none.capacity, 1u);
  GameString bufferless;  // as after a failed allocation
  std::free(bufferless.buffer);
  bufferless.buffer = nullptr;
  bufferless.capacity = 0;
  EXPECT_EQ(GameStringCopy(bufferless, 0).capacity, 256u);
  EXPECT_EQ(GameStringEquals(bufferless, ""), 0);
  EXPECT_EQ(GameStringEquals(GameString(), ""), 1);
}

TEST(GameStringTest, ConcatGivesExactSizeResults) {
  const GameString dir("/x");
  const GameString path = GameStringConcat(dir, "\\map\\001.map");
  EXPECT_STREQ(path.c_str(), "/x\\map\\001.map");
  EXPECT_EQ(path.capacity, std::strlen("/x\\map\\001.map") + 1);
  EXPECT_STREQ(GameStringConcatString(path, GameString("!")).c_str(), "/x\\map\\001.map!");
}

TEST(GameStringTest, PaddedNumbersPrefixesAndParsing) {
  EXPECT_STREQ(IntToPaddedString(7, 3).c_str(), "007");
  EXPECT_EQ(IntToPaddedString(7, 3).capacity, 4u);
  EXPECT_STREQ(IntToPaddedString(100, 3).c_str(), "100");
  EXPECT_STREQ(IntToPaddedString(1234, 3).c_str(), "1234");
  EXPECT_STREQ(IntToPaddedString(5, 0).c_str(), "5");
  EXPECT_STREQ(IntToPaddedString(-5, 3).c_str(), "0-5");  // zeros go before the sign

  EXPECT_STREQ(GameStringConcatPrefix("0", GameString("12")).c_str(), "012");
  EXPECT_STREQ(GameStringConcatPrefix(nullptr, GameString("ab")).c_str(), "ab");
  GameString bufferless;
  std::free(bufferless.buffer);
  bufferless.buffer = nullptr;
  bufferless.capacity = 0;
  const GameString prefixOnly = GameStringConcatPrefix("ab", bufferless);
  EXPECT_STREQ(prefixOnly.c_str(), "ab");
  EXPECT_EQ(prefixOnly.capacity, 3u);

  EXPECT_EQ(ParseIntAndFree(GameString("012")), 12);
  EXPECT_EQ(ParseIntAndFree(GameString(" -40x")), -40);
  EXPECT_EQ(ParseIntAndFree(GameString("x")), 0);
  EXPECT_EQ(ParseIntAndFree(bufferless), 0);
  EXPECT_EQ(ParseIntAndFree(GameString("99999999999")), 2147483647);
}

}  // namespace

TEST(GameStringTest, AppendTakesACountAndGrowsToExactlyWhatItNeeds) {
  GameString s("ab");
  GameStringAppend(s, "cdef", 2);
  EXPECT_STREQ(s.c_str(), "abcd");
  EXPECT_EQ(s.capacity, 5u);
  GameStringAppend(s, "xyz", 0);  // count 0: the whole text
  EXPECT_STREQ(s.c_str(), "abcdxyz");
  GameStringAppend(s, "q", 10);  // a count past the text stops at its end
  EXPECT_STREQ(s.c_str(), "abcdxyzq");
  EXPECT_EQ(s.capacity, 9u);
  GameString bufferless;
  std::free(bufferless.buffer);
  bufferless.buffer = nullptr;
  bufferless.capacity = 0;
  GameStringAppend(bufferless, "hi", 0);
  EXPECT_STREQ(GameStringData(bufferless), "hi");
  EXPECT_EQ(bufferless.capacity, 3u);
}
