// Archive speed: reading every member of a 64 MiB archive of mixed packed
// members through the file-access table, beside the same content as plain
// zlib files read and inflated with uncompress; and the writer's packing
// speed and ratio beside gzip -6 run over the same tree.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/archive_writer.h"
#include "core/file_access.h"
#include "core/file_access_archive.h"
#include "platform/file.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTreeBytes = 64u << 20;

// Contents like a game's data: text, tile maps, image-like rows with small
// differences, sound-like waves, and some incompressible bytes.
std::vector<std::uint8_t> MemberBytes(std::mt19937& random, int kind, std::size_t size) {
  std::vector<std::uint8_t> out(size);
  static const char* const kWords[] = {"floor", "enemy ", "door\r\n", "item", "shot", "block ", "=", "0", "12", ";"};
  switch (kind) {
    case 0:
      for (std::size_t i = 0; i < size;) {
        for (const char* w = kWords[random() % 10]; *w != '\0' && i < size; ++w) out[i++] = static_cast<std::uint8_t>(*w);
      }
      break;
    case 1:
      for (std::size_t i = 0; i < size; i += 4) {
        const std::uint32_t cell = random() % 8 == 0 ? random() % 64 : 3;
        for (std::size_t j = 0; j < 4 && i + j < size; ++j) out[i + j] = static_cast<std::uint8_t>(cell >> (8 * j));
      }
      break;
    case 2:
      for (std::size_t i = 0; i < size; ++i) {
        out[i] = i >= 1024 && random() % 16 != 0 ? out[i - 1024] : static_cast<std::uint8_t>((i % 1024) / 4 + random() % 3);
      }
      break;
    case 3:
      for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(128 + 100 * std::sin(i * 0.01) + random() % 9);
      break;
    default:
      for (auto& b : out) b = static_cast<std::uint8_t>(random());
      break;
  }
  return out;
}

struct BenchTree {
  fs::path folder;  // holds data.QZA, data/ (plain copy) and zlib/ (per-member zlib files)
  qz::ArchiveSourceNode root;
  std::vector<std::string> memberPaths;  // library form, through the archive
  std::vector<std::string> zlibPaths;
  std::vector<std::size_t> sizes;
  std::size_t totalBytes = 0;
};

const BenchTree& Tree() {
  static const BenchTree tree = [] {
    BenchTree made;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/qz_archive_benchXXXXXX";
    made.folder = ::mkdtemp(pattern.data());
    fs::create_directories(made.folder / "data");
    fs::create_directories(made.folder / "zlib");
    made.root.isDirectory = true;
    std::mt19937 random(42);
    for (int index = 0; made.totalBytes < kTreeBytes; ++index) {
      const std::size_t size = std::min<std::size_t>((64u << 10) + random() % (2u << 20), kTreeBytes - made.totalBytes);
      const int kind = index % 10 == 9 ? 4 : index % 4;
      qz::ArchiveSourceNode member;
      member.name = std::to_string(index);
      member.name.insert(0, 1, 'm');
      member.name.append(".bin");
      member.bytes = MemberBytes(random, kind, size);
      std::ofstream(made.folder / "data" / member.name, std::ios::binary)
          .write(reinterpret_cast<const char*>(member.bytes.data()), static_cast<std::streamsize>(size));
      uLongf packedSize = compressBound(size);
      std::vector<Bytef> packed(packedSize);
      compress2(packed.data(), &packedSize, member.bytes.data(), size, 6);
      const fs::path zlibPath = made.folder / "zlib" / member.name += ".z";
      std::ofstream(zlibPath, std::ios::binary).write(reinterpret_cast<const char*>(packed.data()), packedSize);
      made.memberPaths.push_back(plat::ToLibraryPath((made.folder / "data" / member.name).string()));
      made.zlibPaths.push_back(zlibPath.string());
      made.sizes.push_back(size);
      made.totalBytes += size;
      made.root.children.push_back(std::move(member));
    }
    std::vector<std::uint8_t> image;
    qz::ArchiveWriteStats stats;
    std::string error;
    qz::BuildArchiveImage(made.root, {}, &image, &stats, &error);
    std::ofstream(made.folder / "data.QZA", std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    std::atexit([] { fs::remove_all(Tree().folder); });
    return made;
  }();
  return tree;
}

// The plain copy sits beside the archive, so only "archive first" is timed;
// with the default extension the archive stands in for data/.
void BM_ArchiveReadEveryMember(benchmark::State& state) {
  const BenchTree& tree = Tree();
  qz::SetArchiveFileExtension(nullptr);
  qz::SetFileAccessTable(nullptr);
  std::vector<std::uint8_t> buffer(4u << 20);
  for (auto _ : state) {
    for (std::size_t i = 0; i < tree.memberPaths.size(); ++i) {
      const qz::FileHandle file = qz::FileAccessOpen(tree.memberPaths[i].c_str(), 0, 1, 0);
      if (file == 0 || qz::FileAccessRead(buffer.data(), 1, tree.sizes[i], file) != tree.sizes[i]) {
        state.SkipWithError("member read failed");
        return;
      }
      qz::FileAccessClose(file);
    }
  }
  qz::ReleaseUnusedArchives();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree.totalBytes));
}
BENCHMARK(BM_ArchiveReadEveryMember)->Unit(benchmark::kMillisecond);

void BM_ZlibReadEveryFile(benchmark::State& state) {
  const BenchTree& tree = Tree();
  std::vector<std::uint8_t> packed(compressBound(4u << 20));
  std::vector<std::uint8_t> buffer(4u << 20);
  for (auto _ : state) {
    for (std::size_t i = 0; i < tree.zlibPaths.size(); ++i) {
      std::FILE* file = std::fopen(tree.zlibPaths[i].c_str(), "rb");
      const std::size_t got = file != nullptr ? std::fread(packed.data(), 1, packed.size(), file) : 0;
      if (file != nullptr) std::fclose(file);
      uLongf size = buffer.size();
      if (uncompress(buffer.data(), &size, packed.data(), got) != Z_OK || size != tree.sizes[i]) {
        state.SkipWithError("zlib read failed");
        return;
      }
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree.totalBytes));
}
BENCHMARK(BM_ZlibReadEveryFile)->Unit(benchmark::kMillisecond);

void BM_PackTree(benchmark::State& state) {
  const BenchTree& tree = Tree();
  std::size_t archiveBytes = 0;
  for (auto _ : state) {
    std::vector<std::uint8_t> image;
    qz::ArchiveWriteStats stats;
    std::string error;
    qz::BuildArchiveImage(tree.root, {}, &image, &stats, &error);
    archiveBytes = image.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree.totalBytes));
  state.counters["ratio"] = static_cast<double>(archiveBytes) / static_cast<double>(tree.totalBytes);
}
BENCHMARK(BM_PackTree)->Unit(benchmark::kMillisecond)->Iterations(2);

// gzip -6 over every file of the same tree, one file at a time as the writer packs.
void BM_Gzip6Tree(benchmark::State& state) {
  const BenchTree& tree = Tree();
  const fs::path out = tree.folder / "gzip";
  std::uintmax_t gzipBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    fs::copy(tree.folder / "data", out);
    state.ResumeTiming();
    const std::string command = "gzip -6 -r -q " + out.string();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("gzip failed");
      return;
    }
    state.PauseTiming();
    gzipBytes = 0;
    for (const auto& item : fs::directory_iterator(out)) gzipBytes += item.file_size();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree.totalBytes));
  state.counters["ratio"] = static_cast<double>(gzipBytes) / static_cast<double>(tree.totalBytes);
}
BENCHMARK(BM_Gzip6Tree)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
