// Exact-size results and C-heap buffers, as the save and path code expect;
// allocation failures leave an empty or bufferless string, never an exception.
#include "game/game_string.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

constexpr std::size_t kDefaultCapacity = 256;

std::size_t TextLength(const char* text) { return text != nullptr ? std::strlen(text) : 0; }

// Copies at most n bytes of text, stopping at its terminator; the destination
// is already zeroed, so it stays terminated.
void CopyBounded(char* destination, const char* text, std::size_t n) {
  std::memcpy(destination, text, strnlen(text, n));
}

// A string holding at most n bytes of text (stopping at its terminator) in a
// zeroed buffer of n + 1 bytes; bufferless when the allocation fails.
GameString ExactCopy(const char* text, std::size_t n) {
  GameString result;
  std::free(result.buffer);
  result.buffer = static_cast<char*>(std::calloc(n + 1, 1));
  result.capacity = result.buffer != nullptr ? n + 1 : 0;
  if (result.buffer != nullptr && text != nullptr) CopyBounded(result.buffer, text, n);
  return result;
}

}  // namespace

GameString::GameString() {
  buffer = static_cast<char*>(std::calloc(kDefaultCapacity, 1));
  capacity = buffer != nullptr ? kDefaultCapacity : 0;
}

GameString::GameString(const char* text, int length) {
  if (text == nullptr) {
    *this = GameString();
    return;
  }
  const std::size_t n = length > 0 ? static_cast<std::size_t>(length) : length == 0 ? std::strlen(text) : 0;
  buffer = static_cast<char*>(std::calloc(n + 1, 1));
  capacity = buffer != nullptr ? n + 1 : 0;
  if (buffer != nullptr) CopyBounded(buffer, text, n);
}

GameString::GameString(const GameString& other) : GameString(other.buffer, 0) {}

GameString::GameString(GameString&& other) noexcept
    : buffer(std::exchange(other.buffer, nullptr)), capacity(std::exchange(other.capacity, 0)) {}

GameString& GameString::operator=(const GameString& other) {
  if (this != &other) *this = GameString(other);
  return *this;
}

GameString& GameString::operator=(GameString&& other) noexcept {
  std::swap(buffer, other.buffer);
  std::swap(capacity, other.capacity);
  return *this;
}

GameString::~GameString() { std::free(buffer); }

int GameStringReserve(GameString& s, std::size_t n) {
  char* grown = s.buffer == nullptr ? static_cast<char*>(std::calloc(n, 1))
                                    : static_cast<char*>(std::realloc(s.buffer, n));
  if (grown == nullptr) {
    std::free(s.buffer);
    s.buffer = nullptr;
    s.capacity = 0;
    return 0;
  }
  s.buffer = grown;
  s.capacity = n;
  return 1;
}

GameString& GameStringAssign(GameString& s, const char* text, int length) {
  const std::size_t n = length != 0 ? static_cast<std::size_t>(length > 0 ? length : 0) : TextLength(text);
  if ((s.buffer == nullptr || s.capacity < n + 1) && GameStringReserve(s, n + 1) == 0) return s;
  std::memset(s.buffer, 0, s.capacity);
  if (text != nullptr) CopyBounded(s.buffer, text, n);
  return s;
}

GameString GameStringCopy(const GameString& other, int length) { return GameString(other.buffer, length); }

GameString GameStringFromChars(const char* text, int length) { return GameString(text, length); }

GameString GameStringConcat(const GameString& s, const char* text) {
  const std::size_t a = GameStringLength(s);
  const std::size_t b = TextLength(text);
  GameString result = ExactCopy(s.buffer, a + b);
  if (result.buffer == nullptr) return GameString();
  if (text != nullptr) std::memcpy(result.buffer + a, text, b);
  return ExactCopy(result.buffer, std::strlen(result.buffer));
}

GameString GameStringConcatString(const GameString& s, const GameString& other) {
  return GameStringConcat(s, other.buffer);
}

GameString GameStringSubstring(const GameString& s, int position, int length) {
  if (s.buffer == nullptr) return ExactCopy("", 0);
  if (position < 0) {
    length += position;
    position = 0;
  }
  const std::size_t textLength = std::strlen(s.buffer);
  if (length <= 0 || textLength == 0 || static_cast<std::size_t>(position) > textLength) {
    GameString empty = ExactCopy("", 0);
    return empty.buffer != nullptr ? std::move(empty) : GameString();
  }
  GameString part = ExactCopy(s.buffer + position, static_cast<std::size_t>(length));
  if (part.buffer == nullptr) return GameString();
  GameString result = ExactCopy(part.buffer, std::strlen(part.buffer));
  return result.buffer != nullptr ? std::move(result) : GameString();
}

GameString& GameStringAppend(GameString& s, const char* text, int n) {
  const std::size_t a = GameStringLength(s);
  const std::size_t b = n > 0 && text != nullptr ? strnlen(text, static_cast<std::size_t>(n)) : TextLength(text);
  if (s.capacity < a + b + 1) {
    GameString grown = s;  // keeps s intact when the allocation fails
    if (GameStringReserve(grown, a + b + 1) == 0) return s;
    s = std::move(grown);
  }
  if (b != 0) std::memcpy(s.buffer + a, text, b);
  s.buffer[a + b] = '\0';
  return s;
}

GameString& GameStringAppendChars(GameString& s, const char* text) { return GameStringAppend(s, text, 0); }

int GameStringEquals(const GameString& s, const char* text) {
  if (s.buffer == nullptr) return 0;
  return std::strcmp(s.buffer, text != nullptr ? text : "") == 0 ? 1 : 0;
}

std::size_t GameStringLength(const GameString& s) { return s.buffer != nullptr ? std::strlen(s.buffer) : 0; }

GameString GameStringConcatPrefix(const char* text, const GameString& s) {
  return GameStringConcat(GameString(text != nullptr ? text : ""), s.buffer);
}

GameString IntToPaddedString(int value, int width) {
  GameString text(std::to_string(value).c_str());
  while (static_cast<int>(GameStringLength(text)) < width) text = GameStringConcatPrefix("0", text);
  return text;
}

int ParseIntAndFree(GameString text) {
  // atoi's reading, saturated instead of undefined when out of range.
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}
