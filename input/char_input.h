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

// Clears the ring and the key-input state (library start); 0.
int InitCharCodeBuffer();
// The per-frame key-input editor; 0.
int UpdateActiveKeyInput();
int ReleaseKeyInputHandle(int handle);
int ReleaseAllKeyInputHandles();

int SetImeEnabled(int flag);
plat::LRESULT HandleImeMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
// The IME handler's composition flag, read on activation.
int GetImeCompositionFlag();
// Tells the key-input editor to refresh its IME state (set on activation).
void RequestKeyInputImeRefresh();

}  // namespace qz
