// Rectangle drawing front end: the device builders while hardware drawing is
// on, else the software fill and frame (which subtract natively).
#include "graphics/draw_shapes.h"

#include "graphics/d3d_graph_draw.h"
#include "graphics/device_draw_helpers.h"
#include "graphics/draw_bounds.h"
#include "graphics/draw_graph_internal.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_mode_change.h"
#include "graphics/soft_draw.h"

namespace qz {
namespace {

using DeviceShape = int (*)(int, int, int, int, std::uint32_t);

int DrawShape(int x1, int y1, int x2, int y2, std::uint32_t color, DeviceShape device, DeviceShape software) {
  if (DrawingSkipped()) return 0;
  EnsureScreenReady();
  const bool hardware = GetGraphicsState().hardware3DOn != 0;
  const bool subtractive = hardware && GetDrawSettings().blendMode == kBlendSub;
  if (!subtractive && !DrawBracketNeeded()) {
    return hardware ? device(x1, y1, x2, y2, color) : software(x1, y1, x2, y2, color);
  }
  const Rect rect = OrderedDrawBounds(x1, y1, x2, y2);
  OpenMaskBracket(rect);
  int result = 0;
  if (!hardware) {
    result = software(x1, y1, x2, y2, color);
  } else if (subtractive && GetGraphicsState().caps.nativeSubtract == 0) {
    BeginSubBlendEmulation(rect);
    result = device(x1, y1, x2, y2, color);
    EndSubBlendEmulation(rect);
  } else {
    result = device(x1, y1, x2, y2, color);
  }
  CloseMaskBracket(rect);
  return result;
}

}  // namespace

int DrawRectangleShape(int x1, int y1, int x2, int y2, ColorValue color, int fill) {
  return fill != 0 ? DrawSolidRectangle(x1, y1, x2, y2, color) : DrawRectangleFrame(x1, y1, x2, y2, color);
}

int DrawSolidRectangle(int x1, int y1, int x2, int y2, ColorValue color) {
  return DrawShape(x1, y1, x2, y2, color, &DeviceDrawSolidRect, &SoftFillRect);
}

int DrawRectangleFrame(int x1, int y1, int x2, int y2, ColorValue color) {
  return DrawShape(x1, y1, x2, y2, color, &DeviceDrawRectFrame, &SoftDrawRectFrame);
}

}  // namespace qz
