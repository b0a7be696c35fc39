// The mask screen's use switch, which the window services turn off and on
// again when the window moves, and its flags that the settings reset sets.
#pragma once

#include <cstdint>

namespace qz {

struct MaskScreenFlags {
  std::int32_t useRequested;
  std::int32_t active;
};

MaskScreenFlags& GetMaskScreenFlags();

// 0, or -1 without a mask screen.
int SetMaskScreenInUse(int flag);
// The use-requested flag, whether or not a mask screen exists.
int IsMaskScreenInUse();

// The bracket of one draw while masked drawing is active: Begin copies the
// rectangle of the target to the work screen, End copies it back through the
// mask. Nested brackets act only at the outermost level. 0.
int BeginMaskedDraw(int left, int top, int right, int bottom);
int EndMaskedDraw(int left, int top, int right, int bottom);

}  // namespace qz
