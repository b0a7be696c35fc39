// Profile (INI) files over the file stand-in's path boundary: a reader with
// the Windows matching rules and a writer that edits one key in place and
// swaps the whole new text in with a rename, so a crash leaves the old file.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

#include "platform/debug_output.h"
#include "platform/file.h"
#include "platform/file_internal.h"
#include "platform/process_leftovers.h"

namespace plat {
namespace {

// Shift-JIS lead bytes: the byte after one is a trail byte, which may lie in
// the ASCII letter range and must not be case-folded or taken for a mark.
bool IsLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

unsigned char FoldAscii(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

bool NamesMatch(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (FoldAscii(x) != FoldAscii(y)) {
      return false;
    }
  }
  return true;
}

// The first position of `mark` that is not the trail byte of a double-byte
// character, or npos.
std::size_t FindMark(std::string_view text, char mark) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == mark) return i;
    if (IsLeadByte(static_cast<unsigned char>(text[i]))) ++i;
  }
  return std::string_view::npos;
}

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One pair of matching quotes around a whole value is not part of it. Quote
// marks lie below every trail byte, so they are never half a character.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

enum class LineKind { kOther, kSection, kKey };

struct ProfileLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;
  std::string_view value;
};

ProfileLine ParseLine(std::string_view line) {
  const std::string_view text = Trim(line);
  ProfileLine parsed;
  if (text.empty() || text.front() == ';') return parsed;
  if (text.front() == '[') {
    const std::string_view inside = text.substr(1);
    parsed.kind = LineKind::kSection;
    parsed.name = Trim(inside.substr(0, FindMark(inside, ']')));
    return parsed;
  }
  const std::size_t equals = FindMark(text, '=');
  if (equals == std::string_view::npos) return parsed;
  parsed.kind = LineKind::kKey;
  parsed.name = Trim(text.substr(0, equals));
  parsed.value = Trim(text.substr(equals + 1));
  return parsed;
}

// Walks the lines of a profile text; each line comes without its ending, and
// `end` is the offset just past its ending.
class LineWalker {
 public:
  explicit LineWalker(std::string_view text) : text_(text) {}
  bool Next(std::string_view* line, std::size_t* end) {
    if (position_ >= text_.size()) return false;
    std::size_t stop = text_.find('\n', position_);
    const std::size_t next = stop == std::string_view::npos ? text_.size() : stop + 1;
    if (stop == std::string_view::npos) stop = text_.size();
    std::string_view found = text_.substr(position_, stop - position_);
    if (!found.empty() && found.back() == '\r') found.remove_suffix(1);
    *line = found;
    *end = next;
    position_ = next;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section, std::string_view key) {
  LineWalker lines(text);
  std::string_view line;
  std::size_t end = 0;
  bool inSection = false;
  while (lines.Next(&line, &end)) {
    const ProfileLine parsed = ParseLine(line);
    if (parsed.kind == LineKind::kSection) {
      inSection = NamesMatch(parsed.name, section);
    } else if (inSection && parsed.kind == LineKind::kKey && NamesMatch(parsed.name, key)) {
      return Unquote(parsed.value);
    }
  }
  return std::nullopt;
}

enum class ReadResult { kRead, kMissing, kFailed };

ReadResult ReadWholeFile(const std::string& posix, std::string* text, mode_t* mode) {
  text->clear();
  if (posix.empty()) return ReadResult::kFailed;
  int fd;
  do {
    fd = ::open(posix.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat status;
  ReadResult result = ReadResult::kRead;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    result = ReadResult::kFailed;
  } else {
    if (mode != nullptr) *mode = status.st_mode & 07777;
    char chunk[4096];
    for (;;) {
      const ssize_t got = ::read(fd, chunk, sizeof(chunk));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) result = ReadResult::kFailed;
      if (got <= 0) break;
      text->append(chunk, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  return result;
}

// The length of the longest prefix of `text` within `limit` bytes that does
// not end inside a double-byte character.
std::size_t WholeCharacterPrefix(std::string_view text, std::size_t limit) {
  std::size_t kept = 0;
  while (kept < text.size()) {
    const std::size_t width = IsLeadByte(static_cast<unsigned char>(text[kept])) && kept + 1 < text.size() ? 2 : 1;
    if (kept + width > limit) break;
    kept += width;
  }
  return kept;
}

// The line ending the file already uses, CR LF for a new file.
std::string_view LineEndingOf(std::string_view text) {
  const std::size_t newline = text.find('\n');
  if (newline != std::string_view::npos && (newline == 0 || text[newline - 1] != '\r')) return "\n";
  return "\r\n";
}

// The text with section/key set to value: the key's line is replaced, a new
// key goes after the section's last entry, a new section at the end.
std::string SetValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view newline = LineEndingOf(text);
  const std::string entry = std::string(key) + "=" + std::string(value);
  LineWalker lines(text);
  std::string_view line;
  std::size_t end = 0;
  std::size_t lineStart = 0;
  bool inSection = false;
  std::size_t insertAt = std::string_view::npos;  // past the target section's last entry
  while (lines.Next(&line, &end)) {
    const ProfileLine parsed = ParseLine(line);
    if (parsed.kind == LineKind::kSection) {
      if (inSection) break;
      inSection = NamesMatch(parsed.name, section);
      if (inSection) insertAt = end;
    } else if (inSection && parsed.kind == LineKind::kKey && NamesMatch(parsed.name, key)) {
      return std::string(text.substr(0, lineStart)) + entry + std::string(text.substr(lineStart + line.size()));
    } else if (inSection && !Trim(line).empty()) {
      insertAt = end;
    }
    lineStart = end;
  }
  // Built by appending only: GCC 12 misreads inserts into a string as
  // overlapping copies in optimised builds.
  const bool newSection = insertAt == std::string_view::npos;
  std::string updated(text.substr(0, newSection ? text.size() : insertAt));
  // The text before may end in a last line without an ending.
  if (!updated.empty() && updated.back() != '\n') updated += newline;
  if (newSection) {
    updated += '[';
    updated += section;
    updated += ']';
    updated += newline;
  }
  updated += entry;
  updated += newline;
  if (!newSection) updated += text.substr(insertAt);
  return updated;
}

bool WriteAll(int fd, std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Writes the text to a new file beside the target, flushes it and renames it
// over the target, so readers see the old file or the whole new one.
constexpr const char* kTemporaryPrefix = ".profile_";

bool ReplaceFile(const std::string& posix, std::string_view text, mode_t mode) {
  const std::size_t slash = posix.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : posix.substr(0, slash + 1);
  // Named after this process, so a later start can tell a kill's leftover
  // from another process's write in progress.
  std::string temporary =
      (slash == std::string::npos ? std::string() : folder) + NameOfThisProcess(kTemporaryPrefix) + "_XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), posix.c_str()) != 0) {
    ::unlink(temporary.c_str());
    InvalidateDirectoryListings();
    return false;
  }
  SyncFolder(folder);
  InvalidateDirectoryListings();
  return true;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

void Report(const char* call, const char* what, const char* fileName) {
  std::string line = std::string(call) + ": " + what;
  if (fileName != nullptr) line += std::string(" (") + fileName + ")";
  line += "\n";
  OutputDebugStringA(line.c_str());
}

}  // namespace

std::uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                       char* buffer, std::uint32_t bufferSize, const char* fileName) {
  if (buffer == nullptr || bufferSize == 0) return 0;
  buffer[0] = '\0';
  if (section == nullptr || key == nullptr || fileName == nullptr) {
    Report("GetPrivateProfileStringA", "no section, key or file name", fileName);
    return 0;
  }
  std::string text;
  std::optional<std::string_view> value;
  if (ReadWholeFile(ResolvePosixPath(fileName), &text, nullptr) == ReadResult::kRead) {
    // Names compare as the file's are read: without surrounding blanks.
    value = FindValue(text, Trim(section), Trim(key));
  }
  const std::string_view chosen = value ? *value : std::string_view(defaultValue == nullptr ? "" : defaultValue);
  const std::size_t length = WholeCharacterPrefix(chosen, bufferSize - 1);
  chosen.copy(buffer, length);
  buffer[length] = '\0';
  return static_cast<std::uint32_t>(length);
}

std::uint32_t GetPrivateProfileIntA(const char* section, const char* key, std::int32_t defaultValue,
                                    const char* fileName) {
  char value[64];
  // An empty value counts as missing, as on Windows.
  if (GetPrivateProfileStringA(section, key, "", value, sizeof(value), fileName) == 0) {
    return static_cast<std::uint32_t>(defaultValue);
  }
  const char* digits = value;
  const bool negative = *digits == '-';
  if (*digits == '-' || *digits == '+') ++digits;
  std::uint32_t number = 0;
  // Wraps like the 32-bit arithmetic of the original; a non-number gives 0.
  for (; *digits >= '0' && *digits <= '9'; ++digits) number = number * 10u + static_cast<std::uint32_t>(*digits - '0');
  return negative ? 0u - number : number;
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName) {
  if (section == nullptr || key == nullptr || value == nullptr || fileName == nullptr || fileName[0] == '\0') {
    Report("WritePrivateProfileStringA", "no section, key, value or file name", fileName);
    return FALSE;
  }
  const std::string_view sectionName = Trim(section);
  const std::string_view keyName = Trim(key);
  if (HasLineBreak(sectionName) || HasLineBreak(keyName) || HasLineBreak(value) ||
      FindMark(keyName, '=') != std::string_view::npos || FindMark(sectionName, ']') != std::string_view::npos ||
      keyName.empty()) {
    Report("WritePrivateProfileStringA", "section or key cannot be written as one entry", fileName);
    return FALSE;
  }
  const std::string posix = ResolvePosixPathForCreate(fileName);
  std::string text;
  mode_t mode = 0644;
  // A file that exists but cannot be read is left alone rather than replaced
  // by one holding only the new key.
  if (ReadWholeFile(posix, &text, &mode) == ReadResult::kFailed) {
    Report("WritePrivateProfileStringA", "cannot read the file", fileName);
    return FALSE;
  }
  if (!ReplaceFile(posix, SetValue(text, sectionName, keyName, value), mode)) {
    Report("WritePrivateProfileStringA", "cannot write the file", fileName);
    return FALSE;
  }
  return TRUE;
}

int RemoveInterruptedProfileWrites(const char* fileName) {
  if (fileName == nullptr) return 0;
  const std::string posix = ResolvePosixPath(fileName);
  const std::size_t slash = posix.rfind('/');
  const int removed =
      RemoveLeftoversOfEndedProcesses(slash == std::string::npos ? "." : posix.substr(0, slash + 1), kTemporaryPrefix);
  if (removed > 0) InvalidateDirectoryListings();
  return removed;
}

}  // namespace plat
