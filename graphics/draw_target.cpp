// Draw target selection. Minimal until the draw target is built: it keeps the
// chosen target and records the call.
#include "graphics/draw_target.h"

#include "core/call_trace.h"

namespace qz {
namespace {

int gDrawTarget = kFrontScreen;

}  // namespace

int SelectDrawTarget(int target) {
  RecordCall("SelectDrawTarget");
  gDrawTarget = target;
  return 0;
}

int GetDrawTarget() { return gDrawTarget; }

}  // namespace qz
