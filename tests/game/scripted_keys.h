// Keys held for game tests from inside the game's own blocking loops (dialogs,
// window animations), which read input frame after frame without returning
// to the test. A thread timer on the stand-in clock runs the test's driver
// whenever the game pumps messages (each input read and each quit check
// pump), and the keys the driver names are held, all others released. Drivers decide from the game's
// state, so a second call within one frame changes nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <utility>

#include "platform/window.h"
#include "tools/held_keys.h"

namespace qz::testing {

class ScriptedKeys {
 public:
  using Driver = std::function<std::set<std::uint32_t>()>;

  explicit ScriptedKeys(Driver driver) : driver_(std::move(driver)) {
    current_ = this;
    timer_ = plat::SetTimer(nullptr, 0, 1, &ScriptedKeys::OnTimer);
  }
  ~ScriptedKeys() {
    plat::KillTimer(nullptr, timer_);
    keys_.Hold({});
    current_ = nullptr;
  }
  ScriptedKeys(const ScriptedKeys&) = delete;
  ScriptedKeys& operator=(const ScriptedKeys&) = delete;

 private:
  static void OnTimer(plat::HWND, std::uint32_t, std::uintptr_t, std::uint32_t) {
    if (current_ != nullptr) current_->keys_.Hold(current_->driver_());
  }

  static inline ScriptedKeys* current_ = nullptr;
  Driver driver_;
  HeldKeys keys_;
  std::uintptr_t timer_ = 0;
};

}  // namespace qz::testing
