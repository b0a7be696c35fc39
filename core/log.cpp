// The log file. Every append opens, writes and closes the file so the log
// survives a crash; a lock keeps lines whole and the stamp/indent state sane
// when worker threads log alongside the main thread.
#include "core/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "core/clock.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/multibyte.h"
#include "core/string_util.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/file.h"
#include "platform/sync.h"

namespace qz {

namespace {

// Large enough for any folder the file layer can open; longer ones are refused.
constexpr std::size_t kFolderCapacity = 4096;
constexpr std::size_t kNameCapacity = 256;
constexpr std::size_t kStackTextLimit = 255;
constexpr std::size_t kFormatBufferSize = 2048;

std::atomic<int> outputEnabled{1};

struct LogState {
  char folder[kFolderCapacity] = {};
  char fileName[kNameCapacity] = "Log.txt";
  int datedName = 0;
  int noStamp = 0;
  int indent = 0;
  int lineOpen = 0;
  std::uint32_t startTime = 0;
};

LogState state;

// Never destroyed, so logging during static destruction still works. The
// lock is held only around file writes and state, never while allocating, so
// it cannot deadlock against the allocator's lock (which logs while held).
plat::CriticalSection& Lock() {
  static plat::CriticalSection* const lock = new plat::CriticalSection();
  return *lock;
}


// The path appends write to: the folder, one separator unless it already ends
// with one, and the file name; the bare name when no folder is set.
void BuildLogPath(char* path) {
  const std::size_t folderLength = std::strlen(state.folder);
  std::memcpy(path, state.folder, folderLength);
  std::size_t length = folderLength;
  if (folderLength > 0 && state.folder[folderLength - 1] != '\\' && state.folder[folderLength - 1] != '/') {
    path[length++] = '\\';
  }
  CopyStringBytes(path + length, state.fileName);
}
constexpr std::size_t kPathCapacity = kFolderCapacity + 1 + kNameCapacity;

void BuildDatedName(char* name) {
  DateTimeRecord now{};
  GetLocalDateTime(&now);
  const std::int32_t parts[5] = {now.year, now.month, now.day, now.hour, now.minute};
  char number[34];
  CopyStringBytes(name, "Log");
  for (std::int32_t part : parts) {
    std::strcat(name, IntToText(part, number, 10));
    std::strcat(name, "_");
  }
  std::strcat(name, IntToText(now.second, number, 10));
  std::strcat(name, ".txt");
}

// LF becomes CR LF until an LF that already follows a CR; from there the
// text is copied unchanged. Double-byte characters are stepped over whole so
// a trail byte is never taken for a line end. `out` holds 2 * strlen + 1.
std::size_t ConvertLineEnds(const char* text, char* out) {
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  std::size_t length = 0;
  bool afterCr = false;
  while (*in != 0) {
    if (IsCurrentLeadByte(*in)) {
      out[length++] = static_cast<char>(*in++);
      if (*in != 0) out[length++] = static_cast<char>(*in++);
      afterCr = false;
    } else if (*in == '\n' && afterCr) {
      while (*in != 0) out[length++] = static_cast<char>(*in++);
    } else if (*in == '\n') {
      out[length++] = '\r';
      out[length++] = '\n';
      ++in;
      afterCr = false;
    } else {
      afterCr = *in == '\r';
      out[length++] = static_cast<char>(*in++);
    }
  }
  out[length] = '\0';
  return length;
}

void WriteAll(plat::Handle file, const char* bytes, std::size_t length) {
  while (length > 0) {
    const std::uint32_t chunk = length > 0x40000000u ? 0x40000000u : static_cast<std::uint32_t>(length);
    std::uint32_t written = 0;
    if (!plat::WriteFile(file, bytes, chunk, &written) || written == 0) return;
    bytes += written;
    length -= written;
  }
}

void WriteLineStart(plat::Handle file) {
  if (!state.noStamp) {
    char stamp[40];
    const auto elapsed = static_cast<std::int32_t>((plat::timeGetTime() - state.startTime) & 0x7FFFFFFFu);
    IntToText(elapsed, stamp, 10);
    std::strcat(stamp, ":");
    WriteAll(file, stamp, std::strlen(stamp));
    plat::OutputDebugStringA(stamp);
  }
  char tabs[65];
  std::memset(tabs, '\t', sizeof(tabs) - 1);
  for (int left = state.indent; left > 0;) {
    const int count = left < 64 ? left : 64;
    tabs[count] = '\0';
    WriteAll(file, tabs, static_cast<std::size_t>(count));
    plat::OutputDebugStringA(tabs);
    tabs[count] = '\t';
    left -= count;
  }
}

void WriteConverted(const char* text, std::size_t length) {
  plat::CriticalSectionScope scope(Lock());
  if (!outputEnabled.load() || state.folder[0] == '\0') return;
  char path[kPathCapacity];
  BuildLogPath(path);
  plat::Handle file =
      plat::CreateFileA(path, plat::GENERIC_WRITE, 0, plat::OPEN_ALWAYS, plat::FILE_ATTRIBUTE_NORMAL);
  if (file == plat::INVALID_HANDLE_VALUE) return;
  plat::SetFilePointer(file, 0, nullptr, plat::FILE_END);
  if (!state.lineOpen) WriteLineStart(file);
  WriteAll(file, text, length);
  plat::OutputDebugStringA(text);
  state.lineOpen = length == 0 || text[length - 1] != '\n';
  plat::CloseHandle(file);
}

}  // namespace

int SetLogOutputEnabled(int enabled) {
  outputEnabled.store(enabled != 0 ? 1 : 0);
  return 0;
}

int IsLogOutputEnabled() { return outputEnabled.load(); }

int StartLogFile() {
  plat::CriticalSectionScope scope(Lock());
  if (!outputEnabled.load()) return 0;
  if (state.datedName) {
    BuildDatedName(state.fileName);
  } else {
    CopyStringBytes(state.fileName, "Log.txt");
  }
  // Empties the very file that appends write to.
  char path[kPathCapacity];
  BuildLogPath(path);
  plat::DeleteFileA(path);
  plat::Handle file = plat::CreateFileA(path, plat::GENERIC_WRITE, 0, plat::CREATE_NEW, plat::FILE_ATTRIBUTE_NORMAL);
  if (file != plat::INVALID_HANDLE_VALUE) plat::CloseHandle(file);
  state.indent = 0;
  state.lineOpen = 0;
  state.startTime = plat::timeGetTime();
  return 0;
}

int AppendLogText(const char* text) {
  if (text == nullptr || !outputEnabled.load()) return -1;
  const std::size_t length = std::strlen(text);
  char stackBuffer[kStackTextLimit * 2 + 30];
  char* converted = stackBuffer;
  char* heapBuffer = nullptr;
  if (length > kStackTextLimit) {
    // Allocated before the log lock is taken; see Lock().
    heapBuffer = static_cast<char*>(QZ_ALLOC(length * 2 + 1));
    if (heapBuffer == nullptr) return -1;
    converted = heapBuffer;
  }
  WriteConverted(converted, ConvertLineEnds(text, converted));
  if (heapBuffer != nullptr) QZ_FREE(heapBuffer);
  return -1;
}

int AppendLogFormat(const char* format, ...) {
  if (format == nullptr || !outputEnabled.load()) return -1;
  char buffer[kFormatBufferSize];
  va_list arguments;
  va_start(arguments, format);
  // One byte is kept for the added line end.
  const int length = FormatStringV(buffer, sizeof(buffer) - 1, format, arguments);
  va_end(arguments);
  buffer[length] = '\n';
  buffer[length + 1] = '\0';
  return AppendLogText(buffer);
}

int IncreaseLogIndent() {
  plat::CriticalSectionScope scope(Lock());
  ++state.indent;
  return 0;
}

int DecreaseLogIndent() {
  plat::CriticalSectionScope scope(Lock());
  if (state.indent > 0) --state.indent;
  return 0;
}

int SetLogFolder(const char* folder) {
  if (folder == nullptr) return AppendLogText(text::kLogFolderNull);
  const std::size_t length = std::strlen(folder);
  if (length >= kFolderCapacity) return AppendLogFormat(text::kLogFolderTooLong, length);
  plat::CriticalSectionScope scope(Lock());
  std::memcpy(state.folder, folder, length + 1);
  return 0;
}

const char* GetLogFolder() { return state.folder; }

int SetLogDatedName(int enabled) {
  plat::CriticalSectionScope scope(Lock());
  state.datedName = enabled != 0;
  return 0;
}

int SetLogNoStamp(int enabled) {
  plat::CriticalSectionScope scope(Lock());
  state.noStamp = enabled != 0;
  return 0;
}

}  // namespace qz
