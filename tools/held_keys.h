// The set of keys held down on the main window, pressed and released through
// the window's own key path: what the game's tests and the screenshot tool
// hold while they play.
#pragma once

#include <cstdint>
#include <set>

#include "core/main_window.h"
#include "platform/window.h"

namespace qz::testing {

// Each Hold presses what is new and releases what is no longer named; the
// last ones go up at the end.
class HeldKeys {
 public:
  HeldKeys() = default;
  ~HeldKeys() { Hold({}); }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;

  void Hold(const std::set<std::uint32_t>& keys) {
    for (std::uint32_t key : held_) {
      if (keys.count(key) == 0) plat::SimulateKey(QueryMainWindowHandle(), key, false);
    }
    for (std::uint32_t key : keys) {
      if (held_.count(key) == 0) plat::SimulateKey(QueryMainWindowHandle(), key, true);
    }
    held_ = keys;
  }

 private:
  std::set<std::uint32_t> held_;
};

}  // namespace qz::testing
