// The mask screen's use switch, which the window services turn off and on
// again when the window moves.
#pragma once

namespace qz {

// 0, or -1 without a mask screen.
int SetMaskScreenInUse(int flag);
int IsMaskScreenInUse();

}  // namespace qz
