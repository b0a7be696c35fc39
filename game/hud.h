// The status bar over the floor: shot icon, magic pips, the numbers with
// their icons, and the floor's progress icons and labels.
#pragma once

// Draws the status bar; hudItemsHidden leaves out its bottom row.
void DrawHud();
