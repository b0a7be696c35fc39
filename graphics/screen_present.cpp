// Present and repaint. Minimal until the present is built: record and succeed.
#include "graphics/screen_present.h"

#include "core/call_trace.h"

namespace qz {

int RepaintScreen() {
  RecordCall("RepaintScreen");
  return 0;
}

int EndDeviceScene() {
  RecordCall("EndDeviceScene");
  return 0;
}

}  // namespace qz
