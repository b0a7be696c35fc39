// Font handles: the delete the library end uses for the on-screen log's font.
#pragma once

namespace qz {

// 0, or -1 for an invalid handle.
int DeleteFontHandle(int handle);

}  // namespace qz
