// The game's two input reads: one key test, and the bit mask that merges a
// joypad with the keyboard through the key assignment.
#pragma once

#include <cstdint>

namespace qz {

// Pad bits: 0 down, 1 left, 2 right, 3 up, 4..27 buttons 0..23; 28..31 come
// only from the keyboard assignment.
inline constexpr std::uint32_t kPadDown = 0x1;
inline constexpr std::uint32_t kPadLeft = 0x2;
inline constexpr std::uint32_t kPadRight = 0x4;
inline constexpr std::uint32_t kPadUp = 0x8;
// Input type bit that merges the keyboard into a pad's bits.
inline constexpr int kPadWithKeyboard = 0x1000;

// 1 while the key of this device key code is down, else 0. Starts input on
// first use (that call returns 0).
int TestKeyDown(int keyCode);
// The pad (number from 1) and, with kPadWithKeyboard, the keyboard's bits.
std::uint32_t GetPadInputBits(int inputType);

}  // namespace qz
