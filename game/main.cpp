// The main program. Until the game exists it is a small demonstration of the
// library layer: it starts the library in a window ("QzLib", no title set),
// runs frames until the window is closed or Escape is pressed, and ends it.
// The log (Log.txt in the current folder) shows every start and end step.
#include <cstdio>

#include "core/clock.h"
#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "platform/window.h"

int main() {
  qz::SetLogOutputEnabled(1);
  qz::ChangeWindowMode(1);
  if (qz::InitLibraryEntry() != 0) {
    std::fprintf(stderr, "The library could not start; see Log.txt\n");
    return 1;
  }
  // Escape is read from the window's key messages until the input devices exist.
  while (qz::PumpMessagesEntry() == 0 && !plat::IsVirtualKeyDown(plat::VK_ESCAPE)) {
    qz::WaitMilliseconds(16);
  }
  qz::EndLibraryEntry();
  return 0;
}
