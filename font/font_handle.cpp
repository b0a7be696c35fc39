// Font handles. Bodies are filled in with the glyph cache.
#include "font/font_handle.h"

#include "core/call_trace.h"

namespace qz {

int CreateFontToHandle(const char*, int, int, int, int, int, int, int, int) { return -1; }
int DeleteFontHandle(int) {
  RecordCall("DeleteFontHandle");
  return -1;
}
int SetFontDeleteNotifyPointer(int, std::int32_t*) { return -1; }
int SetFontExtraSpacing(int, int) { return -1; }
int QueryFontSize(int) { return -1; }
int QueryFontFaceSizeThickness(char*, int*, int*, int) { return -1; }
int IsFontHandleValid(int) { return 0; }
FontRecord* GetFontRecord(int) { return nullptr; }
int QueryDefaultFontHandle() { return -1; }
int RecreateAllFonts() { return 0; }
int DeleteAllFontHandles() { return 0; }
int GetFontHandleOfSlot(int) { return -1; }

}  // namespace qz
