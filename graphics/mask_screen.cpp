// Mask screen switch. Minimal until the mask screen is built: no mask buffer
// exists, so switching is refused as it is without one.
#include "graphics/mask_screen.h"

#include "core/call_trace.h"

namespace qz {

int SetMaskScreenInUse(int) {
  RecordCall("SetMaskScreenInUse");
  return -1;
}

int IsMaskScreenInUse() { return 0; }

}  // namespace qz
