// The on-screen log's state: the start turns it on, the end deletes its font.
#pragma once

namespace qz {

struct ScreenLogState {
  int started;
  int fontSize;
  int fontHandle;   // -1 when none
  int fontNeeded;   // 1 until a font exists
  int fontDeleted;  // the font code set it when the font went away
  int lineCount;
};

ScreenLogState& GetScreenLogState();
// 0, or -1 while the main window does not exist.
int StartScreenLog();

}  // namespace qz
