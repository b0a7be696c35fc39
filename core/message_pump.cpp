// The once-per-frame message pump: a bounded number of window messages, the
// full-screen toggle, holding the program while the window is inactive, the
// activation changes queued during dispatch, and the per-frame services of
// sound, music, input and networking.
#include "core/message_pump.h"

#include "core/clock.h"
#include "core/main_window.h"
#include "core/system_info.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/screen_present.h"
#include "input/char_input.h"
#include "input/input_devices.h"
#include "movie/movie_services.h"
#include "network/network_services.h"
#include "platform/clock.h"
#include "platform/sync.h"
#include "sound/music.h"
#include "sound/sound_system.h"

namespace qz {
namespace {

// A pass ends after this many dispatched messages, so one frame's message
// work stays bounded.
constexpr int kMessagesPerPass = 5;
// While idle the screen is shown again at most this often.
constexpr int kIdleRepaintInterval = 64;
constexpr int kIdleSleepBeforePass = 1;
constexpr int kIdleSleepAfterPass = 24;

bool IsIdling(const WindowSystemState& state) {
  return (!state.active || state.minimised) && !state.settings.runInBackground;
}

bool MayRun(const WindowSystemState& state) {
  return state.closePosted || state.activationCount > 0 || state.settings.runInBackground ||
         (state.active && !state.minimised);
}

// On one processor nobody else feeds the stream sounds.
void ServiceSoundsWithoutStreamThread() {
  if (GetProcessorCount() > 1) return;
  ProcessAllStreamSounds();
  RefillAllSoftSoundPlayers();
}

// The cursor is caught in the client area once it enters it.
void ClipCursorToClient(WindowSystemState& state) {
  if (!state.settings.clipCursor || !state.active || state.minimised || !state.settings.windowMode ||
      state.cursorClipped) {
    return;
  }
  plat::Point cursor{};
  if (!plat::GetCursorPos(&cursor)) return;
  const plat::WinRect& client = state.clientRect;
  if (cursor.x >= client.left && cursor.x < client.right && cursor.y >= client.top && cursor.y < client.bottom) {
    plat::ClipCursor(&client);
    state.cursorClipped = 1;
  }
}

// Messages for the modeless dialog go to its own procedure.
bool HandleDialogMessage(plat::HWND dialog, const plat::Message& message) {
  if (dialog == nullptr || message.window != dialog || !plat::IsWindow(dialog)) return false;
  plat::TranslateMessage(&message);
  plat::DispatchMessageA(&message);
  return true;
}

bool TakeMessage(plat::HWND mainWindow, plat::Message* message) {
  if (plat::PeekMessageA(message, nullptr, 0, 0, plat::PM_NOREMOVE)) {
    return plat::PeekMessageA(message, nullptr, 0, 0, plat::PM_REMOVE) != 0;
  }
  return plat::PeekMessageA(message, plat::kThreadMessagesOnly, 0, 0, plat::PM_REMOVE) ||
         plat::PeekMessageA(message, mainWindow, 0, 0, plat::PM_REMOVE);
}

// After each message: one message of the dialog and of every extra window.
void TakeSideWindowMessages(const WindowSystemState& state) {
  plat::Message message{};
  if (state.dialogWindow != nullptr && plat::PeekMessageA(&message, state.dialogWindow, 0, 0, plat::PM_REMOVE)) {
    HandleDialogMessage(state.dialogWindow, message);
  }
  for (int i = 0; i < GetPumpedWindowCount(); ++i) {
    if (plat::PeekMessageA(&message, GetPumpedWindow(i), 0, 0, plat::PM_REMOVE)) {
      plat::TranslateMessage(&message);
      plat::DispatchMessageA(&message);
    }
  }
}

enum class PassEnd { kIncomplete, kComplete, kLeaveLoop };

// One pass: messages until none is left or kMessagesPerPass were dispatched.
// Complete when it dispatched kMessagesPerPass, or nothing at all.
PassEnd RunPass(WindowSystemState& state) {
  int dispatched = 0;
  bool complete = true;
  plat::Message message{};
  while (TakeMessage(state.mainWindow, &message)) {
    if (HandleDialogMessage(state.dialogWindow, message)) {
      complete = false;
      continue;
    }
    if (message.message == plat::WM_ACTIVATEAPP && state.settings.windowMode) {
      state.active = message.wParam != 0 ? 1 : 0;
    }
    if (state.endRequest) return PassEnd::kLeaveLoop;
    if (message.message == plat::WM_QUIT) state.endRequest = 1;
    // No accelerator tables exist on this platform: every message is dispatched.
    plat::TranslateMessage(&message);
    plat::DispatchMessageA(&message);
    TakeSideWindowMessages(state);
    if (++dispatched == kMessagesPerPass) return PassEnd::kComplete;
    complete = false;
  }
  return complete ? PassEnd::kComplete : PassEnd::kIncomplete;
}

void ApplyPendingFullScreenToggle(WindowSystemState& state) {
  if (!state.pendingFullScreenToggle || !state.settings.fullScreenToggle) return;
  state.pendingFullScreenToggle = 0;
  ChangeWindowMode(state.settings.windowMode ? 0 : 1);
  if (state.settings.fullScreenToggleCallback != nullptr) {
    state.settings.fullScreenToggleCallback(state.settings.fullScreenToggleUser);
  }
}

// The message loop. While the window is inactive or minimised it does not
// end until the window may run again or the program must end.
void RunMessageLoop(WindowSystemState& state) {
  const bool onWindowThread = plat::GetCurrentThreadId() == state.windowThreadId;
  if (onWindowThread) ApplyPendingFullScreenToggle(state);
  bool previousComplete = false;
  bool idleBegun = false;
  for (;;) {
    const bool mayRun = MayRun(state);
    if (mayRun && (previousComplete || state.endRequest)) return;
    if (!mayRun && !idleBegun) {
      state.idleStartTime = GetMillisecondCount();
      state.idleSeen = 1;
      idleBegun = true;
    }
    if (IsIdling(state)) {
      plat::Sleep(kIdleSleepBeforePass);
      const std::int32_t now = GetMillisecondCount();
      if (ElapsedMilliseconds(now, state.lastRepaintTime) > kIdleRepaintInterval) {
        RepaintScreen();
        state.lastRepaintTime = now;
        state.partialRepaint = 0;
      }
    }
    const PassEnd end = RunPass(state);
    if (end == PassEnd::kLeaveLoop) return;
    previousComplete = end == PassEnd::kComplete;
    if (IsIdling(state)) {
      PumpNetworkMessages(1);
      ServiceSoundsWithoutStreamThread();
      ReshowAllMovieOverlays();
      // Socket activity ends the wait early, so connections keep their pace
      // while the window is inactive.
      WaitNetworkEvents(kIdleSleepAfterPass);
    }
    if (state.endRequest || !onWindowThread) return;
  }
}

// Activation work waits until no message is being dispatched.
void HandleQueuedActivations(WindowSystemState& state) {
  while (state.activationCount > 0) {
    const plat::WPARAM wParam = state.activationQueue[state.activationRead];
    state.activationRead = (state.activationRead + 1) % kActivationQueueSize;
    --state.activationCount;
    HandleActivateChange(wParam);
  }
}

void RunFrameServices(WindowSystemState& state) {
  ServiceSoundsWithoutStreamThread();
  UpdateMusicPlayStates();
  UpdateKeyboardStateForFrame();
  UpdatePadVibrationTimers();
  PumpNetworkMessages(1);
  // The editor may pump again (the clipboard); the guard keeps that flat.
  state.keyInputGuard = 1;
  UpdateActiveKeyInput();
  state.keyInputGuard = 0;
}

}  // namespace

int PumpWindowMessages() {
  WindowSystemState& state = GetWindowSystemState();
  if (state.keyInputGuard) return 0;
  // A wait inside a dispatched message pumps again; the outer call is still
  // busy when the inner one returns.
  const std::int32_t outerBusy = state.pumpBusy;
  state.pumpBusy = 1;
  ClipCursorToClient(state);
  if (!state.settings.noWindow) {
    if (state.mainWindow == nullptr) {
      state.pumpBusy = outerBusy;
      return state.endRequest ? -1 : 0;
    }
    if (!state.settings.childMode) RunMessageLoop(state);
    if (plat::GetCurrentThreadId() == state.windowThreadId) {
      if (!state.settings.menuAutoShowOff) AutoShowMenuByMouse();
      HandleQueuedActivations(state);
    }
  }
  RunFrameServices(state);
  state.pumpBusy = outerBusy;
  return state.endRequest ? -1 : 0;
}

}  // namespace qz
