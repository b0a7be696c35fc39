// The Yes/No window the shop's purchase and the status screen's floor jump
// share: message window kind 2 with the question in yellow over "Yes" and
// "No", and DialogCursor, which opens on "No" and slides between the two.
#pragma once

#include "game/game_string.h"

enum class YesNoAnswer { kYes, kNo, kCancel, kLeftScreen };

// Where the cursor rests: on "No" when the window opens, on "Yes" after one
// slide; Confirm answers Yes while the cursor stands above kYesNoMiddleY,
// mid-slide too.
inline constexpr int kYesNoCursorNoY = 258;
inline constexpr int kYesNoCursorYesY = 234;
inline constexpr int kYesNoMiddleY = 248;

// Runs the window as a blocking loop until Confirm (Yes or No by the
// cursor) or Cancel (kCancel wherever the cursor stands), then closes it and
// renews the old-screen graph. kLeftScreen when the game left for the title
// or quit meanwhile: the window is then left as it is.
YesNoAnswer AskYesNo(const GameString& question);
