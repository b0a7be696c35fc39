// Searches over a directory listing with Windows wildcard rules. A search takes
// a sorted snapshot of its matches at the start, so names created or deleted
// while the caller walks the results do not disturb the walk. Patterns match
// the UTF-8 names on disk; the names found are returned in the code page.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_internal.h"

namespace plat {
namespace {

class FindObject : public KernelObject {
 public:
  std::vector<FindData> entries;
  std::size_t next = 0;
};

unsigned char Fold(char c) { return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c))); }

// Past the UTF-8 character that starts at `at`.
std::size_t NextCharacter(std::string_view text, std::size_t at) {
  ++at;
  while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  return at;
}

// "*" any run, "?" one character, ignoring ASCII case; a failed "*" resumes
// one character further, so the cost stays linear in the name per star.
bool Glob(std::string_view pattern, std::string_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starAt = std::string_view::npos;
  std::size_t resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n = NextCharacter(name, n);
    } else if (p < pattern.size() && Fold(pattern[p]) == Fold(name[n])) {
      ++p;
      ++n;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      n = resumeAt = NextCharacter(name, resumeAt);
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

FileTime ToFileTime(const struct timespec& time) { return UnixTimeToFileTime(time.tv_sec, time.tv_nsec); }

// `name` is the UTF-8 name on disk, `shownName` its code-page form.
bool FillEntry(const std::string& folder, const std::string& name, const std::string& shownName, FindData* data) {
  if (shownName.size() >= sizeof(data->name)) return false;
  const std::string path = folder + name;
  struct stat status;
  if (::stat(path.c_str(), &status) != 0 && ::lstat(path.c_str(), &status) != 0) return false;
  *data = FindData{};
  const bool directory = S_ISDIR(status.st_mode);
  data->attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  // Linux keeps no creation time; the status-change time stands in for it.
  data->creationTime = ToFileTime(status.st_ctim);
  data->lastAccessTime = ToFileTime(status.st_atim);
  data->lastWriteTime = ToFileTime(status.st_mtim);
  const auto size = directory ? 0u : static_cast<std::uint64_t>(status.st_size);
  data->sizeHigh = static_cast<std::uint32_t>(size >> 32);
  data->sizeLow = static_cast<std::uint32_t>(size);
  std::memcpy(data->name, shownName.c_str(), shownName.size() + 1);
  return true;
}

bool IsFileSystemRoot(const std::string& folder) {
  struct stat here;
  struct stat root;
  return ::stat(folder.c_str(), &here) == 0 && ::stat("/", &root) == 0 && here.st_dev == root.st_dev &&
         here.st_ino == root.st_ino;
}

// "." and ".." first, as Windows lists them, then by name ignoring case.
bool ListsBefore(const FindData& a, const FindData& b) {
  const auto rank = [](const char* name) {
    if (std::strcmp(name, ".") == 0) return 0;
    if (std::strcmp(name, "..") == 0) return 1;
    return 2;
  };
  if (rank(a.name) != rank(b.name)) return rank(a.name) < rank(b.name);
  for (std::size_t i = 0;; ++i) {
    const unsigned char x = Fold(a.name[i]);
    const unsigned char y = Fold(b.name[i]);
    if (x != y || x == 0) return x != y ? x < y : std::strcmp(a.name, b.name) < 0;
  }
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (Glob(pattern, name)) return true;
  // "x.*" also matches "x" without a dot; so "*.*" matches every name.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return Glob(pattern.substr(0, pattern.size() - 2), name);
  }
  // "x." matches only names without a dot.
  if (!pattern.empty() && pattern.back() == '.' && name.find('.') == std::string_view::npos) {
    return Glob(pattern.substr(0, pattern.size() - 1), name);
  }
  return false;
}

Handle FindFirstFileA(const char* pattern, FindData* data) {
  if (pattern == nullptr || data == nullptr) return INVALID_HANDLE_VALUE;
  const std::string posix = ToPosixPath(pattern);
  const std::size_t slash = posix.rfind('/');
  const std::string namePattern = slash == std::string::npos ? posix : posix.substr(slash + 1);
  if (namePattern.empty()) return INVALID_HANDLE_VALUE;
  std::string folder = slash == std::string::npos ? std::string(".") : ResolveConvertedPath(posix.substr(0, slash + 1));
  if (folder.back() != '/') folder += '/';

  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return INVALID_HANDLE_VALUE;
  const bool root = IsFileSystemRoot(folder);
  auto* search = new FindObject;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (root && (name == "." || name == "..")) continue;
    if (!MatchesWildcard(namePattern, name)) continue;
    // A name the code page cannot hold is left out (ToLibraryPath reports it)
    // rather than listed under a spelling that would open nothing.
    const std::string shownName = ToLibraryPath(name);
    FindData found;
    if (!shownName.empty() && FillEntry(folder, name, shownName, &found)) search->entries.push_back(found);
  }
  ::closedir(dir);
  if (search->entries.empty()) {
    delete search;
    return INVALID_HANDLE_VALUE;
  }
  std::sort(search->entries.begin(), search->entries.end(), ListsBefore);
  *data = search->entries[0];
  search->next = 1;
  return ToHandle(search);
}

BOOL FindNextFileA(Handle search, FindData* data) {
  FindObject* object = FromHandle<FindObject>(search);
  if (object == nullptr || data == nullptr || object->next >= object->entries.size()) return FALSE;
  *data = object->entries[object->next++];
  return TRUE;
}

BOOL FindClose(Handle search) {
  FindObject* object = FromHandle<FindObject>(search);
  if (object == nullptr) return FALSE;
  delete object;
  return TRUE;
}

}  // namespace plat
