// qzapack: packs a directory tree into a QZA archive the library reads.
//   qzapack [-v 2|4] [-s] [-k KEY] [-c CODEPAGE] DIR [OUT]
// -s stores members unpacked; OUT defaults to DIR.QZA.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/archive_writer.h"

namespace fs = std::filesystem;

namespace {

// Seconds between 1601 and 1970, for FILETIME values.
constexpr std::uint64_t kFileTimeEpochOffset = 11644473600ull;

std::uint64_t ToFileTime(fs::file_time_type time) {
  const auto system = std::chrono::file_clock::to_sys(time);
  const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(system.time_since_epoch()).count() / 100;
  return static_cast<std::uint64_t>(ticks) + kFileTimeEpochOffset * 10000000ull;
}

bool Load(const fs::path& folder, qz::ArchiveSourceNode* node) {
  std::error_code failed;
  for (const fs::directory_entry& item : fs::directory_iterator(folder, failed)) {
    qz::ArchiveSourceNode child;
    child.name = item.path().filename().string();
    child.lastWriteTime = ToFileTime(item.last_write_time());
    child.creationTime = child.lastAccessTime = child.lastWriteTime;
    if (item.is_directory()) {
      child.isDirectory = true;
      if (!Load(item.path(), &child)) return false;
    } else if (item.is_regular_file()) {
      std::ifstream file(item.path(), std::ios::binary);
      child.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
      if (!file.good() && !file.eof()) {
        std::fprintf(stderr, "qzapack: cannot read %s\n", item.path().c_str());
        return false;
      }
    } else {
      continue;
    }
    node->children.push_back(std::move(child));
  }
  if (failed) std::fprintf(stderr, "qzapack: cannot list %s: %s\n", folder.c_str(), failed.message().c_str());
  return !failed;
}

int Usage() {
  std::fprintf(stderr, "usage: qzapack [-v 2|4] [-s] [-k KEY] [-c CODEPAGE] DIR [OUT]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  qz::ArchiveWriteOptions options;
  std::string key;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    const std::string flag = argv[i];
    if (flag == "-s") {
      options.pack = false;
    } else if ((flag == "-v" || flag == "-k" || flag == "-c") && i + 1 < argc) {
      const char* value = argv[++i];
      if (flag == "-v") options.version = std::atoi(value);
      if (flag == "-k") key = value;
      if (flag == "-c") options.codePage = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
    } else {
      return Usage();
    }
  }
  if (i >= argc || argc - i > 2 || (options.version != 2 && options.version != 4)) return Usage();
  const fs::path folder = fs::path(argv[i]).lexically_normal();
  const fs::path output = i + 1 < argc ? fs::path(argv[i + 1]) : fs::path(folder.string() + ".QZA");
  if (!key.empty()) options.keyString = key.c_str();

  qz::ArchiveSourceNode root;
  root.isDirectory = true;
  if (!fs::is_directory(folder)) {
    std::fprintf(stderr, "qzapack: %s is not a directory\n", folder.c_str());
    return 1;
  }
  if (!Load(folder, &root)) return 1;
  std::vector<std::uint8_t> image;
  qz::ArchiveWriteStats stats;
  std::string error;
  if (!qz::BuildArchiveImage(root, options, &image, &stats, &error)) {
    std::fprintf(stderr, "qzapack: %s\n", error.c_str());
    return 1;
  }
  std::ofstream file(output, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  file.close();
  if (!file) {
    std::fprintf(stderr, "qzapack: cannot write %s\n", output.c_str());
    return 1;
  }
  std::printf("%s: %u packed, %u stored, %llu bytes of members in %zu bytes\n", output.c_str(), stats.packedMembers,
              stats.storedMembers, static_cast<unsigned long long>(stats.unpackedBytes), image.size());
  return 0;
}
