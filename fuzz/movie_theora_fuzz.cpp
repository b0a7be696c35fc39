// Arbitrary bytes as a Theora movie: opened through a file table over the
// bytes (the header reader and the one-scan index), then played forwards,
// sought and stepped across the end with the decode thread running, and
// closed. Damaged input must fail to open or stop cleanly.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/file_access.h"
#include "core/log.h"
#include "movie/movie_services.h"
#include "movie/theora_movie.h"

namespace {

struct MemoryFile {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

MemoryFile* AsFile(qz::FileHandle file) { return reinterpret_cast<MemoryFile*>(file); }

std::size_t Read(void* buffer, std::size_t elementSize, std::size_t count, qz::FileHandle file) {
  MemoryFile* memory = AsFile(file);
  if (elementSize == 0) return 0;
  const std::size_t elements = std::min(count, (memory->size - memory->position) / elementSize);
  std::memcpy(buffer, memory->data + memory->position, elements * elementSize);
  memory->position += elements * elementSize;
  return elements;
}

int Seek(qz::FileHandle file, std::int64_t offset, int origin) {
  MemoryFile* memory = AsFile(file);
  std::int64_t base = 0;
  if (!qz::SeekOriginBase(origin, static_cast<std::int64_t>(memory->position), static_cast<std::int64_t>(memory->size),
                          &base)) {
    return -1;
  }
  const std::int64_t target = base + offset;
  if (target < 0 || target > static_cast<std::int64_t>(memory->size)) return -1;
  memory->position = static_cast<std::size_t>(target);
  return 0;
}

std::int64_t Tell(qz::FileHandle file) { return static_cast<std::int64_t>(AsFile(file)->position); }
int Eof(qz::FileHandle file) { return AsFile(file)->position >= AsFile(file)->size ? 1 : 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qz::SetLogOutputEnabled(0);
  qz::InitTheoraColorTables();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qz::FileAccessTable table{};
  table.Read = Read;
  table.Seek = Seek;
  table.Tell = Tell;
  table.Eof = Eof;
  MemoryFile file{data, size, 0};
  qz::TheoraMovieContext* movie = qz::OpenTheoraMovie(&table, reinterpret_cast<qz::FileHandle>(&file), 3);
  if (movie == nullptr) return 0;
  const int frames = static_cast<int>(movie->frameCount);
  for (int i = 0; i < 6; ++i) {
    qz::AdvanceTheoraFrames(movie, 1 + i * frames / 5 % std::max(frames, 1));
    qz::ConvertTheoraFrame(movie, 1, 0);
  }
  qz::SeekTheoraFrame(movie, frames / 2);
  qz::ConvertTheoraFrame(movie, 1, 0);
  qz::CloseTheoraMovie(movie);
  return 0;
}
