// Searches of the archive-aware set: a pattern inside an archive lists the
// matching entries of one archive directory (after "." and ".."); any other
// pattern is searched on disk by the plain set.
#include <cstring>
#include <string>

#include "core/clock.h"
#include "core/file_access_archive.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/multibyte.h"

namespace qz {
namespace {

constexpr int kSearchCount = 512;
constexpr FindHandle kSearchHandleTag = 0x0A000000;

enum ListStep : std::int32_t { kListDot = 0, kListDotDot = 1, kListEntries = 2 };

struct ArchiveSearch {
  std::int32_t isArchive;
  std::int32_t archiveSlot;
  FindHandle plainSearch;
  std::uint32_t directory;
  std::uint32_t next;
  std::int32_t step;
  char* pattern;  // tracked, upper case
};

ArchiveSearch* g_searches[kSearchCount];

ArchiveSearch* LookUp(FindHandle search) {
  const FindHandle slot = search & ~kSearchHandleTag;
  if ((search & kSearchHandleTag) != kSearchHandleTag || slot < 0 || slot >= kSearchCount ||
      g_searches[slot] == nullptr) {
    AppendLogText(text::kFileBadFindHandle);
    return nullptr;
  }
  return g_searches[slot];
}

void FillDotRecord(const char* name, FindRecord* record) {
  std::memset(record, 0, sizeof *record);
  std::strcpy(record->name, name);
  record->isDirectory = 1;
}

// The next listed entry of an archive search; false when none is left.
bool FillArchiveFindRecord(ArchiveSearch* search, FindRecord* record) {
  if (search->step == kListDot) {
    search->step = search->directory == 0 ? kListEntries : kListDotDot;
    FillDotRecord(".", record);
    return true;
  }
  if (search->step == kListDotDot) {
    search->step = kListEntries;
    FillDotRecord("..", record);
    return true;
  }
  ArchiveReader* reader = GetArchiveSlotReader(search->archiveSlot);
  if (reader == nullptr) return false;
  const std::int64_t count = GetArchiveDirectorySize(reader, search->directory);
  while (search->next < count) {
    ArchiveFileEntry entry;
    if (!GetArchiveDirectoryEntry(reader, search->directory, search->next++, &entry)) return false;
    std::uint16_t units;
    const std::uint8_t* form = GetArchiveSearchForm(reader, entry, &units);
    if (form == nullptr) continue;
    const std::string upper(reinterpret_cast<const char*>(form), strnlen(reinterpret_cast<const char*>(form), units * 4u));
    if (!CompareArchiveName(search->pattern, upper.c_str(), reader->charset)) continue;
    std::memset(record, 0, sizeof *record);
    if (!GetArchiveStoredName(reader, entry, record->name, sizeof record->name)) continue;
    record->isDirectory = (entry.attributes & kAttributeDirectory) != 0;
    record->sizeLow = record->isDirectory ? 0 : entry.dataSize;
    FileTimeToDateRecord(&entry.creationTime, &record->creationTime);
    FileTimeToDateRecord(&entry.lastWriteTime, &record->lastWriteTime);
    return true;
  }
  return false;
}

void FreeSearch(int slot) {
  QZ_FREE(g_searches[slot]->pattern);
  QZ_FREE(g_searches[slot]);
  g_searches[slot] = nullptr;
}

// Walks to the pattern's directory inside the archive and lists the first
// entry; false when the directory is missing or nothing is listed.
bool StartArchiveSearch(ArchiveSearch* search, const std::string& memberPattern, FindRecord* record) {
  ArchiveReader* reader = GetArchiveSlotReader(search->archiveSlot);
  const char* name;
  const std::size_t directoryLength = SplitArchivePath(memberPattern.c_str(), reader->charset, &name);
  reader->currentDirectory = 0;
  if (name != memberPattern.c_str()) {
    const std::string directory = directoryLength == 0 ? "\\" : memberPattern.substr(0, directoryLength);
    if (FindArchiveEntry(reader, directory.c_str(), 1, nullptr) != 0) return false;
  }
  search->directory = reader->currentDirectory;
  reader->currentDirectory = 0;
  const std::size_t patternBytes = std::strlen(name) + 1;
  search->pattern = static_cast<char*>(QZ_ALLOC(patternBytes));
  if (search->pattern == nullptr) return false;
  std::memcpy(search->pattern, name, patternBytes);
  return FillArchiveFindRecord(search, record);
}

}  // namespace

bool CompareArchiveName(const char* pattern, const char* name, int charset) {
  const char* p = pattern;
  const char* n = name;
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  auto lead = [charset](const char* at) { return IsLeadByte(charset, static_cast<unsigned char>(*at)) && at[1] != '\0'; };
  while (*n != '\0') {
    if (*p == '*') {
      while (*p == '*') ++p;
      if (*p == '\0') return true;
      starPattern = p;
      starName = n;
      continue;
    }
    if (*p == '?') {
      ++p;
      ++n;
      continue;
    }
    if (lead(p)) {
      if (n[0] == p[0] && n[1] == p[1]) {
        p += 2;
        n += 2;
        continue;
      }
    } else if (*p != '\0' && *p == *n) {
      ++p;
      ++n;
      continue;
    }
    // Mismatch: let the last "*" take one more character and try again.
    if (starPattern == nullptr) return false;
    starName += lead(starName) ? 2 : 1;
    n = starName;
    p = starPattern;
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

FindHandle ArchiveFindFirst(const char* pattern, FindRecord* record) {
  if (pattern == nullptr || record == nullptr) return AppendLogText(text::kFileBadArgument);
  int slot = 0;
  while (slot < kSearchCount && g_searches[slot] != nullptr) ++slot;
  if (slot == kSearchCount) return AppendLogText(text::kArchiveFindTableFull);
  auto* search = static_cast<ArchiveSearch*>(QZ_ALLOC_ZEROED(sizeof(ArchiveSearch)));
  if (search == nullptr) return AppendLogText(text::kArchiveAllocFailed);
  g_searches[slot] = search;

  int archive;
  std::string archiveName, memberPattern;
  if (ResolveArchivePath(pattern, &archive, &archiveName, &memberPattern) == 0) {
    search->isArchive = 1;
    search->archiveSlot = archive;
    if (!StartArchiveSearch(search, memberPattern, record)) {
      DropArchiveReference(archive);
      FreeSearch(slot);
      return -1;
    }
  } else {
    search->plainSearch = Win32FindFirst(pattern, record);
    if (search->plainSearch == -1) {
      FreeSearch(slot);
      return -1;
    }
  }
  return slot | kSearchHandleTag;
}

int ArchiveFindNext(FindHandle search, FindRecord* record) {
  ArchiveSearch* found = LookUp(search);
  if (found == nullptr) return -1;
  if (record == nullptr) return AppendLogText(text::kFileBadArgument);
  if (!found->isArchive) return Win32FindNext(found->plainSearch, record);
  return FillArchiveFindRecord(found, record) ? 0 : -1;
}

int ArchiveFindClose(FindHandle search) {
  ArchiveSearch* found = LookUp(search);
  if (found == nullptr) return -1;
  int result = 0;
  if (found->isArchive) {
    DropArchiveReference(found->archiveSlot);
  } else {
    result = Win32FindClose(found->plainSearch);
  }
  FreeSearch(static_cast<int>(search & ~kSearchHandleTag));
  return result;
}

}  // namespace qz
