// Display modes. Minimal until the display-mode list is built: every mode
// counts as available unless a test supplied a list of its own.
#include "graphics/display_modes.h"

#include <vector>

#include "core/call_trace.h"

namespace qz {
namespace {

bool gUseTestList = false;
std::vector<DisplayModeRecord> gTestModes;

}  // namespace

int CheckDisplayModeAvailable(int width, int height, int bits) {
  RecordCall("CheckDisplayModeAvailable");
  if (!gUseTestList) return 1;
  for (const DisplayModeRecord& mode : gTestModes) {
    if (mode.width == width && mode.height == height && mode.colorBits == bits) return 1;
  }
  return 0;
}

void SetDisplayModeListForTest(const DisplayModeRecord* modes, int count) {
  gTestModes.clear();
  gUseTestList = count >= 0;
  if (modes == nullptr) return;
  gTestModes.assign(modes, modes + (count > 0 ? count : 0));
}

}  // namespace qz
