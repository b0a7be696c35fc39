// Reading a 64 MiB file in 64 KiB pieces through the file-access table, beside
// plain fread of the same file in the same run; the table should cost little
// more than the C library.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "platform/file.h"

namespace {

constexpr std::size_t kFileSize = 64u << 20;
constexpr std::size_t kChunk = 64u << 10;

// Made once per run in the temporary folder and removed at exit.
const std::string& BenchFile() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    std::string made = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") + "/qz_read_benchXXXXXX";
    const int fd = ::mkstemp(made.data());
    std::vector<char> chunk(kChunk);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 131 + 7);
    for (std::size_t done = 0; fd >= 0 && done < kFileSize; done += kChunk) {
      if (::write(fd, chunk.data(), kChunk) != static_cast<ssize_t>(kChunk)) break;
    }
    if (fd >= 0) ::close(fd);
    std::atexit([] { std::remove(BenchFile().c_str()); });
    return made;
  }();
  return path;
}

void BM_ReadThroughFileAccessTable(benchmark::State& state) {
  const std::string library = plat::ToLibraryPath(BenchFile());
  std::vector<char> buffer(kChunk);
  for (auto _ : state) {
    const qz::FileHandle file = qz::FileAccessOpen(library.c_str(), 0, 1, 0);
    if (file == 0) {
      state.SkipWithError("open failed");
      break;
    }
    std::size_t total = 0;
    while (const std::size_t got = qz::FileAccessRead(buffer.data(), 1, kChunk, file)) total += got;
    qz::FileAccessClose(file);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(BM_ReadThroughFileAccessTable)->Unit(benchmark::kMillisecond);

void BM_ReadWithFread(benchmark::State& state) {
  const std::string& path = BenchFile();
  std::vector<char> buffer(kChunk);
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      state.SkipWithError("open failed");
      break;
    }
    std::size_t total = 0;
    while (const std::size_t got = std::fread(buffer.data(), 1, kChunk, file)) total += got;
    std::fclose(file);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(BM_ReadWithFread)->Unit(benchmark::kMillisecond);

}  // namespace
