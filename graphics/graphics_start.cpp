// Graphics start and end. Minimal until the graphics device is built: each
// entry records its call and succeeds (the start fails only on a test switch).
#include "graphics/graphics_start.h"

#include "core/call_trace.h"

namespace qz {

int StartGraphicsScreen() {
  RecordCall("StartGraphicsScreen");
  return IsCallFailingForTest("StartGraphicsScreen") ? -1 : 0;
}

int TerminateGraphics() {
  RecordCall("TerminateGraphics");
  return 0;
}

int EndGraphicsSystem() {
  RecordCall("EndGraphicsSystem");
  return 0;
}

}  // namespace qz
