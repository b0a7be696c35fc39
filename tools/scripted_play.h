// Scripted play of the game, for its tests and the screenshot tool: keys held
// for counts of frames, pressed and released through the window's own key path
// at every frame wait (the floor's frames and those of blocking sequences
// alike), and a runner that plays the game's frames until a scene or floor is
// reached or a frame limit passes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "core/main_window.h"
#include "game/game_entry.h"
#include "game/screen_frame.h"
#include "platform/window.h"
#include "tools/held_keys.h"

namespace veltrin::testing {

// The built-in keys of the game's actions.
inline constexpr std::uint32_t kKeyJump = 'Z';  // also Confirm
inline constexpr std::uint32_t kKeyShot = 'X';  // also Cancel
inline constexpr std::uint32_t kKeyShotChange = 'C';
inline constexpr std::uint32_t kKeyDash = 'A';
inline constexpr std::uint32_t kKeyMenu = 'S';
inline constexpr std::uint32_t kKeyLeft = plat::VK_LEFT, kKeyRight = plat::VK_RIGHT;
inline constexpr std::uint32_t kKeyUp = plat::VK_UP, kKeyDown = plat::VK_DOWN;

// The key a script letter names: L R U D (directions), J (jump, Confirm),
// X (shot, Cancel), C (shot change), A (dash), S (menu); 0 for any other.
inline std::uint32_t KeyOfLetter(char c) {
  switch (c) {
    case 'L': return kKeyLeft;
    case 'R': return kKeyRight;
    case 'U': return kKeyUp;
    case 'D': return kKeyDown;
    case 'J': return kKeyJump;
    case 'X': return kKeyShot;
    case 'C': return kKeyShotChange;
    case 'A': return kKeyDash;
    case 'S': return kKeyMenu;
    default: return 0;
  }
}

// The letters of `keys` as a script word writes them; "-" for none.
inline std::string LettersOf(const std::set<std::uint32_t>& keys) {
  std::string letters;
  for (char c : std::string_view("LRUDJXCAS")) {
    if (keys.count(KeyOfLetter(c)) != 0) letters += c;
  }
  return letters.empty() ? "-" : letters;
}

class ScriptedPlay {
 public:
  ScriptedPlay() : window_(qz::QueryMainWindowHandle()) {
    active_ = this;
    SetFrameWaitHookForTest(&OnFrameWait);
  }
  ~ScriptedPlay() {
    SetFrameWaitHookForTest(nullptr);
    active_ = nullptr;
  }
  ScriptedPlay(const ScriptedPlay&) = delete;
  ScriptedPlay& operator=(const ScriptedPlay&) = delete;

  // Queues `keys` held for the next `frames` frame waits after what is queued.
  ScriptedPlay& Hold(std::initializer_list<std::uint32_t> keys, int frames) {
    if (frames > 0) steps_.push_back({std::set<std::uint32_t>(keys), frames});
    return *this;
  }
  ScriptedPlay& Hold(const std::set<std::uint32_t>& keys, int frames) {
    if (frames > 0) steps_.push_back({keys, frames});
    return *this;
  }
  ScriptedPlay& Idle(int frames) { return Hold({}, frames); }
  // A press of one frame followed by a release of one frame.
  ScriptedPlay& Tap(std::uint32_t key) { return Hold({key}, 1).Idle(1); }

  // Queues a script of "KEYS:FRAMES" words, e.g. "R:20 RJ:12 -:5": KEYS are
  // letters of KeyOfLetter, or "-" for none. False on a malformed word.
  bool Queue(std::string_view script) {
    std::istringstream words{std::string(script)};
    std::string word;
    while (words >> word) {
      const std::size_t colon = word.find(':');
      if (colon == std::string::npos || colon + 1 >= word.size()) return false;
      std::set<std::uint32_t> keys;
      for (char c : word.substr(0, colon)) {
        if (c == '-') continue;
        const std::uint32_t key = KeyOfLetter(c);
        if (key == 0) return false;
        keys.insert(key);
      }
      const int frames = std::atoi(word.c_str() + colon + 1);
      if (frames <= 0) return false;
      steps_.push_back({keys, frames});
    }
    return true;
  }

  // Drops what is still queued; the keys held now are released at the next frame.
  void Clear() { steps_.clear(); }

  bool Finished() const { return steps_.empty(); }
  // Called at every frame wait before its keys are taken from the queue,
  // inside the game's blocking sequences too, so a player can answer a
  // window when it opens; it may queue or clear keys. Empty: none.
  void SetFrameHook(std::function<void()> hook) { hook_ = std::move(hook); }
  bool HasFrameHook() const { return static_cast<bool>(hook_); }
  // Called at every frame wait before the hook, for a harness that watches
  // the game frame by frame without taking part. Empty: none.
  void SetFrameObserver(std::function<void()> observer) { observer_ = std::move(observer); }
  // Frame waits seen since the script started.
  int frames() const { return frames_; }
  // True once a frame limit ran out and the window was asked to close.
  bool CloseRequested() const { return closeRequested_; }

  // Plays whole frames of the game until `reached()` holds (true) or
  // `frameLimit` more frame waits passed (false). Past the limit the window
  // is asked to close, so a blocking sequence that waits for input ends too.
  template <typename Reached>
  bool RunUntil(Reached reached, int frameLimit) {
    limit_ = frames_ + frameLimit;
    while (!reached()) {
      if (frames_ >= limit_) {
        RequestClose();
        return false;
      }
      RunFrame();
    }
    limit_ = kNoLimit;
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
    if (frames_ > limit_) RequestClose();
    if (observer_) observer_();
    if (hook_) hook_();
    if (steps_.empty()) {
      keys_.Hold({});
      return;
    }
    keys_.Hold(steps_.front().keys);
    if (--steps_.front().frames == 0) steps_.pop_front();
  }
  void RequestClose() {
    if (closeRequested_) return;
    closeRequested_ = true;
    plat::SimulateCloseRequest(window_);
  }

  static inline ScriptedPlay* active_ = nullptr;
  plat::HWND window_;
  std::deque<Step> steps_;
  std::function<void()> hook_;
  std::function<void()> observer_;
  qz::testing::HeldKeys keys_;
  int frames_ = 0;
  static constexpr int kNoLimit = 1 << 30;
  int limit_ = kNoLimit;
  bool closeRequested_ = false;
};

}  // namespace veltrin::testing
