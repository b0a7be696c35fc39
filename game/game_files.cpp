#include "game/game_files.h"

#include "core/file_access.h"

int CanOpenFile(GameString path) {
  const qz::FileHandle file = qz::OpenFileForRead(path.c_str(), 0);
  if (file == 0) return 0;
  qz::FileAccessClose(file);
  return 1;
}
