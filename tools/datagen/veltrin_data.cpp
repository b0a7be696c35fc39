// veltrin_data: writes the game's data set into a folder, or compiles and
// dumps single floor files.
//   veltrin_data OUT_DIR [--seed N] [--cell-colours]
//   veltrin_data --compile IN.txt OUT.map
//   veltrin_data --dump FILE.map
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/map_format.h"
#include "tools/datagen/data_set.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: veltrin_data OUT_DIR [--seed N] [--cell-colours]\n"
               "       veltrin_data --compile IN.txt OUT.map\n"
               "       veltrin_data --dump FILE.map\n");
  return 2;
}

bool ReadWholeFile(const char* path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

int Compile(const char* in, const char* out) {
  std::string text;
  if (!ReadWholeFile(in, &text)) {
    std::fprintf(stderr, "veltrin_data: cannot read %s\n", in);
    return 1;
  }
  MapFileData data;
  std::string error;
  if (!datagen::CompileFloorText(text, &data, &error)) {
    std::fprintf(stderr, "veltrin_data: %s: %s\n", in, error.c_str());
    return 1;
  }
  const std::vector<std::uint8_t> bytes = WriteMapFile(data);
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file.good()) {
    std::fprintf(stderr, "veltrin_data: cannot write %s\n", out);
    return 1;
  }
  return 0;
}

int Dump(const char* path) {
  std::string bytes;
  MapFileData data;
  if (!ReadWholeFile(path, &bytes)) {
    std::fprintf(stderr, "veltrin_data: cannot read %s\n", path);
    return 1;
  }
  if (!ParseMapFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &data)) {
    std::fprintf(stderr, "veltrin_data: %s is not a well-formed map file\n", path);
    return 1;
  }
  const std::string text = datagen::DumpFloorText(data);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "--compile") return Compile(argv[2], argv[3]);
  if (args.size() == 2 && args[0] == "--dump") return Dump(argv[2]);
  if (args.empty() || args[0].starts_with("--")) return Usage();
  datagen::DataSetOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--cell-colours") {
      options.art = datagen::ArtStyle::kCellColours;
    } else if (args[i] == "--seed" && i + 1 < args.size()) {
      char* end = nullptr;
      const unsigned long seed = std::strtoul(args[++i].c_str(), &end, 10);
      if (end == nullptr || *end != '\0' || args[i].empty()) return Usage();
      options.seed = static_cast<std::uint32_t>(seed);
    } else {
      return Usage();
    }
  }
  std::string error;
  if (!datagen::WriteDataSet(args[0], options, &error)) {
    std::fprintf(stderr, "veltrin_data: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
