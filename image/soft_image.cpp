// Software-image handles and the sine table. The handle table is minimal until
// software images are built (nothing to free); the sine table is complete.
#include "image/soft_image.h"

#include <atomic>
#include <cmath>
#include <numbers>

#include "core/call_trace.h"
#include "graphics/screen_settings.h"

namespace qz {
namespace {

float gSineTable[kSineTableSize];
std::atomic<bool> gSineTableBuilt{false};

}  // namespace

int FreeAllSoftImageHandles() {
  RecordCall("FreeAllSoftImageHandles");
  return 0;
}

int BuildSineTable() {
  RecordCall("BuildSineTable");
  if (gSineTableBuilt.load(std::memory_order_acquire) || GetHardwareRenderingFlag() == 0) return 0;
  for (int i = 0; i < kSineTableSize; ++i) {
    gSineTable[i] = static_cast<float>(std::sin(i * 2.0 * std::numbers::pi / kSineTableSize));
  }
  gSineTableBuilt.store(true, std::memory_order_release);
  return 0;
}

int CreateSoftImageHandleForTest(int, int) { return -1; }
int FreeSoftImageHandle(int) { return -1; }
int ResetSoftImageHandles() { return FreeAllSoftImageHandles(); }
int GetSoftImageRangeEnd() { return 0; }
int StretchBaseImageRect(int, int, int, int, BaseImage*, int, int, int, int, BaseImage*, int) { return -1; }
BuiltinImageBytes GetWhiteSquareTga() { return {nullptr, 0}; }
BuiltinImageBytes GetFourStepRampTga() { return {nullptr, 0}; }
BuiltinGraphs& GetBuiltinGraphs() {
  static BuiltinGraphs graphs{-1, -1, -1};
  return graphs;
}
int BuildGreyRampBaseImage(int) { return -1; }
int BuildMaterialTextureImages(BaseImage*, BaseImage*, const void*, std::size_t, const void*, std::size_t, int, float,
                               int) {
  return -1;
}
int RestoreBuiltinAndMaterialTextures() { return 0; }

const float* GetSineTable() { return gSineTableBuilt.load(std::memory_order_acquire) ? gSineTable : nullptr; }

}  // namespace qz
