// The game's own string: one zero-terminated byte buffer on the C heap whose
// allocated size is its capacity. A value type: copies are deep, so a string
// passed by value is the callee's own, and each string frees its buffer.
#pragma once

#include <cstddef>

struct GameString {
  char* buffer = nullptr;   // zero-terminated text, or null after a failed allocation
  std::size_t capacity = 0; // allocated bytes of buffer

  GameString();  // the empty string in a zeroed 256-byte buffer
  GameString(const char* text, int length = 0);
  GameString(const GameString& other);
  GameString(GameString&& other) noexcept;
  GameString& operator=(const GameString& other);
  GameString& operator=(GameString&& other) noexcept;
  ~GameString();

  // The text, "" when the string has no buffer.
  const char* c_str() const { return buffer != nullptr ? buffer : ""; }
};

// Makes the buffer exactly n bytes (contents kept up to n); 1 on success, 0
// when the allocation failed and the string is left without a buffer.
int GameStringReserve(GameString& s, std::size_t n);
// Assigns length bytes of text (0: its whole length); never shrinks the buffer.
GameString& GameStringAssign(GameString& s, const char* text, int length = 0);
// A copy of at most length bytes of other (0: all of it; negative: none).
GameString GameStringCopy(const GameString& other, int length);
GameString GameStringFromChars(const char* text, int length);
GameString GameStringConcat(const GameString& s, const char* text);
GameString GameStringConcatString(const GameString& s, const GameString& other);
GameString GameStringSubstring(const GameString& s, int position, int length);
// Appends n bytes of text (0: all of it), stopping at its terminator; the
// buffer grows to exactly what it needs. When growing fails s is unchanged.
GameString& GameStringAppend(GameString& s, const char* text, int n);
GameString& GameStringAppendChars(GameString& s, const char* text);
// The raw zero-terminated buffer (null when the string has none).
inline char* GameStringData(GameString& s) { return s.buffer; }
// 1 when the text equals s byte for byte; a string without a buffer equals nothing.
int GameStringEquals(const GameString& s, const char* text);
std::size_t GameStringLength(const GameString& s);
// text (null: "") followed by s, in an exact-size buffer.
GameString GameStringConcatPrefix(const char* text, const GameString& s);
// The decimal text of value with "0" put in front until it is width long.
GameString IntToPaddedString(int value, int width);
// The decimal integer the text begins with (0 for no number), as atoi reads
// it; the string is passed by value and freed with it.
int ParseIntAndFree(GameString text);
