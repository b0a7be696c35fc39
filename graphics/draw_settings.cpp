// Clip rectangle. Minimal until the draw settings are built: record, succeed.
#include "graphics/draw_settings.h"

#include "core/call_trace.h"

namespace qz {

int SetClipRectangle(int, int, int, int) {
  RecordCall("SetClipRectangle");
  return 0;
}

int ReapplyClipRectangle() {
  RecordCall("ReapplyClipRectangle");
  return 0;
}

}  // namespace qz
