// Showing the back screen in the main window: the repaint the window
// procedure and the idle pump ask for, and the scene bracket they close.
#pragma once

namespace qz {

// Shows the last frame again; 0 or -1.
int RepaintScreen();
int EndDeviceScene();

}  // namespace qz
