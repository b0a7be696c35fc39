// Draw target selection and clearing.
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
int GetDrawTargetWidth() { return 0; }
int GetDrawTargetHeight() { return 0; }

int ClearDrawTarget(const plat::WinRect*) { return 0; }

}  // namespace qz
