// SDL events to window messages: window state, keys, text, mouse, display
// and dropped files. Everything goes through the Deliver* functions that the
// test hooks use too, so both produce the same messages.
#include <map>
#include <string>
#include <vector>

#include "platform/imm.h"
#include "platform/sync.h"
#include "platform/window_sdl.h"

namespace plat {
namespace {

// Files of a drop in progress, by window id.
std::map<std::uint32_t, std::vector<std::string>> gPendingDrops;

HWND WindowOf(std::uint32_t windowId) {
  if (HWND window = FindWindowByNativeId(&SdlWindowBackend(), windowId)) return window;
  // Keyboard and drop events may come without a window: the thread's first.
  for (HWND window : WindowsOfThread(GetCurrentThreadId())) {
    if (window->backend == &SdlWindowBackend()) return window;
  }
  return nullptr;
}

void DeliverRestored(HWND window) {
  if (window->minimised) {
    DeliverMinimise(window, false);
    return;
  }
  if (!window->maximised) return;
  window->maximised = false;
  WinRect client{};
  GetClientRect(window, &client);
  PostMessageA(window, WM_SIZE, SIZE_RESTORED, MakeLParam(client.right, client.bottom));
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
  HWND window = FindWindowByNativeId(&SdlWindowBackend(), event.windowID);
  if (window == nullptr) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
      NoteSdlFrame(static_cast<SDL_Window*>(window->native));
      DeliverExpose(window);
      break;
    case SDL_WINDOWEVENT_MOVED:
      DeliverMoved(window, event.data1, event.data2);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      DeliverResized(window, event.data1, event.data2);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      DeliverMinimise(window, true);
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      DeliverMaximise(window);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      DeliverRestored(window);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      DeliverActivation(window, true);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      DeliverActivation(window, false);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      DeliverClose(window);
      break;
    default:
      break;
  }
}

// The character a key types on a US layout, or 0.
char TypedCharacter(const SDL_Keysym& key) {
  static constexpr char kPlain[] = "`1234567890-=[]\\;',./";
  static constexpr char kShifted[] = "~!@#$%^&*()_+{}|:\"<>?";
  if ((key.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) != 0) return 0;
  const bool shift = (key.mod & KMOD_SHIFT) != 0;
  const SDL_Keycode sym = key.sym;
  if (sym >= SDLK_a && sym <= SDLK_z) {
    const bool upper = shift != ((key.mod & KMOD_CAPS) != 0);
    return static_cast<char>((upper ? 'A' : 'a') + (sym - SDLK_a));
  }
  if (sym == SDLK_SPACE) return ' ';
  if (sym < 0x20 || sym > 0x7E) return 0;
  for (std::size_t i = 0; kPlain[i] != '\0'; ++i) {
    if (kPlain[i] == static_cast<char>(sym)) return shift ? kShifted[i] : kPlain[i];
  }
  return 0;
}

void TranslateKey(const SDL_KeyboardEvent& event) {
  HWND window = WindowOf(event.windowID);
  const std::uint32_t virtualKey = SdlScancodeToVirtualKey(event.keysym.scancode);
  if (window == nullptr || virtualKey == 0) return;
  const bool extended = IsVirtualKeyExtended(virtualKey) || event.keysym.scancode == SDL_SCANCODE_KP_ENTER;
  const bool down = event.type == SDL_KEYDOWN;
  DeliverKey(window, virtualKey, ScanCodeOfVirtualKey(virtualKey), extended, down);
  // With the IME switched off SDL gives no text at all, while the system
  // still types plain characters: make them from the key.
  if (down && !window->textInput) {
    if (const char typed = TypedCharacter(event.keysym)) {
      PostMessageA(window, WM_CHAR, static_cast<unsigned char>(typed), 1);
    }
  }
}

int ButtonIndex(std::uint8_t button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    default:
      return -1;
  }
}

void DeliverDesktopChange() {
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return;
  DeliverDisplayChange(nullptr, SDL_BYTESPERPIXEL(mode.format) * 8, mode.w, mode.h);
}

void TakeDropFile(const SDL_DropEvent& event) {
  if (event.file == nullptr) return;
  gPendingDrops[event.windowID].emplace_back(event.file);
  SDL_free(event.file);
}

void DeliverDrop(std::uint32_t windowId) {
  auto it = gPendingDrops.find(windowId);
  if (it == gPendingDrops.end()) return;
  if (HWND window = WindowOf(windowId)) DeliverDroppedFiles(window, it->second);
  gPendingDrops.erase(it);
}

}  // namespace

void TranslateSdlEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(event.window);
      break;
    case SDL_QUIT:
      // A signal asked the program to stop: as if its windows were closed.
      for (HWND window : WindowsOfThread(GetCurrentThreadId())) {
        if (window->backend == &SdlWindowBackend()) DeliverClose(window);
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(event.key);
      break;
    case SDL_TEXTEDITING:
      if (HWND window = WindowOf(event.edit.windowID)) DeliverImeComposition(window, event.edit.text, event.edit.start);
      break;
    case SDL_TEXTINPUT:
      if (HWND window = WindowOf(event.text.windowID)) {
        EndImeComposition(window);
        DeliverText(window, event.text.text);
      }
      break;
    case SDL_MOUSEMOTION:
      if (HWND window = WindowOf(event.motion.windowID)) DeliverMouseMove(window, event.motion.x, event.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (HWND window = WindowOf(event.button.windowID)) {
        DeliverMouseButton(window, ButtonIndex(event.button.button), event.type == SDL_MOUSEBUTTONDOWN,
                           event.button.x, event.button.y);
      }
      break;
    case SDL_MOUSEWHEEL:
      if (HWND window = WindowOf(event.wheel.windowID)) {
        const int flip = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
        DeliverWheel(window, event.wheel.y * flip, event.wheel.x * flip);
      }
      break;
    case SDL_DISPLAYEVENT:
      DeliverDesktopChange();
      break;
    case SDL_DROPBEGIN:
      gPendingDrops[event.drop.windowID].clear();
      break;
    case SDL_DROPFILE:
      TakeDropFile(event.drop);
      break;
    case SDL_DROPTEXT:
      SDL_free(event.drop.file);
      break;
    case SDL_DROPCOMPLETE:
      DeliverDrop(event.drop.windowID);
      break;
    default:
      break;
  }
}

void FlushSdlDrops() {
  while (!gPendingDrops.empty()) DeliverDrop(gPendingDrops.begin()->first);
}

}  // namespace plat
