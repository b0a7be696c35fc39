// Basic types and constants of the stand-in for the Windows services the
// library was designed against. Values that callers compare or store keep the
// platform's published numbers so tables built on them keep their meaning.
#pragma once

#include <cstdint>

namespace plat {

// A kernel object: file, event, thread or find search. Closed by CloseHandle
// (FindClose for searches).
using Handle = void*;
inline const Handle INVALID_HANDLE_VALUE = reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1));

using BOOL = int;
// Result codes of the COM-style interfaces: negative values are failures.
using HRESULT = std::int32_t;
inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;

// 100-nanosecond intervals since 1601-01-01 UTC, split in two halves.
struct FileTime {
  std::uint32_t low;
  std::uint32_t high;
};

struct SystemTime {
  std::uint16_t year;
  std::uint16_t month;
  std::uint16_t dayOfWeek;
  std::uint16_t day;
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

inline constexpr std::uint32_t MAX_PATH = 260;

}  // namespace plat
