// The one window-system state block of the process. Static storage, so it is
// zero before the first window and CreateMainWindow can reset it wholesale.
#include "core/window_state.h"

namespace qz {
namespace {

WindowSystemState gWindowSystemState{};

}  // namespace

WindowSystemState& GetWindowSystemState() { return gWindowSystemState; }

}  // namespace qz
