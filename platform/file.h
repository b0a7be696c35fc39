// Files, directories, searches and temporary files over POSIX.
// Paths arrive in the library's Windows form ("\" or "/" separators, an
// optional "X:" drive) and code page, and are converted only here, at the
// boundary: the code page becomes UTF-8 (names returned go back the other
// way), "\" becomes "/", a driveless path that starts with one separator is
// rooted at "/", and a name that does not exist exactly is resolved
// case-insensitively, component by component. A name without an exact form on
// the other side fails the call with a line on the debug output.
//
// Case-insensitive resolution starts from the longest leading folder that
// exists as spelled, against cached folder listings kept in the order read;
// of several spellings that match, the least in byte order is taken. A name
// missing from a folder whose modification time is unchanged (and older than
// a timestamp tick at the read) is answered from the cache; any other miss
// reads the folder again. A path is converted to UTF-8 before "\" becomes
// "/", so a Shift-JIS trail byte 0x5C stays inside its character. The calls
// set a per-thread GetLastError (a full disk is ERROR_DISK_FULL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel_object.h"

namespace plat {

inline constexpr std::uint32_t GENERIC_READ = 0x80000000u;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;
inline constexpr std::uint32_t FILE_SHARE_READ = 0x1u;
inline constexpr std::uint32_t CREATE_NEW = 1;
inline constexpr std::uint32_t CREATE_ALWAYS = 2;
inline constexpr std::uint32_t OPEN_EXISTING = 3;
inline constexpr std::uint32_t OPEN_ALWAYS = 4;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10u;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80u;
inline constexpr std::uint32_t FILE_BEGIN = 0;
inline constexpr std::uint32_t FILE_CURRENT = 1;
inline constexpr std::uint32_t FILE_END = 2;
inline constexpr std::uint32_t INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
inline constexpr std::uint32_t INVALID_FILE_SIZE = 0xFFFFFFFFu;
inline constexpr std::uint32_t MOVEFILE_REPLACE_EXISTING = 0x1u;
inline constexpr std::uint32_t MOVEFILE_WRITE_THROUGH = 0x8u;
// What GetLastError reports after a failed file call.
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_WRITE_FAULT = 29;
inline constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
inline constexpr std::uint32_t ERROR_DISK_FULL = 112;
inline constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;

// Returns INVALID_HANDLE_VALUE on failure.
Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                   std::uint32_t attributes);
BOOL ReadFile(Handle file, void* buffer, std::uint32_t bytes, std::uint32_t* bytesRead);
BOOL WriteFile(Handle file, const void* buffer, std::uint32_t bytes, std::uint32_t* bytesWritten);
// Returns the low half of the new position, INVALID_SET_FILE_POINTER on failure.
std::uint32_t SetFilePointer(Handle file, std::int32_t distance, std::int32_t* distanceHigh, std::uint32_t method);
std::uint32_t GetFileSize(Handle file, std::uint32_t* sizeHigh);
BOOL DeleteFileA(const char* path);
// Hands everything written to the file to the disk before returning.
BOOL FlushFileBuffers(Handle file);
// Renames a file; an existing target is replaced only with
// MOVEFILE_REPLACE_EXISTING. With MOVEFILE_WRITE_THROUGH the folder of the
// new name is flushed too, so the rename outlasts a power loss once this
// returns.
BOOL MoveFileExA(const char* from, const char* to, std::uint32_t flags);
// Tests: the two calls a replacement relies on to outlast a power loss. While
// recording, every FlushFileBuffers and MoveFileExA call is kept in order as
// "flush <POSIX path>" or "rename <from> <to>" (POSIX paths), and planned
// failures make the next calls of one kind fail with an ERROR_ value before
// they touch the disk. RecordDurableCallsForTest(false) ends both.
enum class DurableCall { kFlush, kRename };
void RecordDurableCallsForTest(bool record);
std::vector<std::string> TakeDurableCallsForTest();
void FailDurableCallForTest(DurableCall call, int times, std::uint32_t error);
// Why the calling thread's last failed CreateFileA, WriteFile, DeleteFileA,
// FlushFileBuffers or MoveFileExA failed (an ERROR_ value).
std::uint32_t GetLastError();

// The current directory in library form ("/" turned into "\"). Returns the
// length written, or the size needed (terminator included) when the buffer is
// too small, or 0 on failure.
std::uint32_t GetCurrentDirectoryA(std::uint32_t bufferSize, char* buffer);
BOOL SetCurrentDirectoryA(const char* path);

struct FindData {
  std::uint32_t attributes;
  FileTime creationTime;
  FileTime lastAccessTime;
  FileTime lastWriteTime;
  std::uint32_t sizeHigh;
  std::uint32_t sizeLow;
  char name[MAX_PATH];
};

// Windows wildcard semantics: "*" and "?", and "*.*" also matches names
// without a dot. Returns INVALID_HANDLE_VALUE when nothing matches.
Handle FindFirstFileA(const char* pattern, FindData* data);
BOOL FindNextFileA(Handle search, FindData* data);
BOOL FindClose(Handle search);

// The temporary folder in library form, ending with "\". Same result rules as
// GetCurrentDirectoryA.
std::uint32_t GetTempPathA(std::uint32_t bufferSize, char* buffer);
// Creates a new, empty, uniquely named file in the temporary folder without a
// check-then-create race, open for writing. The library-form path is copied
// out when asked. Returns INVALID_HANDLE_VALUE on failure.
Handle CreateUniqueTempFile(char* pathOut, std::size_t pathOutSize);

// Path boundary, exposed for the rest of the stand-in and for tests. Both give
// "" (and a debug line) for a name that does not convert exactly.
std::string ToPosixPath(std::string_view libraryPath);
std::string ToLibraryPath(std::string_view posixPath);
// The POSIX path of an existing file or directory, found case-insensitively
// when the exact name does not exist; the converted path unchanged otherwise.
std::string ResolvePosixPath(std::string_view libraryPath);
// True when the UTF-8 "name" matches the Windows wildcard "pattern" (UTF-8
// too, "?" standing for one character), ignoring ASCII case.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace plat
