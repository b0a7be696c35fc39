// Screen-mode change and device rebuild. Minimal until the graphics device is
// built: the entries record their call and succeed; the restore-handler slot
// is real so the window procedure's "no handler" paths can be reached.
#include "graphics/screen_mode_change.h"

#include "core/call_trace.h"
#include "graphics/graph_restore.h"
#include "image/soft_image.h"

namespace qz {
namespace {

DeviceLostRestoreHandler gHandler = nullptr;

}  // namespace

int ApplyScreenModeChange(int, int, int, int, int) {
  RecordCall("ApplyScreenModeChange");
  return 0;
}

int RebuildGraphicsDevice(int, int, int, int, int) {
  RecordCall("RebuildGraphicsDevice");
  return 0;
}

int RebuildGraphicsDeviceDefault() {
  RecordCall("RebuildGraphicsDeviceDefault");
  return 0;
}

int SetDeviceLostRestoreHandler(DeviceLostRestoreHandler handler) {
  gHandler = handler != nullptr ? handler : &ReloadAllGraphsFromSources;
  return 0;
}

int HasDeviceLostRestoreHandler() { return gHandler != nullptr ? 1 : 0; }

int CallDeviceLostRestoreHandler() {
  RecordCall("CallDeviceLostRestoreHandler");
  (gHandler != nullptr ? gHandler : &ReloadAllGraphsFromSources)();
  RestoreBuiltinAndMaterialTextures();
  return 0;
}

void ClearDeviceLostRestoreHandlerForTest() { gHandler = nullptr; }

int ShowInactivePaintImage() {
  RecordCall("ShowInactivePaintImage");
  return -1;
}

int EnsureScreenReady() {
  RecordCall("EnsureScreenReady");
  return 0;
}

}  // namespace qz
