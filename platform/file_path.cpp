// Conversion between the library's Windows-form paths and POSIX paths, and the
// case-insensitive resolution of names that do not exist exactly (the library
// and the game spell names with whatever case Windows would have accepted).
//
// Mapping: the library's names are in its code page (Shift-JIS by default) and
// names on disk are UTF-8, so a path is converted first, which keeps a
// Shift-JIS trail byte 0x5C inside its character, and then every "\" becomes
// "/". A name that has no exact form on the other side is refused (an empty
// result and a line on the debug output), never passed on mangled. A drive
// "X:" is dropped: "X:\a" is "/a", "X:a" is "a" relative to the current
// directory and "X:" alone is the current directory, since there is only one
// file tree. A driveless path that starts with a separator is rooted at "/".
//
// Resolution starts from the longest leading part that exists as spelled and
// looks each component after it up in a cached directory listing, taking the
// least name equal to it ignoring ASCII case. A cached hit is checked
// against the disk. A miss re-reads the listing only when the folder may have
// changed since it was read: its modification time differs, or was so close to
// the read that a change in the same timestamp tick could hide behind it. So a
// stale cache can cost a re-read but never a wrong answer, and a name looked
// for again and again in a settled folder costs one stat, not a listing sorted
// anew; changes made through the stand-in drop the cache at once.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/file.h"
#include "platform/file_internal.h"
#include "platform/text_codepage.h"
#include "platform/window.h"

namespace plat {
namespace {

// Bounds the memory a long run spends on listings; the cache simply restarts.
constexpr std::size_t kMaxCachedDirectories = 256;

// A folder's names (in the order read) and its modification time when they were read.
struct Listing {
  std::vector<std::string> names;
  timespec folderModified{};
  // The modification time was older than any tick a later change could share.
  bool settled = false;
};

std::mutex g_listingMutex;
std::map<std::string, Listing> g_listings;

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

bool NameExists(const std::string& path) {
  struct stat status;
  return ::lstat(path.c_str(), &status) == 0;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

void ReportUnconvertibleName(const char* what, const std::string& utf8Name) {
  OutputDebugStringA((std::string(what) + ": " + utf8Name + "\n").c_str());
}

std::string Join(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string joined = folder;
  if (joined.back() != '/') joined += '/';
  joined += name;
  return joined;
}

bool FolderModified(const std::string& folder, timespec* modified) {
  struct stat status;
  if (::stat(folder.c_str(), &status) != 0) return false;
  *modified = status.st_mtim;
  return true;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// File systems stamp times from a clock coarser than a nanosecond, so a
// listing read within a tick of the folder's last change may miss a change
// made in the same tick. A time with a fraction comes from a clock whose tick
// is a few milliseconds; a whole second may come from one that stamps only
// seconds (or two, as FAT does).
constexpr std::int64_t kFineTickNanoseconds = 50'000'000;
constexpr std::int64_t kWholeSecondTickNanoseconds = 3'000'000'000;

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

Listing ReadListing(const std::string& folder) {
  Listing listing;
  // Stamped before reading, so a change made during the read shows as a new time.
  const bool stamped = FolderModified(folder, &listing.folderModified);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return listing;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") listing.names.emplace_back(name);
  }
  ::closedir(dir);
  timespec now{};
  const std::int64_t tick =
      listing.folderModified.tv_nsec != 0 ? kFineTickNanoseconds : kWholeSecondTickNanoseconds;
  listing.settled = stamped && ::clock_gettime(CLOCK_REALTIME, &now) == 0 &&
                    Nanoseconds(now) - Nanoseconds(listing.folderModified) > tick;
  return listing;
}

// True when the folder cannot have changed since `listing` was read; a
// caller that has just stat'ed the folder passes its modification time.
bool StillCurrent(const std::string& folder, const Listing& listing, const timespec* knownModified) {
  if (!listing.settled) return false;
  timespec modified{};
  if (knownModified != nullptr) {
    modified = *knownModified;
  } else if (!FolderModified(folder, &modified)) {
    return false;
  }
  return SameTime(modified, listing.folderModified);
}

// Of several spellings that match, the least in byte order, whatever order
// the folder gave: a busy folder (/tmp) is read again so often that sorting
// every listing cost more than the lookups.
const std::string* FindIgnoringCase(const std::vector<std::string>& names, std::string_view wanted) {
  const std::string* least = nullptr;
  for (const std::string& name : names) {
    if (EqualIgnoringAsciiCase(name, wanted) && (least == nullptr || name < *least)) least = &name;
  }
  return least;
}

// The on-disk spelling of `wanted` inside `folder` ("" is the current
// directory), or false when no name matches.
bool LookUpIgnoringCase(const std::string& folder, std::string_view wanted, std::string* found,
                        const timespec* folderModified) {
  const std::string key = folder.empty() ? std::string(".") : folder;
  std::lock_guard<std::mutex> lock(g_listingMutex);
  auto cached = g_listings.find(key);
  if (cached != g_listings.end()) {
    const std::string* name = FindIgnoringCase(cached->second.names, wanted);
    if (name != nullptr && NameExists(Join(folder, *name))) {
      *found = *name;
      return true;
    }
    if (name == nullptr && StillCurrent(key, cached->second, folderModified)) return false;
  }
  if (g_listings.size() >= kMaxCachedDirectories) g_listings.clear();
  Listing& listing = g_listings[key];
  listing = ReadListing(key);
  const std::string* name = FindIgnoringCase(listing.names, wanted);
  if (name == nullptr) return false;
  *found = *name;
  return true;
}

// The longest leading folder of a path that exists as spelled.
struct ExistingLead {
  std::size_t length = 0;  // up to the "/" that follows it; 0 when none
  timespec modified{};
};

// Probed from the end: the parent of a missing name usually exists, so one
// stat answers however deep the path, and its time serves the parent's listing.
ExistingLead FindExistingLead(const std::string& posix) {
  for (std::size_t end = posix.find_last_of('/'); end != std::string::npos && end > 0;
       end = posix.find_last_of('/', end - 1)) {
    struct stat status;
    if (::stat(posix.substr(0, end).c_str(), &status) == 0) return {end, status.st_mtim};
  }
  return {};
}

// Walks the components of a POSIX path that does not exist as spelled,
// resolving each that does not exist exactly. With keepLast, a missing last
// component is kept as spelled.
bool ResolveComponents(const std::string& posix, bool keepLast, std::string* out) {
  const ExistingLead lead = FindExistingLead(posix);
  std::string resolved = lead.length > 0 ? posix.substr(0, lead.length) : posix.front() == '/' ? "/" : "";
  std::size_t start = lead.length > 0 ? lead.length + 1 : 0;
  while (start <= posix.size()) {
    std::size_t end = posix.find('/', start);
    if (end == std::string::npos) end = posix.size();
    const std::string_view component(posix.data() + start, end - start);
    const bool last = posix.find_first_not_of('/', end) == std::string::npos;
    const bool inLead = lead.length > 0 && start == lead.length + 1;
    start = end + 1;
    if (component.empty()) continue;
    std::string exact = Join(resolved, component);
    // The whole path is known to be missing, so its last name is not asked again.
    if (component == "." || component == ".." || (!(last && end == posix.size()) && NameExists(exact))) {
      resolved = std::move(exact);
    } else if (last && keepLast) {
      resolved = std::move(exact);
    } else {
      std::string name;
      if (!LookUpIgnoringCase(resolved, component, &name, inLead ? &lead.modified : nullptr)) return false;
      resolved = Join(resolved, name);
    }
  }
  if (posix.back() == '/' && resolved.back() != '/') resolved += '/';
  *out = std::move(resolved);
  return true;
}

}  // namespace

std::string ToPosixPath(std::string_view libraryPath) {
  std::string posix;
  if (!CodePageToUtf8Exact(libraryPath, &posix)) {
    ReportUnconvertibleName("file name is not valid in the code page", CodePageToUtf8(std::string(libraryPath).c_str()));
    return std::string();
  }
  const bool hadDrive = HasDrive(posix);
  if (hadDrive) posix.erase(0, 2);
  // "X:" alone names the current directory.
  if (hadDrive && posix.empty()) return std::string(".");
  std::replace(posix.begin(), posix.end(), '\\', '/');
  return posix;
}

std::string ToLibraryPath(std::string_view posixPath) {
  std::string utf8(posixPath);
  std::replace(utf8.begin(), utf8.end(), '/', '\\');
  std::string library;
  if (!Utf8ToCodePageExact(utf8, &library)) {
    ReportUnconvertibleName("file name has no form in the code page", utf8);
    return std::string();
  }
  return library;
}

std::string ResolvePosixPath(std::string_view libraryPath) { return ResolveConvertedPath(ToPosixPath(libraryPath)); }

std::string ResolveConvertedPath(std::string posix) {
  if (posix.empty() || NameExists(posix)) return posix;
  std::string resolved;
  if (ResolveComponents(posix, false, &resolved)) return resolved;
  return posix;
}

std::string ResolvePosixPathForCreate(std::string_view libraryPath) {
  std::string posix = ToPosixPath(libraryPath);
  if (posix.empty() || NameExists(posix)) return posix;
  std::string resolved;
  if (ResolveComponents(posix, false, &resolved)) return resolved;
  if (ResolveComponents(posix, true, &resolved)) return resolved;
  return posix;
}

void InvalidateDirectoryListings() {
  std::lock_guard<std::mutex> lock(g_listingMutex);
  g_listings.clear();
}

}  // namespace plat
