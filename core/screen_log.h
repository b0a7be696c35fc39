// The on-screen log: 80 lines drawn over the screen in a 16-pixel edge font.
#pragma once

namespace qz {

inline constexpr int kScreenLogLines = 80;
inline constexpr int kScreenLogLineBytes = 255;

struct ScreenLogState {
  int started;
  int fontSize;
  int fontHandle;   // -1 when none
  int fontNeeded;   // 1 until a font exists; the font's deletion sets it again
  int fontDeleted;  // set by the library end once it deleted the font
  int lineCount;
  char lines[kScreenLogLines][kScreenLogLineBytes];
};

ScreenLogState& GetScreenLogState();
// 0, or -1 while the graphics screen or the main window does not exist.
int StartScreenLog();
int RebuildScreenLogFont();
int DrawScreenLog();
int GetScreenLogLineCount();

}  // namespace qz
