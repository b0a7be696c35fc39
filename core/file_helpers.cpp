// Small helpers over the installed file-access table (open for reading, read
// bytes, test the end, read a CR LF text line), the temporary file and the
// conversion of a platform search result into the library's find record.
#include <cstring>

#include "core/clock.h"
#include "core/file_access.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/multibyte.h"
#include "platform/clock.h"

namespace qz {
namespace {

// Asynchronous sets deliver the bytes of a read later; wait for them.
void WaitUntilIdle(FileHandle file) {
  while (FileAccessIdleCheck(file) == 0) plat::Sleep(0);
}

std::size_t ReadWhole(void* buffer, std::size_t size, FileHandle file) {
  const std::size_t got = FileAccessRead(buffer, 1, size, file);
  WaitUntilIdle(file);
  return got;
}

}  // namespace

FileHandle OpenFileForRead(const char* path, int asynchronous) {
  return FileAccessOpen(path, 0, 1, asynchronous ? 1 : 0);
}

std::size_t ReadFileBytes(void* buffer, std::size_t size, FileHandle file) {
  return FileAccessRead(buffer, 1, size, file);
}

int IsFilePositionAtEnd(FileHandle file) {
  const std::int64_t position = FileAccessTell(file);
  if (position < 0 || FileAccessSeek(file, 0, 2) != 0) return 0;
  const std::int64_t end = FileAccessTell(file);
  FileAccessSeek(file, position, 0);
  return position == end ? 1 : 0;
}

int ReadFileLine(char* buffer, int bufferSize, FileHandle file) {
  if (buffer == nullptr || bufferSize < 2) return AppendLogText(text::kFileBadArgument);
  if (FileAccessEof(file) != 0) return -1;
  const std::int64_t start = FileAccessTell(file);
  if (start < 0) return -1;
  const std::size_t wanted = static_cast<std::size_t>(bufferSize) - 1;
  const std::size_t got = ReadWhole(buffer, wanted, file);
  if (got == 0) return -1;

  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
  std::size_t length = 0;
  while (length < got) {
    const unsigned char byte = bytes[length];
    if (byte == '\0') break;
    if (byte == '\r' && length + 1 < got && bytes[length + 1] == '\n') {
      FileAccessSeek(file, start + static_cast<std::int64_t>(length) + 2, 0);
      break;
    }
    if (byte == '\r' && length + 1 == got) {
      // The LF may be the first byte of the next chunk: end the line before
      // the pair rather than keep the CR in it and start the next line with LF.
      char next = 0;
      const std::int64_t after = start + static_cast<std::int64_t>(got);
      const bool pair = ReadWhole(&next, 1, file) == 1 && next == '\n';
      FileAccessSeek(file, pair ? after + 1 : after, 0);
      if (pair) break;
      ++length;
      continue;
    }
    if (IsCurrentLeadByte(byte)) {
      if (length + 1 < got) {
        length += 2;
        continue;
      }
      // The pair is cut off at the end of what was read: read it again next
      // time, unless it cannot get any further (the file ends after the lead
      // byte, or it is all the buffer holds), which would repeat forever.
      if (got == wanted && length > 0) {
        FileAccessSeek(file, start + static_cast<std::int64_t>(length), 0);
        break;
      }
    }
    ++length;
  }
  buffer[length] = '\0';
  return static_cast<int>(length);
}

plat::Handle CreateTempFile(char* pathOut, std::size_t pathOutSize) {
  if (pathOut != nullptr && pathOutSize == 0) {
    AppendLogText(text::kFileBadArgument);
    return nullptr;
  }
  const plat::Handle file = plat::CreateUniqueTempFile(pathOut, pathOutSize);
  if (file == plat::INVALID_HANDLE_VALUE) {
    AppendLogText(text::kFileTempCreateFailed);
    return nullptr;
  }
  return file;
}

void FillFindRecord(const plat::FindData* findData, FindRecord* record) {
  if (findData == nullptr || record == nullptr) {
    AppendLogText(text::kFileBadArgument);
    return;
  }
  const std::size_t length = strnlen(findData->name, sizeof(findData->name) - 1);
  std::memcpy(record->name, findData->name, length);
  record->name[length] = '\0';
  record->isDirectory = (findData->attributes & plat::FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
  record->sizeLow = findData->sizeLow;
  record->sizeHigh = findData->sizeHigh;
  FileTimeToDateRecord(&findData->creationTime, &record->creationTime);
  FileTimeToDateRecord(&findData->lastWriteTime, &record->lastWriteTime);
}

}  // namespace qz
