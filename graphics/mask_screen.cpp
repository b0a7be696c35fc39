// Mask screen switch and flags. Minimal until the mask screen is built: no
// mask buffer exists, so switching is refused as it is without one.
#include "graphics/mask_screen.h"

#include "core/call_trace.h"

namespace qz {
namespace {

MaskScreenFlags gFlags;

}  // namespace

MaskScreenFlags& GetMaskScreenFlags() { return gFlags; }

int SetMaskScreenInUse(int) {
  RecordCall("SetMaskScreenInUse");
  return -1;
}

int IsMaskScreenInUse() { return gFlags.useRequested; }

int BeginMaskedDraw(int, int, int, int) {
  RecordCall("BeginMaskedDraw");
  return 0;
}

int EndMaskedDraw(int, int, int, int) {
  RecordCall("EndMaskedDraw");
  return 0;
}

}  // namespace qz
