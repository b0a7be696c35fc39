// Byte, string and number helpers of the library.
#include "core/string_util.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/multibyte.h"

namespace qz {

char* CopyStringBytes(char* destination, const char* source) {
  return std::strcpy(destination, source);
}

char* CopyStringBytesMax(char* destination, const char* source, int n) {
  int i = 0;
  for (; i < n && source[i] != '\0'; ++i) destination[i] = source[i];
  destination[i] = '\0';
  return destination;
}

char* FindCharMultiByte(char* text, int byte) {
  const auto wanted = static_cast<unsigned char>(byte);
  for (auto* p = reinterpret_cast<unsigned char*>(text); *p != '\0'; ++p) {
    if (IsCurrentLeadByte(*p) && p[1] != '\0') {
      ++p;  // the trail byte may equal the wanted byte (0x5C in Shift-JIS)
      continue;
    }
    if (*p == wanted) return reinterpret_cast<char*>(p);
  }
  return nullptr;
}

const char* FindCharMultiByte(const char* text, int byte) {
  return FindCharMultiByte(const_cast<char*>(text), byte);
}

int CompareStringBytes(const char* a, const char* b) {
  int order = std::strcmp(a, b);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void UpperCaseMultiByte(char* text) {
  for (auto* p = reinterpret_cast<unsigned char*>(text); *p != '\0'; ++p) {
    if (IsCurrentLeadByte(*p) && p[1] != '\0') {
      ++p;
      continue;
    }
    if (*p >= 'a' && *p <= 'z') *p = static_cast<unsigned char>(*p - 'a' + 'A');
  }
}

int CompareBytesN(const void* a, const void* b, int n) {
  if (n < 1) return n == 0 ? 0 : 1;
  return std::memcmp(a, b, static_cast<std::size_t>(n)) == 0 ? 0 : 1;
}

int CompareMemory(const void* a, const void* b, std::size_t n) {
  if (n == 0) return 0;
  return std::memcmp(a, b, n) == 0 ? 0 : 1;
}

void FillBytes(void* destination, int byte, std::size_t n) {
  if (n != 0) std::memset(destination, byte, n);
}

void CopyBytes(void* destination, const void* source, std::size_t n) {
  if (n != 0) std::memcpy(destination, source, n);
}

void MoveBytes(void* destination, const void* source, std::size_t n) {
  if (n != 0) std::memmove(destination, source, n);
}

void SinCosFloat(float angle, float* sine, float* cosine) {
  *sine = std::sin(angle);
  *cosine = std::cos(angle);
}

int AbsInt(int value) { return value < 0 ? -value : value; }

float AbsFloat(float value) { return std::fabs(value); }

float SqrtFloat(float value) { return std::sqrt(value); }

float PowFloat(float x, float y) { return std::pow(x, y); }

// Out-of-range and NaN values give the processor's "integer indefinite".
std::int32_t DoubleToInt(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

std::int32_t FloatToIntTruncate(float value) { return DoubleToInt(value); }

void DoublesToInts4(const double in[4], std::int32_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = DoubleToInt(in[i]);
}

char* IntToText(std::int32_t value, char* buffer, int radix) {
  if (radix < 2 || radix > 36) {
    buffer[0] = '\0';
    return buffer;
  }
  char digits[33];
  int count = 0;
  // The magnitude is taken unsigned so INT32_MIN does not overflow.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    std::uint32_t digit = magnitude % static_cast<std::uint32_t>(radix);
    digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    magnitude /= static_cast<std::uint32_t>(radix);
  } while (magnitude != 0);
  char* out = buffer;
  if (value < 0) *out++ = '-';
  while (count > 0) *out++ = digits[--count];
  *out = '\0';
  return buffer;
}

int FormatStringV(char* buffer, std::size_t size, const char* format, va_list arguments) {
  if (size == 0) return 0;
  int length = std::vsnprintf(buffer, size, format, arguments);
  if (length < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<std::size_t>(length) < size ? length : static_cast<int>(size - 1);
}

int FormatString(char* buffer, std::size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = FormatStringV(buffer, size, format, arguments);
  va_end(arguments);
  return length;
}

}  // namespace qz
