// Character input: the ring of typed bytes the window procedure fills, the
// edit-key table, the IME message handler and the key-input editor the pump
// runs each frame.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace qz {

inline constexpr int kCharInputRingSize = 1025;

// 0, or -1 when the ring is full.
int PushInputChar(std::uint8_t byte);
// Takes (take 1) or peeks (take 0) one character; returns its byte count 0, 1
// or 2. A lead byte whose trail has not arrived stays in the ring.
int PopInputChar(char out[2], int take);
int IsCharInputRingFull();
// 1 for the control bytes the edit keys push.
int IsEditControlCode(std::uint8_t byte);
// The control byte an edit key (Delete, arrows, Home, End, Page Up/Down)
// pushes, or 0 for any other virtual key.
std::uint8_t LookupEditKeyCode(std::uint32_t virtualKey);

// Clears the ring, the IME state and the key-input records (library start); 0.
int InitCharCodeBuffer();
// The per-frame key-input editor; 0, or -1 for an invalid active handle.
int UpdateActiveKeyInput();
int ReleaseKeyInputHandle(int handle);
int ReleaseAllKeyInputHandles();

int SetImeEnabled(int flag);
plat::LRESULT HandleImeMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
// 1 while the IME is switched on and open: activation then asks the editor
// to reset it.
int GetImeCompositionFlag();
// Starts the four-step IME reset the editor runs, one step a frame.
void RequestKeyInputImeRefresh();
void StepImeReset();
// Clears the composition and the candidate list (library start).
void ResetImeState();
// The composition being typed (code page), its cursor in characters, and
// whether a composition is open.
const char* GetImeComposition();
int GetImeCursorChars();
int IsImeComposing();

}  // namespace qz
