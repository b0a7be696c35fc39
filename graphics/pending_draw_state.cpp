// Pending draw state: minimal until the translation is built.
#include "graphics/pending_draw_state.h"

namespace qz {

PendingDrawState& GetPendingDrawState() {
  static PendingDrawState state{};
  return state;
}

void ResetTextureStageRecords() {
  PendingDrawState& state = GetPendingDrawState();
  state.stagesInUse = 0;
  for (int s = 0; s < kMaxDrawStages; ++s) {
    state.stages[s] = TextureStageRecord{nullptr, s, -1, -1, -1, -1, -1, -1, -1};
  }
}

int ApplyPendingDrawState(int, const DrawStageBlock*, int) { return -1; }
int SetUserRenderStateBlock(const DrawStageBlock*, int) { return -1; }
int SetDeviceRenderTarget(plat::IDirect3DSurface9*) { return -1; }

}  // namespace qz
