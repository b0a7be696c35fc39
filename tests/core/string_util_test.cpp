// Byte, string, number and multi-byte helpers.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "core/int128.h"
#include "core/multibyte.h"
#include "core/string_util.h"

namespace qz {
namespace {

TEST(IntToText, SignRadixAndExtremes) {
  char buffer[40];
  EXPECT_STREQ(IntToText(-255, buffer, 16), "-ff");
  EXPECT_STREQ(IntToText(0, buffer, 10), "0");
  EXPECT_STREQ(IntToText(-1, buffer, 10), "-1");
  EXPECT_STREQ(IntToText(0x9A, buffer, 16), "9a");  // the last digit and the first letter
  EXPECT_STREQ(IntToText(INT_MIN, buffer, 10), "-2147483648");
  EXPECT_STREQ(IntToText(INT_MAX, buffer, 2), "1111111111111111111111111111111");
  EXPECT_STREQ(IntToText(35, buffer, 36), "z");
  EXPECT_STREQ(IntToText(5, buffer, 1), "");
  EXPECT_STREQ(IntToText(5, buffer, 37), "");
}

TEST(LeadByte, ShiftJisRangesAndOtherCharsets) {
  EXPECT_FALSE(IsLeadByte(0, 0x80));
  EXPECT_TRUE(IsLeadByte(0, 0x81));
  EXPECT_TRUE(IsLeadByte(0, 0x9F));
  EXPECT_FALSE(IsLeadByte(0, 0xA0));
  EXPECT_FALSE(IsLeadByte(0, 0xDF));
  EXPECT_TRUE(IsLeadByte(0, 0xE0));
  EXPECT_TRUE(IsLeadByte(0, 0xFC));
  EXPECT_FALSE(IsLeadByte(0, 0xFD));
  EXPECT_TRUE(IsLeadByte(5, 0x81));
  EXPECT_TRUE(IsLeadByte(3, 0xA0));  // any high byte in sets 2 to 4
  EXPECT_FALSE(IsLeadByte(3, 0x7F));
  // Sets 2 and 4 bound the any-high-byte rule; 0x80, 0xA0 and 0xFF are no
  // Shift-JIS lead bytes, so only sets 2 to 4 take them.
  for (int charset : {-1, 1, 2, 3, 4, 5}) {
    const bool wide = charset >= 2 && charset <= 4;
    for (int byte : {0x80, 0xA0, 0xFF}) {
      EXPECT_EQ(IsLeadByte(charset, static_cast<unsigned char>(byte)), wide) << charset << " " << byte;
    }
  }
}

TEST(MultiByteScan, TrailBytesAreNeverMatched) {
  // 0x95 0x5C is one Shift-JIS character whose trail byte is "\".
  const char text[] = "\x95\x5C" "a\\b";
  EXPECT_EQ(FindCharMultiByte(text, '\\'), text + 3);
  EXPECT_EQ(FindCharMultiByte(text, 'z'), nullptr);

  char upper[] = "az\x82\x61" "c`{";  // 0x82 0x61 is one character
  UpperCaseMultiByte(upper);
  EXPECT_STREQ(upper, "AZ\x82\x61" "C`{");

  // A lead byte at the very end does not swallow the terminator.
  char dangling[] = "x\x81";
  UpperCaseMultiByte(dangling);
  EXPECT_STREQ(dangling, "X\x81");
}

TEST(ByteHelpers, CopyCompareMove) {
  char buffer[16];
  EXPECT_STREQ(CopyStringBytesMax(buffer, "abcdef", 3), "abc");
  EXPECT_STREQ(CopyStringBytesMax(buffer, "abcdef", 0), "");
  EXPECT_STREQ(CopyStringBytesMax(buffer, "ab", 10), "ab");

  EXPECT_EQ(CompareBytesN("abc", "abd", 0), 0);
  EXPECT_EQ(CompareBytesN("abc", "abc", -1), 1);
  EXPECT_EQ(CompareBytesN("abc", "abd", 2), 0);
  EXPECT_EQ(CompareBytesN("abc", "abd", 3), 1);
  EXPECT_EQ(CompareBytesN("a", "a", 1), 0);
  EXPECT_EQ(CompareBytesN("a", "b", 1), 1);
  EXPECT_EQ(CompareMemory("x", "y", 0), 0);
  EXPECT_EQ(CompareMemory("xy", "xy", 2), 0);
  EXPECT_EQ(CompareMemory("xa", "xc", 2), 1);
  EXPECT_EQ(CompareStringBytes("same", "same"), 0);
  // The order is -1 or 1 however near or far the first differing bytes are.
  EXPECT_EQ(CompareStringBytes("samf", "same"), 1);
  EXPECT_EQ(CompareStringBytes("same", "samf"), -1);
  EXPECT_EQ(CompareStringBytes("z", "a"), 1);
  EXPECT_EQ(CompareStringBytes("a", "z"), -1);

  // One byte is filled, copied and moved like any other count.
  char one[] = "ab";
  FillBytes(one, 'x', 1);
  EXPECT_STREQ(one, "xb");
  CopyBytes(one + 1, "y", 1);
  EXPECT_STREQ(one, "xy");
  MoveBytes(one, one + 1, 1);
  EXPECT_STREQ(one, "yy");

  char overlap[] = "0123456789";
  MoveBytes(overlap + 1, overlap, 9);
  EXPECT_STREQ(overlap, "0012345678");
  char back[] = "0123456789";
  MoveBytes(back, back + 1, 9);
  EXPECT_STREQ(back, "1234567899");
}

TEST(NumberConversion, TruncatesTowardZero) {
  EXPECT_EQ(DoubleToInt(-2.7), -2);
  EXPECT_EQ(DoubleToInt(2.7), 2);
  EXPECT_EQ(DoubleToInt(3e10), INT32_MIN);
  EXPECT_EQ(DoubleToInt(-3e10), INT32_MIN);
  EXPECT_EQ(DoubleToInt(2147483647.9), INT32_MAX);
  EXPECT_EQ(DoubleToInt(2147483648.0), INT32_MIN);
  EXPECT_EQ(FloatToIntTruncate(-0.5f), 0);
  EXPECT_EQ(FloatToIntTruncate(__builtin_nanf("")), INT32_MIN);
  const double in[4] = {1.9, -1.9, 0.0, 1e20};
  std::int32_t out[4];
  DoublesToInts4(in, out);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], -1);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], INT32_MIN);
  EXPECT_EQ(AbsInt(-1), 1);
  EXPECT_EQ(AbsInt(0), 0);
  EXPECT_EQ(AbsInt(1), 1);
}

TEST(FormatString, TruncatesToTheBuffer) {
  char small[8];
  EXPECT_EQ(FormatString(small, sizeof small, "%s-%d", "abcdef", 12345), 7);
  EXPECT_STREQ(small, "abcdef-");
  char exact[16];
  EXPECT_EQ(FormatString(exact, sizeof exact, "%d", 42), 2);
  EXPECT_STREQ(exact, "42");
  // A text as long as the buffer loses its last byte to the zero.
  char seven[7];
  EXPECT_EQ(FormatString(seven, sizeof seven, "%d", 1234567), 6);
  EXPECT_STREQ(seven, "123456");
  char one[1] = {'x'};
  EXPECT_EQ(FormatString(one, sizeof one, "%d", 5), 0);
  EXPECT_STREQ(one, "");
}

TEST(Int128, ProductsAndQuotientsNearTheTop) {
  U128 p = MulU64To128(UINT64_MAX, UINT64_MAX);
  EXPECT_EQ(p.high, UINT64_MAX - 1);
  EXPECT_EQ(p.low, 1u);
  EXPECT_EQ(DivU128By64(p, UINT64_MAX), UINT64_MAX);
  // Ticks times a million stays exact past 2^64.
  std::uint64_t ticks = 0x0000FFFFFFFFFFFFull * 977;
  U128 scaled = MulU64To128(ticks, 1000000);
  EXPECT_EQ(DivU128By64(scaled, 1000000), ticks);
  EXPECT_EQ(DivU128By64(scaled, 0), 0u);
}

}  // namespace
}  // namespace qz
