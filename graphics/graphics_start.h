// Start and end of the graphics screen: the library start, the library end,
// the screen-mode change and the full-screen deactivation call these.
#pragma once

namespace qz {

// 0, or -1 when no screen can be made.
int StartGraphicsScreen();
// The full graphics end (library end, failed start, mode change).
int TerminateGraphics();
// Ends device use when a full-screen window loses activation.
int EndGraphicsSystem();

}  // namespace qz
