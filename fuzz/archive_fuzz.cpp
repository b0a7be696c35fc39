// Arbitrary bytes as an archive: opened from memory, every directory walked
// and every member unpacked; closing must give the caller's image back byte
// for byte. Inputs that begin with "FILE:" also go, the mark taken off, as an
// archive file through the archive-aware file table (search with "*", open
// and read each file), in a folder made for the process and removed at exit.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/archive_codec.h"
#include "core/archive_reader.h"
#include "core/file_access.h"
#include "core/file_access_archive.h"
#include "core/log.h"
#include "platform/file.h"
#include "platform/process_leftovers.h"

namespace {

constexpr int kMaxDepth = 8;
constexpr int kMaxEntries = 4096;
constexpr std::int64_t kMaxUnpacked = 64 << 20;

void ReadMember(qz::ArchiveReader* reader, const std::string& path) {
  std::uint32_t offset, size;
  if (qz::GetArchiveFileLocation(reader, path.c_str(), &offset, &size) != 0) return;
  qz::ArchiveFileEntry entry;
  if (qz::FindArchiveFile(reader, path.c_str(), &entry) != 0) return;
  if (reader->header.version < 2 || entry.packedSize == qz::kEntryStored) {
    volatile std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < size; ++i) sum = sum + reader->image[offset + i];
    return;
  }
  const std::int64_t unpacked = qz::DecodeArchiveData(reader->image + offset, size, nullptr, 0);
  if (unpacked < 0 || unpacked > kMaxUnpacked) return;
  std::vector<std::uint8_t> out(static_cast<std::size_t>(unpacked));
  qz::DecodeArchiveData(reader->image + offset, size, out.data(), out.size());
}

void Walk(qz::ArchiveReader* reader, std::uint32_t directory, const std::string& path, int depth, int* budget) {
  if (depth > kMaxDepth) return;
  const std::int64_t count = qz::GetArchiveDirectorySize(reader, directory);
  for (std::int64_t i = 0; i < count && --*budget > 0; ++i) {
    qz::ArchiveFileEntry entry;
    if (!qz::GetArchiveDirectoryEntry(reader, directory, static_cast<std::uint32_t>(i), &entry)) return;
    std::uint16_t units;
    const std::uint8_t* form = qz::GetArchiveSearchForm(reader, entry, &units);
    char name[260];
    if (form == nullptr || !qz::GetArchiveStoredName(reader, entry, name, sizeof name)) continue;
    const std::string upper(reinterpret_cast<const char*>(form), strnlen(reinterpret_cast<const char*>(form), units * 4u));
    if (!qz::CompareArchiveName("*", upper.c_str(), reader->charset)) continue;
    const std::string child = path + "\\" + name;
    if (entry.attributes & qz::kAttributeDirectory) {
      reader->currentDirectory = 0;
      if (qz::FindArchiveEntry(reader, child.c_str(), 1, nullptr) == 0) {
        Walk(reader, reader->currentDirectory, child, depth + 1, budget);
      }
    } else {
      ReadMember(reader, child);
    }
  }
}

constexpr char kFileBackedMark[] = "FILE:";
constexpr std::size_t kFileBackedMarkSize = sizeof(kFileBackedMark) - 1;

// The folder of the archive file: made once per process (a new name each
// input would change the listing of /tmp the file layer keeps), removed with
// the file at exit; one a killed run left is removed by the next start.
constexpr char kFolderPrefix[] = "qz_archive_fuzz_";
std::string gArchiveFolder;

void RemoveArchiveFolder() {
  std::remove((gArchiveFolder + "/fuzz.QZA").c_str());
  rmdir(gArchiveFolder.c_str());
}

const std::string& ArchiveFolder() {
  if (gArchiveFolder.empty()) {
    plat::RemoveLeftoversOfEndedProcesses("/tmp", kFolderPrefix);
    const std::string made = "/tmp/" + plat::NameOfThisProcess(kFolderPrefix);
    if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return gArchiveFolder;
    gArchiveFolder = made;
    std::atexit(RemoveArchiveFolder);
  }
  return gArchiveFolder;
}

void ThroughTheFileTable(const std::uint8_t* data, std::size_t size) {
  if (ArchiveFolder().empty()) return;
  const std::string file = gArchiveFolder + "/fuzz.QZA";
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return;
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  qz::ReleaseUnusedArchives();
  const std::string folder = plat::ToLibraryPath(gArchiveFolder + "/fuzz");
  qz::FindRecord record;
  const qz::FindHandle search = qz::FileAccessFindFirst((folder + "\\*").c_str(), &record);
  if (search == -1) return;
  int budget = kMaxEntries;
  do {
    if (record.isDirectory) continue;
    const qz::FileHandle member = qz::FileAccessOpen((folder + "\\" + record.name).c_str(), 0, 1, 0);
    if (member == 0) continue;
    char chunk[4096];
    while (qz::FileAccessRead(chunk, 1, sizeof chunk, member) != 0) {
    }
    qz::FileAccessClose(member);
  } while (--budget > 0 && qz::FileAccessFindNext(search, &record) == 0);
  qz::FileAccessFindClose(search);
  qz::ReleaseUnusedArchives();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    qz::SetLogOutputEnabled(0);
    qz::SetFileAccessTable(nullptr);
    return true;
  }();
  (void)ready;
  std::vector<std::uint8_t> image(data, data + size);
  qz::ArchiveReader reader;
  if (qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr) == 0) {
    int budget = kMaxEntries;
    Walk(&reader, 0, "", 0, &budget);
    qz::CloseArchive(&reader);
  }
  if (size != 0 && std::memcmp(image.data(), data, size) != 0) __builtin_trap();
  if (size >= kFileBackedMarkSize && std::memcmp(data, kFileBackedMark, kFileBackedMarkSize) == 0) {
    ThroughTheFileTable(data + kFileBackedMarkSize, size - kFileBackedMarkSize);
  }
  return 0;
}
