// Windows, window classes and the message queue of the stand-in, with the
// desktop services the main window uses (cursor, clipboard, desktop metrics,
// screen saver, text input, dropped files, icons).
// Two backends chosen at run time (platform/backend.h): the desktop backend
// over SDL2 (a real window; SDL events become the messages below) and the
// headless backend (no display; the window counts as active from creation and
// tests drive it through the hooks at the end of this file).
// Message numbers and flag values are the platform's published ones, so the
// window procedure's tables keep their meaning.
//
// The logic that does not depend on the backend (classes, windows and their
// rectangles, per-thread message queues with Windows ordering, timers on the
// stand-in clock, painting, instance locks) is shared; the backend is reached
// through one internal table of functions (window_sdl_* and
// window_headless_*). SDL events and the tests' Simulate* hooks go through
// the same delivery functions, so a simulated key press and a real one make
// the same messages. A second running copy is found by class name through an
// exclusive flock on a lock file in the runtime folder, which the kernel
// releases even when a process dies. The stand-in keeps its own table of keys
// held down (SDL's keyboard state does not see injected events) and marks
// every key that goes down (TakeKeyPresses), so the input layer can keep a
// press let go before its next read (a press no read looked at goes at the
// second pump pass after it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace plat {

struct WindowObject;
using HWND = WindowObject*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
// Targets of PeekMessageA besides a window: any window of the thread (null)
// and thread messages only.
inline HWND const kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));

using WindowProc = LRESULT (*)(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
using TimerProc = void (*)(HWND window, std::uint32_t message, std::uintptr_t id, std::uint32_t time);

struct Point {
  std::int32_t x;
  std::int32_t y;
};

struct WinRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

struct Message {
  HWND window;
  std::uint32_t message;
  WPARAM wParam;
  LPARAM lParam;
  std::uint32_t time;
};

// Messages.
inline constexpr std::uint32_t WM_NULL = 0x0000;
inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_MOVE = 0x0003;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_ACTIVATEAPP = 0x001C;
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;
inline constexpr std::uint32_t WM_DISPLAYCHANGE = 0x007E;
inline constexpr std::uint32_t WM_NCHITTEST = 0x0084;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr std::uint32_t WM_SYSCHAR = 0x0106;
inline constexpr std::uint32_t WM_IME_STARTCOMPOSITION = 0x010D;
inline constexpr std::uint32_t WM_IME_ENDCOMPOSITION = 0x010E;
inline constexpr std::uint32_t WM_IME_COMPOSITION = 0x010F;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr std::uint32_t WM_MOUSEHWHEEL = 0x020E;
inline constexpr std::uint32_t WM_SIZING = 0x0214;
inline constexpr std::uint32_t WM_MOVING = 0x0216;
inline constexpr std::uint32_t WM_DROPFILES = 0x0233;
inline constexpr std::uint32_t WM_IME_SETCONTEXT = 0x0281;
inline constexpr std::uint32_t WM_IME_NOTIFY = 0x0282;
inline constexpr std::uint32_t MM_MCINOTIFY = 0x03B9;
inline constexpr std::uint32_t WM_USER = 0x0400;

// Message parameters.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;
inline constexpr WPARAM WA_INACTIVE = 0;
inline constexpr WPARAM WA_ACTIVE = 1;
inline constexpr WPARAM WA_CLICKACTIVE = 2;
inline constexpr WPARAM SC_KEYMENU = 0xF100;
inline constexpr WPARAM SC_SCREENSAVE = 0xF140;
inline constexpr WPARAM SC_MONITORPOWER = 0xF170;
inline constexpr LRESULT HTCAPTION = 2;
inline constexpr LRESULT HTMENU = 5;
inline constexpr WPARAM WMSZ_LEFT = 1;
inline constexpr WPARAM WMSZ_RIGHT = 2;
inline constexpr WPARAM WMSZ_TOP = 3;
inline constexpr WPARAM WMSZ_TOPLEFT = 4;
inline constexpr WPARAM WMSZ_TOPRIGHT = 5;
inline constexpr WPARAM WMSZ_BOTTOM = 6;
inline constexpr WPARAM WMSZ_BOTTOMLEFT = 7;
inline constexpr WPARAM WMSZ_BOTTOMRIGHT = 8;
inline constexpr int WHEEL_DELTA = 120;

constexpr std::uint16_t LowWord(std::uintptr_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); }
constexpr std::uint16_t HighWord(std::uintptr_t value) { return static_cast<std::uint16_t>((value >> 16) & 0xFFFF); }
constexpr LPARAM MakeLParam(std::int32_t low, std::int32_t high) {
  return static_cast<LPARAM>(static_cast<std::uint32_t>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}

// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_MINIMIZE = 0x20000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_MAXIMIZE = 0x01000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000u;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008u;
inline constexpr std::uint32_t WS_EX_TRANSPARENT = 0x00000020u;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080u;
inline constexpr std::uint32_t WS_EX_WINDOWEDGE = 0x00000100u;
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200u;
inline constexpr std::uint32_t WS_EX_LAYERED = 0x00080000u;
inline constexpr std::uint32_t CS_VREDRAW = 0x1;
inline constexpr std::uint32_t CS_HREDRAW = 0x2;

inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_STYLE = -16;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));
inline constexpr std::uint32_t SWP_NOSIZE = 0x1;
inline constexpr std::uint32_t SWP_NOMOVE = 0x2;
inline constexpr std::uint32_t SWP_NOZORDER = 0x4;
inline constexpr std::uint32_t SWP_NOREDRAW = 0x8;

inline constexpr std::uint32_t PM_NOREMOVE = 0x0;
inline constexpr std::uint32_t PM_REMOVE = 0x1;

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;

inline constexpr int IDI_APPLICATION = 32512;
inline constexpr int IDC_ARROW = 32512;

// Virtual-key codes the key messages carry.
inline constexpr std::uint32_t VK_BACK = 0x08;
inline constexpr std::uint32_t VK_TAB = 0x09;
inline constexpr std::uint32_t VK_RETURN = 0x0D;
inline constexpr std::uint32_t VK_SHIFT = 0x10;
inline constexpr std::uint32_t VK_CONTROL = 0x11;
inline constexpr std::uint32_t VK_MENU = 0x12;
inline constexpr std::uint32_t VK_PAUSE = 0x13;
inline constexpr std::uint32_t VK_CAPITAL = 0x14;
inline constexpr std::uint32_t VK_ESCAPE = 0x1B;
inline constexpr std::uint32_t VK_SPACE = 0x20;
inline constexpr std::uint32_t VK_PRIOR = 0x21;
inline constexpr std::uint32_t VK_NEXT = 0x22;
inline constexpr std::uint32_t VK_END = 0x23;
inline constexpr std::uint32_t VK_HOME = 0x24;
inline constexpr std::uint32_t VK_LEFT = 0x25;
inline constexpr std::uint32_t VK_UP = 0x26;
inline constexpr std::uint32_t VK_RIGHT = 0x27;
inline constexpr std::uint32_t VK_DOWN = 0x28;
inline constexpr std::uint32_t VK_INSERT = 0x2D;
inline constexpr std::uint32_t VK_DELETE = 0x2E;
// '0'-'9' are 0x30-0x39 and 'A'-'Z' 0x41-0x5A.
inline constexpr std::uint32_t VK_NUMPAD0 = 0x60;
inline constexpr std::uint32_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint32_t VK_ADD = 0x6B;
inline constexpr std::uint32_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint32_t VK_DECIMAL = 0x6E;
inline constexpr std::uint32_t VK_DIVIDE = 0x6F;
inline constexpr std::uint32_t VK_F1 = 0x70;
inline constexpr std::uint32_t VK_NUMLOCK = 0x90;
inline constexpr std::uint32_t VK_SCROLL = 0x91;
inline constexpr std::uint32_t VK_LSHIFT = 0xA0;
inline constexpr std::uint32_t VK_RSHIFT = 0xA1;
inline constexpr std::uint32_t VK_LCONTROL = 0xA2;
inline constexpr std::uint32_t VK_RCONTROL = 0xA3;
inline constexpr std::uint32_t VK_LMENU = 0xA4;
inline constexpr std::uint32_t VK_RMENU = 0xA5;

// Window classes.
struct WindowClass {
  std::uint32_t style;
  WindowProc procedure;
  int iconId;  // a registered icon image, or 0
  const char* className;
};
// 0 on failure (the class exists already, or bad arguments), else an atom.
std::uint16_t RegisterClassExA(const WindowClass* windowClass);
BOOL UnregisterClassA(const char* className);

// Windows. Titles and class names are code-page text (see SetCodePageForText).
HWND CreateWindowExA(std::uint32_t exStyle, const char* className, const char* title, std::uint32_t style,
                     std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, HWND parent);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// The thread that made the window (0 for no window); there is one process.
std::uint32_t GetWindowThreadProcessId(HWND window, std::uint32_t* processId);
// Our own window of that class in this process, or, when another process
// holds the class's instance lock, a stand-in handle that is not IsWindow.
HWND FindWindowA(const char* className, const char* title);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL SetWindowTextA(HWND window, const char* title);
BOOL MoveWindow(HWND window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, std::uint32_t flags);
BOOL GetWindowRect(HWND window, WinRect* rect);
BOOL GetClientRect(HWND window, WinRect* rect);
BOOL ClientToScreen(HWND window, Point* point);
BOOL AdjustWindowRectEx(WinRect* rect, std::uint32_t style, BOOL menu, std::uint32_t exStyle);
std::intptr_t GetWindowLongA(HWND window, int index);
std::intptr_t SetWindowLongA(HWND window, int index, std::intptr_t value);
BOOL BringWindowToTop(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND SetActiveWindow(HWND window);
BOOL SetClassIcon(HWND window, int iconId);

// Icons: the program registers images for its icon ids (there are no
// resources on Linux). Pixels are 32-bit ARGB, rows top to bottom.
void RegisterIconImage(int iconId, const std::uint32_t* argb, int width, int height);

// The message queue: one per thread; any thread may post. A thread has a
// queue once it has looked at it (PeekMessageA, GetMessageA), made a window
// or a timer; the process's main thread always has one. Retrieval order:
// posted messages, then WM_QUIT (whatever the range), then WM_PAINT for an
// invalid visible window, then due timers. GetMessageA returns -1 for a bad
// window filter.
BOOL PeekMessageA(Message* message, HWND window, std::uint32_t filterMin, std::uint32_t filterMax,
                  std::uint32_t removeFlags);
// Waits for a message; FALSE for WM_QUIT.
BOOL GetMessageA(Message* message, HWND window, std::uint32_t filterMin, std::uint32_t filterMax);
BOOL PostMessageA(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(std::uint32_t threadId, std::uint32_t message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Calls the window's procedure at once (on the calling thread); 0 for a
// window that does not exist.
LRESULT SendMessageA(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
// Key downs of printable keys do not make WM_CHAR here: text input arrives
// as WM_CHAR from the backend already.
BOOL TranslateMessage(const Message* message);
LRESULT DispatchMessageA(const Message* message);
// WM_CLOSE destroys the window; WM_PAINT validates it (so an unhandled paint
// does not come back forever); everything returns 0.
LRESULT DefWindowProcA(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
std::uintptr_t SetTimer(HWND window, std::uintptr_t id, std::uint32_t milliseconds, TimerProc callback);
BOOL KillTimer(HWND window, std::uintptr_t id);

// Painting: the rectangle to repaint, validated by EndPaint.
struct PaintInfo {
  WinRect paintRect;
};
BOOL BeginPaint(HWND window, PaintInfo* paint);
BOOL EndPaint(HWND window, const PaintInfo* paint);
BOOL InvalidateRect(HWND window, const WinRect* rect);

// Cursor: a display counter; the cursor shows while it is 0 or more.
int ShowCursor(BOOL show);
// Null hides the cursor over the window; anything else is the arrow.
void SetCursor(const void* cursor);
BOOL GetCursorPos(Point* point);
// Null releases the cursor.
BOOL ClipCursor(const WinRect* rect);

// Desktop.
int GetSystemMetrics(int index);
// Bits per pixel of the desktop: 4 bytes per pixel are 32 bits.
int GetDesktopBitsPerPixel();
// Why no window can be shown, in a few English words: the desktop backend
// found no display, or QZ_BACKEND names no backend; "" while windows can be
// made (or no one has looked yet).
const char* GetDisplayOpenFailure();
// The OEM code page (default 437; tests may set another).
std::uint32_t GetOEMCP();
void SetOEMCPForTest(std::uint32_t codePage);
// Inhibits the screen saver while the process runs; the previous state comes
// back at exit or when released.
void SetScreenSaverInhibited(bool inhibited);
bool IsScreenSaverInhibited();

// Text conversion between the library's code page and UTF-8 for titles, the
// clipboard and typed text. 0 means Shift-JIS (932).
void SetCodePageForText(std::uint32_t codePage);
std::string CodePageToUtf8(const char* text);
std::string Utf8ToCodePage(const char* utf8);

// Clipboard text in the library's code page. False when the clipboard cannot
// be read (no text) or written.
bool GetClipboardTextBytes(std::string* text);
bool SetClipboardTextBytes(const char* text);
// Test hook: while set, the clipboard takes no text (another program holds
// it open).
void SetClipboardRefusesForTest(bool refuses);

// Text input (the IME switch): on by default.
void EnableTextInput(HWND window, BOOL enable);

// Dropped files: WM_DROPFILES carries a drop handle in wParam.
using DropHandle = void*;
// index 0xFFFFFFFF gives the count; otherwise copies the name (library form)
// and returns its length, or the length needed with a null buffer.
std::uint32_t DragQueryFileA(DropHandle drop, std::uint32_t index, char* buffer, std::uint32_t bufferSize);
void DragFinish(DropHandle drop);

// The module instance of the program.
void* GetModuleHandleA(const char* name);

// Test hooks. The headless backend acts on them directly; the desktop backend
// turns them into the same messages its events would produce.
struct HeadlessDesktop {
  int width;
  int height;
  int bitsPerPixel;
};
void SetHeadlessDesktop(const HeadlessDesktop& desktop);  // default 1920x1080x32
// Posts what the system posts when the window gains or loses activation
// (WM_ACTIVATEAPP and WM_ACTIVATE) and updates focus.
void SimulateActivation(HWND window, bool active);
// WM_SIZE with SIZE_MINIMIZED or SIZE_RESTORED, with the matching activation.
void SimulateMinimise(HWND window, bool minimised);
// What a user's close does: WM_CLOSE.
void SimulateCloseRequest(HWND window);
// A key press as the backend would deliver it: WM_KEYDOWN/UP (WM_SYSKEYDOWN/UP
// with Alt held), and WM_CHAR for text.
void SimulateKey(HWND window, std::uint32_t virtualKey, bool down);
void SimulateText(HWND window, const char* utf8);
// The mouse as the backend delivers it, in client coordinates: WM_MOUSEMOVE,
// the button messages (button 0 left, 1 right, 2 middle) and the wheels
// (one message of +-WHEEL_DELTA per step).
void SimulateMouseMove(HWND window, int x, int y);
void SimulateMouseButton(HWND window, int button, bool down, int x, int y);
void SimulateWheel(HWND window, int stepsVertical, int stepsHorizontal);
// WM_DISPLAYCHANGE to every window; the headless desktop takes the new mode.
void SimulateDisplayChange(int bitsPerPixel, int width, int height);
// WM_DROPFILES with these files (UTF-8 POSIX paths).
void SimulateDroppedFiles(HWND window, const char* const* utf8Paths, int count);
// Pretends another process holds the instance lock of this class.
void SimulateOtherInstance(const char* className, bool running);
// Whether a virtual key is down, kept from the key messages the backend
// produced (SDL's own keyboard state does not see injected keys).
bool IsVirtualKeyDown(std::uint32_t virtualKey);
// The same table as 256 bytes indexed by virtual key, bit 7 set while down.
BOOL GetKeyboardState(std::uint8_t keys[256]);
// The keys pressed (gone from up to down) since the last call, laid out as
// GetKeyboardState lays them out: a key pressed and released between two
// reads of the table is found here once.
void TakeKeyPresses(std::uint8_t keys[256]);

}  // namespace plat
