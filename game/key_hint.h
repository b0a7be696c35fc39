// The keys of actions named on screen, for screens that wait for a key and
// would otherwise not say which.
#pragma once

#include <string>

// The keyboard key of pad button 0..9 (Z X C A S D Q W Esc Space); a button
// past those ten, which only a joypad has, by its number from 1.
std::string ButtonKeyName(int button);
// "Z: next" for the Confirm key; "Z or X: <what>" for Confirm or Cancel, one
// key when both actions share a button.
std::string ConfirmHint(const char* what);
std::string ConfirmOrCancelHint(const char* what);
// The text in the game's font on a dark band, centred on `centreX`, its top
// at `top`.
void DrawKeyHint(const std::string& text, int centreX, int top);
