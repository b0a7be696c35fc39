// The one graphics-wide state record.
#include "graphics/graphics_state.h"

namespace qz {

GraphicsState& GetGraphicsState() {
  static GraphicsState state{};
  return state;
}

}  // namespace qz
