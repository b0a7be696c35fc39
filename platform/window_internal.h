// Shared internals of the window stand-in: the window object, the table of
// backend functions and the backend-neutral services the backends call back
// into (posting the messages their events produce, the window registry).
// Only platform/window_*.cpp include this.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace plat {

struct IconImage {
  std::vector<std::uint32_t> argb;
  int width = 0;
  int height = 0;
};

// The frame a style adds around the client area, in pixels.
struct FrameSize {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct WindowBackend;

struct WindowObject {
  const WindowBackend* backend = nullptr;
  std::string className;  // code-page bytes
  std::string title;      // code-page bytes
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  WindowProc procedure = nullptr;
  std::uint32_t threadId = 0;
  // The window rectangle in screen coordinates; the client area is this less
  // the frame of the style.
  WinRect windowRect{};
  // The frame of the style, fixed when the style is set so that the client
  // size a caller computed with AdjustWindowRectEx is the one it gets.
  FrameSize frame{};
  bool visible = false;
  bool minimised = false;
  bool maximised = false;
  bool active = true;
  bool destroying = false;
  bool invalid = false;
  WinRect invalidRect{};
  int iconId = 0;
  bool textInput = true;
  void* native = nullptr;          // the backend's window
  std::uint32_t nativeId = 0;      // the backend's window id
};

// One backend: the functions the neutral layer calls. Filled when the
// backend is chosen; a function that a backend cannot do is still present.
struct WindowBackend {
  const char* name;
  // Brings the backend up on first use; false when it cannot run.
  bool (*start)();
  bool (*createWindow)(WindowObject* window);
  void (*destroyWindow)(WindowObject* window);
  // Window state the neutral layer changed: visibility, rectangle, style,
  // title, icon, topmost.
  void (*applyVisibility)(WindowObject* window, int showCommand);
  void (*applyBounds)(WindowObject* window);
  void (*applyStyle)(WindowObject* window);
  void (*applyTitle)(WindowObject* window);
  void (*applyIcon)(WindowObject* window, const IconImage* icon);
  void (*applyTopmost)(WindowObject* window, bool topmost);
  void (*raise)(WindowObject* window);
  FrameSize (*frame)(std::uint32_t style, std::uint32_t exStyle);
  // Turns pending system events into messages; called by PeekMessageA.
  void (*pollEvents)();
  // Whether waiting for messages must wake up to poll events.
  bool (*needsPolling)();
  void (*applyCursorVisible)(bool visible);
  bool (*getCursorPos)(Point* point);
  bool (*clipCursor)(const WinRect* screenRect);
  bool (*getClipboard)(std::string* utf8);
  bool (*setClipboard)(const std::string& utf8);
  bool (*desktopMode)(int* width, int* height, int* bitsPerPixel);
  void (*applyScreenSaver)(bool inhibited);
  void (*applyTextInput)(WindowObject* window, bool enabled);
  // The shape of a layered window: pixels whose alpha byte is 0 are cut out
  // (0xAARRGGBB, the window's client size).
  void (*applyShape)(WindowObject* window, const std::uint32_t* pixels, int width, int height);
};

const WindowBackend& HeadlessWindowBackend();
const WindowBackend& SdlWindowBackend();
// Why the desktop backend found no display; "" while it has one.
const char* SdlDisplayOpenFailure();
// The backend of the kind chosen for this process.
const WindowBackend& CurrentWindowBackend();

// Window classes (window_class.cpp): the registered class of that name
// (names match without regard to ASCII case).
struct ClassRecord {
  std::string name;
  std::uint32_t style = 0;
  WindowProc procedure = nullptr;
  int iconId = 0;
};
bool LookupWindowClass(const char* className, ClassRecord* record);
bool SameClassName(const std::string& a, const char* b);

// Window registry (window_object.cpp).
bool IsLiveWindow(HWND window);
// The live window that a backend window id belongs to, or null.
HWND FindWindowByNativeId(const WindowBackend* backend, std::uint32_t nativeId);
// Live windows of a thread (0: every thread).
std::vector<HWND> WindowsOfThread(std::uint32_t threadId);
// The thread a live window belongs to, or 0 when it is not a live window.
std::uint32_t WindowThread(HWND window);
bool AnyWindowOfClass(const char* className);
FrameSize FrameOf(const WindowObject* window);
WinRect ClientRectOnScreen(const WindowObject* window);

// Message production shared by both backends and the test hooks
// (window_input.cpp). Each posts what the system posts for the event.
void DeliverActivation(HWND window, bool active);
void DeliverMinimise(HWND window, bool minimised);
void DeliverMaximise(HWND window);
void DeliverMoved(HWND window, int clientX, int clientY);
void DeliverResized(HWND window, int clientWidth, int clientHeight);
void DeliverExpose(HWND window);
void DeliverClose(HWND window);
// A key with its virtual-key code (left and right variants of Shift,
// Control and Alt allowed) and scan code; a down of a key already down is a
// repeat.
void DeliverKey(HWND window, std::uint32_t virtualKey, std::uint32_t scanCode, bool extended, bool down);
void DeliverText(HWND window, const char* utf8);
void DeliverMouseMove(HWND window, int clientX, int clientY);
void DeliverMouseButton(HWND window, int button, bool down, int clientX, int clientY);
void DeliverWheel(HWND window, int stepsY, int stepsX);
void DeliverDisplayChange(HWND window, int bitsPerPixel, int width, int height);
void DeliverDroppedFiles(HWND window, const std::vector<std::string>& utf8Paths);
// Clears the key table (focus went elsewhere, so no key-up will come).
void ReleaseAllKeys();
// The cursor position the headless backend reports (screen coordinates).
void NoteCursorPosition(Point screen);
Point NotedCursorPosition();
// The scan code a virtual key has on a standard keyboard (0 when unknown).
std::uint32_t ScanCodeOfVirtualKey(std::uint32_t virtualKey);
bool IsVirtualKeyExtended(std::uint32_t virtualKey);
// The character a key types on a US layout with Shift held or not, or 0
// (keys of the number pad type nothing, as with the desktop backend).
char TypedCharacterOfVirtualKey(std::uint32_t virtualKey, bool shift);

// Makes sure the calling thread has a message queue (window_queue.cpp).
void EnsureThreadQueue();
// Posts messages for one window in order under a single queue lock, so the
// window's thread never takes part of the group without the rest; false when
// the window is gone. The window and time fields are filled in here.
bool PostMessagesTogether(HWND window, const std::vector<Message>& messages);
// Wakes a thread blocked in GetMessageA.
void WakeThreadQueue(std::uint32_t threadId);
// Runs work on the window's own thread: at once when called there, else at
// that thread's next look at its queue. Window state is only ever changed by
// its own thread, so hooks driven from a test thread stay race-free.
void RunOnWindowThread(HWND window, std::function<void()> work);
// Drops the queued messages and timers of a window being destroyed.
void ForgetWindowMessages(HWND window);

// Instance locks of window classes (window_instance.cpp).
void AcquireInstanceLock(const std::string& className);
void ReleaseInstanceLock(const std::string& className);
bool IsInstanceLockedElsewhere(const std::string& className);

// Icon images registered by the program (window_desktop.cpp).
const IconImage* FindIconImage(int iconId);

// The desktop the headless backend reports (window_desktop.cpp).
HeadlessDesktop CurrentHeadlessDesktop();
// Whether the screen saver is to be held off and the cursor shown; a backend
// applies both when it starts.
bool WantsScreenSaverInhibited();
bool WantsCursorVisible();

// The sentinel handle FindWindowA gives for another process's window.
HWND OtherProcessWindow();

}  // namespace plat
