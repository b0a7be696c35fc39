// Preamble steps shared by the graph and rectangle draws.
#include "graphics/draw_graph_internal.h"

#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/mask_screen.h"

namespace qz {

bool DrawingSkipped() {
  const DrawSettingsBlock& settings = GetDrawSettings();
  return settings.skipDrawing != 0 || settings.clipEmpty != 0;
}

bool DrawBracketNeeded() { return GetMaskScreenFlags().active != 0 || GetDrawSettings().drawTarget == kFrontScreen; }

void OpenMaskBracket(const Rect& rect) {
  if (GetMaskScreenFlags().active != 0) BeginMaskedDraw(rect.left, rect.top, rect.right, rect.bottom);
}

void CloseMaskBracket(const Rect& rect) {
  if (GetMaskScreenFlags().active != 0) EndMaskedDraw(rect.left, rect.top, rect.right, rect.bottom);
}

}  // namespace qz
