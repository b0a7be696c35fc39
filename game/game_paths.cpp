// The start directory is read at its full length: a fixed buffer would leave
// it empty in a deep folder, and every game file would then be missing.
#include "game/game_paths.h"

#include "core/file_access.h"
#include "core/log.h"
#include "platform/file.h"

GameString currentDirectory;

int ReadStartDirectory() {
  std::uint32_t needed = plat::GetCurrentDirectoryA(0, nullptr);
  // The directory may change between the two calls; ask again if it grew.
  while (needed != 0) {
    GameString directory;
    if (GameStringReserve(directory, needed) == 0) break;
    const std::uint32_t written = plat::GetCurrentDirectoryA(needed, directory.buffer);
    if (written != 0 && written < needed) {
      currentDirectory = std::move(directory);
      return 0;
    }
    needed = written;
  }
  GameStringAssign(currentDirectory, "");
  qz::AppendLogText("The start directory could not be read\n");
  return -1;
}

GameString GamePath(const char* relative) { return GameStringConcat(currentDirectory, relative); }

std::string DiskFileName(const GameString& path) {
  std::string disk = plat::ToPosixPath(path.c_str());
  return disk.empty() ? std::string(path.c_str()) : disk;
}

bool DataSetFound() {
  struct Entry {
    const char* name;
    bool folder;
  };
  for (const Entry& entry : {Entry{"\\data_en", true}, Entry{"\\data_en.vtr", false}}) {
    qz::FindRecord record{};
    const qz::FindHandle search = qz::FileAccessFindFirst(GamePath(entry.name).c_str(), &record);
    if (search == -1) continue;
    qz::FileAccessFindClose(search);
    if ((record.isDirectory != 0) == entry.folder) return true;
  }
  return false;
}
