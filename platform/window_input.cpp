// The messages that window events produce, shared by both backends and the
// test hooks so a simulated event and a real one look the same to the window
// procedure: activation, minimise and restore, moves and sizes, keys with the
// key table and the characters the system would make, text, the mouse, the
// display and dropped files.
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/debug_output.h"
#include "platform/dinput.h"
#include "platform/sync.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

constexpr std::uint32_t kKeyCount = 256;
std::atomic<bool> gKeyDown[kKeyCount];
// Set by every press, cleared when taken: a press released before the next
// read of the table is still seen once.
std::atomic<bool> gKeyPressed[kKeyCount];

constexpr std::uint32_t VK_LBUTTON = 0x01;
constexpr std::uint32_t VK_RBUTTON = 0x02;
constexpr std::uint32_t VK_MBUTTON = 0x04;
constexpr std::uint32_t VK_F10 = 0x79;
constexpr WPARAM MK_LBUTTON = 0x01;
constexpr WPARAM MK_RBUTTON = 0x02;
constexpr WPARAM MK_SHIFT = 0x04;
constexpr WPARAM MK_CONTROL = 0x08;
constexpr WPARAM MK_MBUTTON = 0x10;

bool KeyDown(std::uint32_t vk) { return vk < kKeyCount && gKeyDown[vk].load(std::memory_order_relaxed); }
void SetKey(std::uint32_t vk, bool down) {
  if (vk >= kKeyCount) return;
  if (down && !gKeyDown[vk].exchange(true, std::memory_order_relaxed)) {
    gKeyPressed[vk].store(true, std::memory_order_relaxed);
  }
  if (!down) gKeyDown[vk].store(false, std::memory_order_relaxed);
}

// The key the messages name: Shift, Control and Alt without their side.
std::uint32_t GenericKey(std::uint32_t vk) {
  switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
      return VK_MENU;
    default:
      return vk;
  }
}

// A generic modifier from a test counts as the left one.
std::uint32_t SidedKey(std::uint32_t vk) {
  switch (vk) {
    case VK_SHIFT:
      return VK_LSHIFT;
    case VK_CONTROL:
      return VK_LCONTROL;
    case VK_MENU:
      return VK_LMENU;
    default:
      return vk;
  }
}

void UpdateKeyTable(std::uint32_t sided, bool down) {
  SetKey(sided, down);
  NotifyInputDeviceChange();
  const std::uint32_t generic = GenericKey(sided);
  if (generic == sided) return;
  const std::uint32_t left = generic == VK_SHIFT ? VK_LSHIFT : (generic == VK_CONTROL ? VK_LCONTROL : VK_LMENU);
  SetKey(generic, KeyDown(left) || KeyDown(left + 1));
}

WPARAM MouseKeyFlags() {
  WPARAM flags = 0;
  if (KeyDown(VK_LBUTTON)) flags |= MK_LBUTTON;
  if (KeyDown(VK_RBUTTON)) flags |= MK_RBUTTON;
  if (KeyDown(VK_MBUTTON)) flags |= MK_MBUTTON;
  if (KeyDown(VK_SHIFT)) flags |= MK_SHIFT;
  if (KeyDown(VK_CONTROL)) flags |= MK_CONTROL;
  return flags;
}

WinRect ClientSize(const WindowObject* window) {
  const WinRect client = ClientRectOnScreen(window);
  return WinRect{0, 0, client.right - client.left, client.bottom - client.top};
}

void Post(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  PostMessageA(window, message, wParam, lParam);
}

// What the system posts when the window gains or loses activation, in its
// order: the application and window activation, then the focus.
void AddActivation(HWND window, bool active, std::vector<Message>* group) {
  window->active = active;
  const WPARAM minimisedBit = window->minimised ? (WPARAM{1} << 16) : 0;
  if (active) {
    group->push_back(Message{window, WM_ACTIVATEAPP, 1, 0, 0});
    group->push_back(Message{window, WM_ACTIVATE, WA_ACTIVE | minimisedBit, 0, 0});
    group->push_back(Message{window, WM_SETFOCUS, 0, 0, 0});
    return;
  }
  // Keys held when focus leaves never send their key-up here.
  ReleaseAllKeys();
  group->push_back(Message{window, WM_ACTIVATE, WA_INACTIVE | minimisedBit, 0, 0});
  group->push_back(Message{window, WM_ACTIVATEAPP, 0, 0, 0});
  group->push_back(Message{window, WM_KILLFOCUS, 0, 0, 0});
}

}  // namespace

bool IsVirtualKeyDown(std::uint32_t virtualKey) { return KeyDown(virtualKey); }

BOOL GetKeyboardState(std::uint8_t keys[256]) {
  for (std::uint32_t vk = 0; vk < kKeyCount; ++vk) keys[vk] = KeyDown(vk) ? 0x80 : 0;
  return TRUE;
}

void TakeKeyPresses(std::uint8_t keys[256]) {
  for (std::uint32_t vk = 0; vk < kKeyCount; ++vk) {
    keys[vk] = gKeyPressed[vk].exchange(false, std::memory_order_relaxed) ? 0x80 : 0;
  }
}

void ReleaseAllKeys() {
  for (auto& key : gKeyDown) key.store(false, std::memory_order_relaxed);
}

void DeliverActivation(HWND window, bool active) {
  if (!IsLiveWindow(window) || window->active == active) return;
  std::vector<Message> group;
  AddActivation(window, active, &group);
  PostMessagesTogether(window, group);
}

void DeliverMinimise(HWND window, bool minimised) {
  if (!IsLiveWindow(window) || window->minimised == minimised) return;
  window->minimised = minimised;
  // The size and the activation change travel as one group: the pump decides
  // whether to hold from both.
  std::vector<Message> group;
  if (minimised) {
    if (window->active) AddActivation(window, false, &group);
    group.push_back(Message{window, WM_SIZE, SIZE_MINIMIZED, 0, 0});
    PostMessagesTogether(window, group);
    return;
  }
  // Restored: the size first, so the activation that follows already sees a
  // window that is no longer minimised.
  const WinRect size = ClientSize(window);
  group.push_back(Message{window, WM_SIZE, window->maximised ? SIZE_MAXIMIZED : SIZE_RESTORED,
                          MakeLParam(size.right, size.bottom), 0});
  if (!window->active) AddActivation(window, true, &group);
  PostMessagesTogether(window, group);
  window->invalidRect = size;
  window->invalid = true;
}

void DeliverMaximise(HWND window) {
  if (!IsLiveWindow(window)) return;
  window->maximised = true;
  if (window->minimised) {
    DeliverMinimise(window, false);
    return;
  }
  const WinRect size = ClientSize(window);
  Post(window, WM_SIZE, SIZE_MAXIMIZED, MakeLParam(size.right, size.bottom));
}

void DeliverMoved(HWND window, int clientX, int clientY) {
  if (!IsLiveWindow(window)) return;
  const WinRect client = ClientRectOnScreen(window);
  if (client.left == clientX && client.top == clientY) return;
  const int dx = clientX - client.left;
  const int dy = clientY - client.top;
  WinRect& rect = window->windowRect;
  rect = WinRect{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
  Post(window, WM_MOVE, 0, MakeLParam(clientX, clientY));
}

void DeliverResized(HWND window, int clientWidth, int clientHeight) {
  if (!IsLiveWindow(window) || clientWidth < 0 || clientHeight < 0) return;
  const WinRect size = ClientSize(window);
  if (size.right == clientWidth && size.bottom == clientHeight) return;
  window->windowRect.right += clientWidth - size.right;
  window->windowRect.bottom += clientHeight - size.bottom;
  const WPARAM kind = window->minimised ? SIZE_MINIMIZED : (window->maximised ? SIZE_MAXIMIZED : SIZE_RESTORED);
  Post(window, WM_SIZE, kind, MakeLParam(clientWidth, clientHeight));
  InvalidateRect(window, nullptr);
}

void DeliverExpose(HWND window) {
  if (IsLiveWindow(window)) InvalidateRect(window, nullptr);
}

void DeliverClose(HWND window) {
  if (IsLiveWindow(window)) Post(window, WM_CLOSE, 0, 0);
}

void DeliverKey(HWND window, std::uint32_t virtualKey, std::uint32_t scanCode, bool extended, bool down) {
  if (!IsLiveWindow(window) || virtualKey == 0 || virtualKey >= kKeyCount) return;
  const std::uint32_t sided = SidedKey(virtualKey);
  const std::uint32_t generic = GenericKey(sided);
  const bool wasDown = KeyDown(sided);
  const bool control = KeyDown(VK_CONTROL);
  const bool alt = KeyDown(VK_MENU) || (generic == VK_MENU && down);
  // Alt with Control is AltGr on many keyboards: plain key messages then.
  const bool system = (alt && !control) || generic == VK_F10;
  std::uint32_t lParam = 1u | ((scanCode & 0xFF) << 16);
  if (extended) lParam |= 1u << 24;
  if (alt) lParam |= 1u << 29;
  if (wasDown || !down) lParam |= 1u << 30;
  if (!down) lParam |= 1u << 31;
  UpdateKeyTable(sided, down);
  std::uint32_t message = down ? WM_KEYDOWN : WM_KEYUP;
  if (system) message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
  Post(window, message, generic, static_cast<LPARAM>(lParam));
  if (!down) return;
  // Characters the system makes from keys that text input does not give.
  const LPARAM charLParam = static_cast<LPARAM>(lParam);
  if (system) {
    if (generic == VK_RETURN) Post(window, WM_SYSCHAR, 13, charLParam);
    return;
  }
  if (control && generic >= 'A' && generic <= 'Z') {
    Post(window, WM_CHAR, generic - 'A' + 1, charLParam);
    return;
  }
  switch (generic) {
    case VK_RETURN:
      Post(window, WM_CHAR, 13, charLParam);
      break;
    case VK_TAB:
      Post(window, WM_CHAR, 9, charLParam);
      break;
    case VK_BACK:
      Post(window, WM_CHAR, 8, charLParam);
      break;
    case VK_ESCAPE:
      Post(window, WM_CHAR, 27, charLParam);
      break;
    default:
      break;
  }
}

void DeliverText(HWND window, const char* utf8) {
  if (!IsLiveWindow(window) || utf8 == nullptr) return;
  // A double-byte character arrives as two WM_CHAR, lead byte first.
  for (unsigned char byte : Utf8ToCodePage(utf8)) Post(window, WM_CHAR, byte, 1);
}

void DeliverMouseMove(HWND window, int clientX, int clientY) {
  if (!IsLiveWindow(window)) return;
  const WinRect client = ClientRectOnScreen(window);
  NoteCursorPosition(Point{client.left + clientX, client.top + clientY});
  Post(window, WM_MOUSEMOVE, MouseKeyFlags(), MakeLParam(clientX, clientY));
}

void DeliverMouseButton(HWND window, int button, bool down, int clientX, int clientY) {
  if (!IsLiveWindow(window)) return;
  static constexpr std::uint32_t kKeys[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
  static constexpr std::uint32_t kDown[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  static constexpr std::uint32_t kUp[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
  if (button < 0 || button > 2) return;
  const WinRect client = ClientRectOnScreen(window);
  NoteCursorPosition(Point{client.left + clientX, client.top + clientY});
  SetKey(kKeys[button], down);
  Post(window, down ? kDown[button] : kUp[button], MouseKeyFlags(), MakeLParam(clientX, clientY));
}

void DeliverWheel(HWND window, int stepsY, int stepsX) {
  if (!IsLiveWindow(window)) return;
  // The wheel messages carry the cursor in screen coordinates.
  const Point cursor = NotedCursorPosition();
  const LPARAM where = MakeLParam(cursor.x, cursor.y);
  auto post = [window, where](std::uint32_t message, int steps) {
    const int delta = steps > 0 ? WHEEL_DELTA : -WHEEL_DELTA;
    const WPARAM high = static_cast<WPARAM>(static_cast<std::uint16_t>(static_cast<std::int16_t>(delta))) << 16;
    for (int i = 0; i < (steps > 0 ? steps : -steps); ++i) Post(window, message, high | MouseKeyFlags(), where);
  };
  post(WM_MOUSEWHEEL, stepsY);
  post(WM_MOUSEHWHEEL, stepsX);
}

void DeliverDisplayChange(HWND window, int bitsPerPixel, int width, int height) {
  const LPARAM size = MakeLParam(width, height);
  if (window != nullptr) {
    if (IsLiveWindow(window)) Post(window, WM_DISPLAYCHANGE, static_cast<WPARAM>(bitsPerPixel), size);
    return;
  }
  for (HWND each : WindowsOfThread(0)) Post(each, WM_DISPLAYCHANGE, static_cast<WPARAM>(bitsPerPixel), size);
}

// The hooks may be called from a test thread: the delivery itself runs on
// the window's thread.
void SimulateActivation(HWND window, bool active) {
  RunOnWindowThread(window, [=] { DeliverActivation(window, active); });
}
void SimulateMinimise(HWND window, bool minimised) {
  RunOnWindowThread(window, [=] { DeliverMinimise(window, minimised); });
}
void SimulateCloseRequest(HWND window) {
  RunOnWindowThread(window, [=] { DeliverClose(window); });
}

void SimulateKey(HWND window, std::uint32_t virtualKey, bool down) {
  RunOnWindowThread(window, [=] {
    DeliverKey(window, virtualKey, ScanCodeOfVirtualKey(virtualKey), IsVirtualKeyExtended(virtualKey), down);
    // With the IME off the desktop backend types plain keys itself (no text
    // events come); a simulated key types the same.
    if (!down || !IsLiveWindow(window) || window->textInput || KeyDown(VK_CONTROL) || KeyDown(VK_MENU)) return;
    if (const char typed = TypedCharacterOfVirtualKey(virtualKey, KeyDown(VK_SHIFT))) {
      Post(window, WM_CHAR, static_cast<unsigned char>(typed), 1);
    }
  });
}

void SimulateText(HWND window, const char* utf8) {
  if (utf8 == nullptr) return;
  RunOnWindowThread(window, [window, text = std::string(utf8)] { DeliverText(window, text.c_str()); });
}
void SimulateMouseMove(HWND window, int x, int y) {
  RunOnWindowThread(window, [=] { DeliverMouseMove(window, x, y); });
}
void SimulateMouseButton(HWND window, int button, bool down, int x, int y) {
  RunOnWindowThread(window, [=] { DeliverMouseButton(window, button, down, x, y); });
}
void SimulateWheel(HWND window, int stepsVertical, int stepsHorizontal) {
  RunOnWindowThread(window, [=] { DeliverWheel(window, stepsVertical, stepsHorizontal); });
}

void SimulateDroppedFiles(HWND window, const char* const* utf8Paths, int count) {
  if (utf8Paths == nullptr || count < 0) return;
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    if (utf8Paths[i] != nullptr) paths.emplace_back(utf8Paths[i]);
  }
  RunOnWindowThread(window, [window, paths = std::move(paths)] { DeliverDroppedFiles(window, paths); });
}

}  // namespace plat
