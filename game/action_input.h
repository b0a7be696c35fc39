// The seven action flags the game reads each frame, derived from the pad
// word of joypad 1 merged with the keyboard through the configurable button
// map, and the held-button latches that keep a button held across a scene
// change from acting again.
#pragma once

#include <cstdint>

// Bit 4 + n of the pad word is button n; the game uses buttons 0..9.
inline constexpr int kActionButtonCount = 10;
inline constexpr int kPadButtonShift = 4;

struct ActionFlagSet {
  std::int32_t jump;
  std::int32_t shot;
  std::int32_t shotChange;
  std::int32_t dash;
  std::int32_t menu;
  std::int32_t confirm;  // 1 on the first frame of a press only
  std::int32_t cancel;   // 1 on the first frame of a press only
};

// Button numbers 0..9; two actions may share a button.
struct ButtonMapRecord {
  std::int32_t confirm;
  std::int32_t cancel;
  std::int32_t jump;
  std::int32_t shot;
  std::int32_t shotChange;
  std::int32_t dash;
  std::int32_t menu;
  std::int32_t spare[2];
};

inline constexpr ButtonMapRecord kBuiltInButtonMap{0, 1, 0, 1, 2, 3, 4, {5, 6}};

extern std::uint32_t padState;  // 0x1 down, 0x2 left, 0x4 right, 0x8 up, bit 4 + n button n
extern ActionFlagSet ActionFlags;
extern ButtonMapRecord ButtonMap;
extern std::int32_t confirmLatch, cancelLatch;
// Read and cleared by the player's update.
extern std::int32_t jumpLatch, shotLatch, shotChangeLatch, dashLatch, dashBlock;

// Reads the pad word of joypad 1 with the keyboard and derives the flags.
void ReadActionInput();
// The flags of one frame's pad word, with the Confirm and Cancel edges.
void DeriveActionFlags(std::uint32_t pad);
// Sets the flags of the actions configured to button n: Confirm and Cancel
// independently, then only the first of the five play actions.
void MapButtonToAction(int n);
// Whether button n (0..9) is down in this frame's pad word.
inline bool ButtonHeld(int n) { return (padState & (1u << (kPadButtonShift + n))) != 0; }
// Writes value into the five held-button latches.
void SetInputLatches(int value);
