// Font handles: creation, deletion, queries and re-creation after a device
// rebuild. Handles are (check | 0x2000) << 16 | slot over 40 slots; invalid
// handles make every function return -1 (the validity query 0).
#pragma once

#include <cstdint>

#include "font/font_record.h"

namespace qz {

// -1 in size, thickness, type, charset and edge size takes the default; an
// edge size above 1 sets the edge bit of the type; slot -1 takes the first
// free slot and check -1 the next check number. Returns the handle or -1.
int CreateFontToHandle(const char* face, int size, int thickness, int type, int charset, int edgeSize, int italic,
                       int slot, int check);
// 0, or -1 for an invalid handle. Sets the delete-notify target to 1.
int DeleteFontHandle(int handle);
// Stores the pointer and sets its target to 0.
int SetFontDeleteNotifyPointer(int handle, std::int32_t* notify);
int SetFontExtraSpacing(int spacing, int handle);
int QueryFontSize(int handle);
// `face` receives up to 256 bytes; any out pointer may be null.
int QueryFontFaceSizeThickness(char* face, int* size, int* thickness, int handle);
int IsFontHandleValid(int handle);
FontRecord* GetFontRecord(int handle);
int QueryDefaultFontHandle();
// Deletes and re-creates every live font in its slot with its check number.
int RecreateAllFonts();
// Deletes every font (the font system's reset and end).
int DeleteAllFontHandles();
// Test hook: the handle of a slot, or -1.
int GetFontHandleOfSlot(int slot);

}  // namespace qz
