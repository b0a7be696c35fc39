// What the font files share among themselves: the handle table's records,
// the checks that stop glyph work, and the cache geometry.
#pragma once

#include "font/font_record.h"

namespace qz {

// True while the device path has no usable device (none, or lost).
bool FontDeviceLost();
// True while drawing is switched off or the device is lost.
bool FontWorkSuspended();
// The record in a slot (0 .. 39), or null.
FontRecord* FontRecordAtSlot(int slot);
// Deletes a font without firing its delete-notify target: the record is being
// made again in the same slot.
void DeleteFontForRemake(int handle);
// Pixels of a cell that glyphs may use: the texture cache places cells one
// pixel in, so its cells lose their last row and column.
inline int UsableCellSize(const FontRecord& font) { return font.cellWidth - (font.textureCache != 0 ? 1 : 0); }
// Edge margin inside a cell: edge fonts keep the glyph e pixels in from the
// cell's corner so the edge fits on every side.
inline int EdgeMargin(const FontRecord& font) { return (font.type & kFontTypeEdge) != 0 ? font.edgeSize : 0; }
// The type a font keeps: an edge wider than 1 adds the edge bit, and an
// 8-bit screen drops anti-aliasing.
int EffectiveFontType(int type, int edgeSize);

}  // namespace qz
