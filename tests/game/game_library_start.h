// Starts the library for a game test: virtual time, so waits and fades run at
// once; the manual audio sink by default, so the clock's jumps never reach a
// mixing thread (the null sink instead plays sounds out as the clock runs, so
// a sound the game waits for ends); window mode under a title of the test's
// own, so parallel test processes do not take each other for a second running
// copy. The start seeds the game's draws from the clock; a test seeds them
// again so that every run of it draws alike.
#pragma once

#include <unistd.h>

#include <string>

#include "core/library.h"
#include "core/main_window.h"
#include "core/random.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "platform/clock.h"
#include "platform/dsound.h"

namespace veltrin::testing {

inline bool StartLibraryForGameTest(const char* titlePrefix,
                                    plat::AudioSinkKind sink = plat::AudioSinkKind::kManual) {
  plat::UseVirtualTime(true);
  plat::SetAudioSinkForTest(sink);
  qz::GetWindowSystemState().settings = qz::WindowSettings{};
  qz::ChangeWindowMode(1);
  const std::string title = titlePrefix + std::to_string(getpid());
  qz::SetMainWindowTitle(title.c_str());
  if (qz::InitLibraryEntry() != 0) return false;
  qz::SeedRandom(1);
  return true;
}

}  // namespace veltrin::testing
