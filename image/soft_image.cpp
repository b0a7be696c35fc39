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

const float* GetSineTable() { return gSineTableBuilt.load(std::memory_order_acquire) ? gSineTable : nullptr; }

}  // namespace qz
