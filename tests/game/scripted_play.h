// Scripted play for game tests: keys held for counts of frames, pressed and
// released through the window's own key path at every frame wait (the floor's
// frames and those of blocking sequences alike), and a runner that plays the
// game's frames until a scene or floor is reached or a frame limit passes.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <set>

#include "core/main_window.h"
#include "game/game_entry.h"
#include "platform/window.h"

namespace veltrin::testing {

// The built-in keys of the game's actions.
inline constexpr std::uint32_t kKeyJump = 'Z';  // also Confirm
inline constexpr std::uint32_t kKeyShot = 'X';  // also Cancel
inline constexpr std::uint32_t kKeyShotChange = 'C';
inline constexpr std::uint32_t kKeyDash = 'A';
inline constexpr std::uint32_t kKeyMenu = 'S';
inline constexpr std::uint32_t kKeyLeft = plat::VK_LEFT, kKeyRight = plat::VK_RIGHT;
inline constexpr std::uint32_t kKeyUp = plat::VK_UP, kKeyDown = plat::VK_DOWN;

class ScriptedPlay {
 public:
  ScriptedPlay() : window_(qz::QueryMainWindowHandle()) {
    active_ = this;
    SetFrameWaitHookForTest(&OnFrameWait);
  }
  ~ScriptedPlay() {
    SetFrameWaitHookForTest(nullptr);
    active_ = nullptr;
    HoldNow({});
  }
  ScriptedPlay(const ScriptedPlay&) = delete;
  ScriptedPlay& operator=(const ScriptedPlay&) = delete;

  // Queues `keys` held for the next `frames` frame waits after what is queued.
  ScriptedPlay& Hold(std::initializer_list<std::uint32_t> keys, int frames) {
    if (frames > 0) steps_.push_back({std::set<std::uint32_t>(keys), frames});
    return *this;
  }
  ScriptedPlay& Idle(int frames) { return Hold({}, frames); }
  // A press of one frame followed by a release of one frame.
  ScriptedPlay& Tap(std::uint32_t key) { return Hold({key}, 1).Idle(1); }

  bool Finished() const { return steps_.empty(); }
  // Frame waits seen since the script started.
  int frames() const { return frames_; }

  // Plays whole frames of the game until `reached()` holds (true) or
  // `frameLimit` more frame waits passed (false). Past the limit the window
  // is asked to close, so a blocking sequence that waits for input ends too.
  template <typename Reached>
  bool RunUntil(Reached reached, int frameLimit) {
    limit_ = frames_ + frameLimit;
    while (!reached()) {
      if (frames_ >= limit_) {
        if (!closeRequested_) plat::SimulateCloseRequest(window_);
        closeRequested_ = true;
        return false;
      }
      RunFrame();
    }
    return true;
  }

 private:
  struct Step {
    std::set<std::uint32_t> keys;
    int frames;
  };

  static void OnFrameWait() {
    if (active_ != nullptr) active_->NextFrame();
  }
  void NextFrame() {
    ++frames_;
    if (frames_ > limit_ && !closeRequested_) {
      closeRequested_ = true;
      plat::SimulateCloseRequest(window_);
    }
    if (steps_.empty()) {
      HoldNow({});
      return;
    }
    HoldNow(steps_.front().keys);
    if (--steps_.front().frames == 0) steps_.pop_front();
  }
  void HoldNow(const std::set<std::uint32_t>& keys) {
    for (std::uint32_t key : held_) {
      if (keys.count(key) == 0) plat::SimulateKey(window_, key, false);
    }
    for (std::uint32_t key : keys) {
      if (held_.count(key) == 0) plat::SimulateKey(window_, key, true);
    }
    held_ = keys;
  }

  static inline ScriptedPlay* active_ = nullptr;
  plat::HWND window_;
  std::deque<Step> steps_;
  std::set<std::uint32_t> held_;
  int frames_ = 0;
  int limit_ = 1 << 30;
  bool closeRequested_ = false;
};

}  // namespace veltrin::testing
