// Keys through the window's real key path, frame by frame: a press or a
// release pumped at once, a frame with keys held, and plain frames.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/main_window.h"
#include "core/library.h"
#include "game/game_entry.h"
#include "platform/window.h"

namespace qz::testing {

inline void Press(std::uint32_t key, bool down) {
  plat::SimulateKey(qz::QueryMainWindowHandle(), key, down);
  qz::PumpMessagesEntry();
}

// One frame with the keys held, then released.
inline void Hold(std::initializer_list<std::uint32_t> keys) {
  for (const std::uint32_t key : keys) Press(key, true);
  RunFrame();
  for (const std::uint32_t key : keys) Press(key, false);
}

inline void Frames(int n) {
  for (int i = 0; i < n; ++i) RunFrame();
}

}  // namespace qz::testing
