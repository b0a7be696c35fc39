// Reads arbitrary bytes as CR LF text lines through a file-access table over
// memory, with a buffer size taken from the input: no line may overrun the
// buffer and the reader must always reach the end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/file_access.h"

namespace {

struct MemoryFile {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
  bool atEnd;
};

MemoryFile* AsFile(qz::FileHandle file) { return reinterpret_cast<MemoryFile*>(file); }

std::int64_t Tell(qz::FileHandle file) { return static_cast<std::int64_t>(AsFile(file)->position); }

int Seek(qz::FileHandle file, std::int64_t offset, int origin) {
  MemoryFile* f = AsFile(file);
  std::int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<std::int64_t>(f->position)
                                                     : static_cast<std::int64_t>(f->size);
  std::int64_t target = base + offset;
  if (target < 0 || target > static_cast<std::int64_t>(f->size)) return -1;
  f->position = static_cast<std::size_t>(target);
  f->atEnd = false;
  return 0;
}

std::size_t Read(void* buffer, std::size_t elementSize, std::size_t count, qz::FileHandle file) {
  MemoryFile* f = AsFile(file);
  if (elementSize != 1) return 0;
  std::size_t n = std::min(count, f->size - f->position);
  if (n == 0) f->atEnd = true;
  std::memcpy(buffer, f->data + f->position, n);
  f->position += n;
  return n;
}

int Eof(qz::FileHandle file) { return AsFile(file)->atEnd ? -1 : 0; }
int IdleCheck(qz::FileHandle) { return 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int bufferSize = 2 + data[0] % 64;
  MemoryFile file{data + 1, size - 1, 0, false};

  qz::FileAccessTable table = qz::GetFileAccessTable();
  table.Tell = Tell;
  table.Seek = Seek;
  table.Read = Read;
  table.Eof = Eof;
  table.IdleCheck = IdleCheck;
  qz::SetFileAccessTable(&table);

  std::vector<char> buffer(static_cast<std::size_t>(bufferSize));
  const qz::FileHandle handle = reinterpret_cast<qz::FileHandle>(&file);
  for (std::size_t calls = 0; calls <= size + 1; ++calls) {
    int length = qz::ReadFileLine(buffer.data(), bufferSize, handle);
    if (length < 0) break;
    if (length >= bufferSize || buffer[static_cast<std::size_t>(length)] != '\0') __builtin_trap();
    if (calls == size + 1) __builtin_trap();  // the reader stopped making progress
  }
  qz::SetFileAccessTable(&qz::kPlainFileAccessTable);
  return 0;
}
