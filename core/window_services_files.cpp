// The names of files dropped on the window, kept as tracked blocks until the
// program has read them.
#include "core/memory.h"
#include "core/window_services.h"
#include "core/window_state.h"

namespace qz {

int FreeDroppedFileNames() {
  WindowSystemState& state = GetWindowSystemState();
  for (int i = 0; i < state.droppedFileCount && i < kDroppedFileCapacity; ++i) {
    QZ_FREE(state.droppedFiles[i]);
    state.droppedFiles[i] = nullptr;
  }
  state.droppedFileCount = 0;
  return 0;
}

}  // namespace qz
