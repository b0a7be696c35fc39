// The main program. Until the game exists it is a small demonstration of the
// library layer: it writes the system report to a log in the current folder.
#include <cstdio>

#include "core/clock.h"
#include "core/file_access.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/system_info.h"

int main() {
  qz::SetLogOutputEnabled(1);
  qz::SetFileAccessTable(nullptr);
  char folder[4096];
  if (qz::FileAccessGetDir(folder, sizeof folder) == 0) qz::SetLogFolder(folder);
  qz::StartLogFile();
  qz::ReportSystemInfo();
  qz::DumpTrackedAllocs();
  std::printf("Veltrin! P library demo: system report written to %s\\Log.txt\n", qz::GetLogFolder());
  return 0;
}
