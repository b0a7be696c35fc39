// The status screen's panel: MP, the three shots and the 16 item slots, each
// with the icon and the three lines that describe it once the player owns it.
// The screen draws the icons into its picture and the texts under the cursor.
#pragma once

#include <string>

inline constexpr int kFirstPanelEntry = 100;
inline constexpr int kPanelEntryCount = 20;
inline constexpr int kPanelColumns = 4;

struct PanelDescription {
  int icon = -1;  // item icon; -1 when the entry is not owned and shows nothing
  std::string name, line1, line2;
};

// Panel entry 100..119 as the player's current values describe it; any other
// entry describes nothing.
PanelDescription DescribePanelEntry(int entry);
