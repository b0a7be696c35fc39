// Font handles. Minimal until fonts are built: no font exists yet, so every
// handle is invalid.
#include "font/font_handle.h"

#include "core/call_trace.h"

namespace qz {

int DeleteFontHandle(int) {
  RecordCall("DeleteFontHandle");
  return -1;
}

}  // namespace qz
