// Byte, string and number helpers. String scanning is multi-byte aware
// (core/multibyte.h).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace qz {

char* CopyStringBytes(char* destination, const char* source);
// At most n bytes, always terminated; n below 1 gives "". (The destination
// holds n + 1 bytes.)
char* CopyStringBytesMax(char* destination, const char* source, int n);
// The first occurrence of the byte, skipping double-byte characters; null when absent.
const char* FindCharMultiByte(const char* text, int byte);
char* FindCharMultiByte(char* text, int byte);
int CompareStringBytes(const char* a, const char* b);
// a-z to A-Z in place; double-byte characters are left alone.
void UpperCaseMultiByte(char* text);
// 0 when the first n bytes are equal, else 1; n = 0 gives 0, negative n 1.
int CompareBytesN(const void* a, const void* b, int n);
int CompareMemory(const void* a, const void* b, std::size_t n);
void FillBytes(void* destination, int byte, std::size_t n);
void CopyBytes(void* destination, const void* source, std::size_t n);
// Overlap-safe.
void MoveBytes(void* destination, const void* source, std::size_t n);

void SinCosFloat(float angle, float* sine, float* cosine);
int AbsInt(int value);
float AbsFloat(float value);
float SqrtFloat(float value);
float PowFloat(float x, float y);
// Truncation toward zero; out of range gives 0x80000000.
std::int32_t FloatToIntTruncate(float value);
std::int32_t DoubleToInt(double value);
void DoublesToInts4(const double in[4], std::int32_t out[4]);

// Lower-case digits, "-" sign, no padding; returns the buffer (34 bytes
// suffice for any radix from 2).
char* IntToText(std::int32_t value, char* buffer, int radix);

// printf-style into a buffer of `size` bytes, truncating. Returns the length
// written (without the terminator).
int FormatStringV(char* buffer, std::size_t size, const char* format, va_list arguments);
int FormatString(char* buffer, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

}  // namespace qz
