// The desktop backend over SDL2: real windows, the desktop, cursor,
// clipboard, screen saver and text input. Video starts on first use and
// stops when its last window is gone; events are read on the thread that
// started it, inside PeekMessageA and GetMessageA.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/debug_output.h"
#include "platform/sync.h"
#include "platform/window_sdl.h"
#include "platform/x11_probe.h"

namespace plat {
namespace {

std::mutex gSdlMutex;
std::atomic<std::uint32_t> gVideoThread{0};
FrameSize gMeasuredFrame{};
bool gFrameMeasured = false;
// Fixed storage: the start keeps a pointer to the reason.
char gDisplayFailure[256] = "";

bool VideoRunning() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

bool OnVideoThread() { return VideoRunning() && gVideoThread.load() == GetCurrentThreadId(); }

SDL_Window* Native(const WindowObject* window) { return static_cast<SDL_Window*>(window->native); }

bool Decorated(std::uint32_t style) { return (style & WS_CAPTION) == WS_CAPTION || (style & WS_THICKFRAME) != 0; }

// When no display answers, SDL falls back to a driver that shows nothing
// (offscreen, dummy): a window there is a window no one sees. Only a driver
// asked for by name (SDL_VIDEODRIVER) may be one of those.
bool FellBackToInvisibleDriver() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr) return true;
  if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return false;
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  return asked == nullptr || std::strstr(asked, driver) == nullptr;
}

// The display variables a failed start saw: the same ones fail again, so a
// second try does not probe every driver again (each probe may print).
std::string DisplayEnvironment() {
  std::string seen;
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", SDL_HINT_VIDEODRIVER}) {
    const char* value = std::getenv(variable);
    seen += std::string(value != nullptr ? value : "") + '\n';
  }
  return seen;
}
std::string gFailedEnvironment;

// Long enough for a loaded machine's server to answer its connection setup.
constexpr int kX11AnswerTimeoutMs = 3000;

// What the X display DISPLAY names answers a connection of our own.
struct X11Answer {
  bool named = false;
  X11ProbeResult result = X11ProbeResult::kNoServer;
  std::string words;
};

X11Answer AskX11Display() {
  X11Answer answer;
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') return answer;
  std::string serverReason;
  answer.named = true;
  answer.result = ProbeX11Display(display, kX11AnswerTimeoutMs, &serverReason);
  answer.words = std::string("DISPLAY=") + display + ": " +
                 DescribeX11Probe(answer.result, kX11AnswerTimeoutMs, serverReason);
  return answer;
}

void NoteDisplayFailure(const X11Answer& x11) {
  std::string named = x11.words;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland != nullptr && wayland[0] != '\0') {
    named += (named.empty() ? "" : "; ") + std::string("WAYLAND_DISPLAY=") + wayland +
             ": no Wayland compositor answers there";
  }
  std::snprintf(gDisplayFailure, sizeof gDisplayFailure, "no display could be opened (%s)",
                named.empty() ? "none is named" : named.c_str());
  OutputDebugStringA("SDL video: ");
  OutputDebugStringA(gDisplayFailure);
  OutputDebugStringA("\n");
  gFailedEnvironment = DisplayEnvironment();
}

bool Start() {
  if (VideoRunning()) return true;
  if (gDisplayFailure[0] != '\0' && gFailedEnvironment == DisplayEnvironment()) return false;
  // Only a signal makes SDL_QUIT; closing a window is its own event.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // SDL turns the screen saver off by default; the library decides.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // A server that takes connections but never answers (held grabbed by
  // another program) would hang the X driver's open for good.
  const X11Answer x11 = AskX11Display();
  if (x11.result == X11ProbeResult::kNoAnswer) {
    NoteDisplayFailure(x11);
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    OutputDebugStringA("SDL video could not start: ");
    OutputDebugStringA(SDL_GetError());
    OutputDebugStringA("\n");
    NoteDisplayFailure(x11);
    return false;
  }
  if (FellBackToInvisibleDriver()) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    NoteDisplayFailure(x11);
    return false;
  }
  gDisplayFailure[0] = '\0';
  gVideoThread.store(GetCurrentThreadId());
  WatchForDisplayLoss();
  if (WantsScreenSaverInhibited()) SDL_DisableScreenSaver();
  SDL_ShowCursor(WantsCursorVisible() ? SDL_ENABLE : SDL_DISABLE);
  return true;
}

std::uint32_t WindowFlags(const WindowObject* window) {
  std::uint32_t flags = SDL_WINDOW_HIDDEN;
  if (!Decorated(window->style)) flags |= SDL_WINDOW_BORDERLESS;
  if ((window->style & WS_THICKFRAME) != 0) flags |= SDL_WINDOW_RESIZABLE;
  if ((window->exStyle & WS_EX_TOPMOST) != 0) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  if ((window->exStyle & WS_EX_TOOLWINDOW) != 0) flags |= SDL_WINDOW_SKIP_TASKBAR;
  return flags;
}

bool CreateNative(WindowObject* window) {
  const WinRect client = ClientRectOnScreen(window);
  const int width = client.right - client.left > 0 ? client.right - client.left : 1;
  const int height = client.bottom - client.top > 0 ? client.bottom - client.top : 1;
  const std::string title = CodePageToUtf8(window->title.c_str());
  SDL_Window* native = nullptr;
  // A layered window is shaped where the video driver offers shapes; it is
  // an ordinary window elsewhere.
  if ((window->exStyle & WS_EX_LAYERED) != 0) {
    native = SDL_CreateShapedWindow(title.c_str(), static_cast<unsigned>(std::max(client.left, 0)),
                                    static_cast<unsigned>(std::max(client.top, 0)), static_cast<unsigned>(width),
                                    static_cast<unsigned>(height), WindowFlags(window));
  }
  if (native == nullptr) {
    native = SDL_CreateWindow(title.c_str(), client.left, client.top, width, height, WindowFlags(window));
  }
  if (native == nullptr) {
    OutputDebugStringA("SDL_CreateWindow failed: ");
    OutputDebugStringA(SDL_GetError());
    OutputDebugStringA("\n");
    return false;
  }
  window->native = native;
  window->nativeId = SDL_GetWindowID(native);
  return true;
}

void DestroyNative(WindowObject* window) {
  SDL_DestroyWindow(Native(window));
  window->native = nullptr;
  bool others = false;
  for (HWND each : WindowsOfThread(0)) others = others || (each != window && each->backend == &SdlWindowBackend());
  if (!others && OnVideoThread()) {
    // Events of the window that are still queued would name a gone window.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gVideoThread.store(0);
  }
}

void ApplyVisibility(WindowObject* window, int showCommand) {
  SDL_Window* native = Native(window);
  switch (showCommand) {
    case SW_HIDE:
      SDL_HideWindow(native);
      break;
    case SW_SHOW:
      SDL_ShowWindow(native);
      break;
    case SW_MINIMIZE:
      SDL_ShowWindow(native);
      SDL_MinimizeWindow(native);
      // Drivers without minimising (the dummy one) send no event: the
      // messages go out here, and a later event finds nothing to change.
      DeliverMinimise(window, true);
      break;
    case SW_RESTORE:
      SDL_ShowWindow(native);
      SDL_RestoreWindow(native);
      window->maximised = false;
      DeliverMinimise(window, false);
      break;
    default:
      break;
  }
}

void ApplyBounds(WindowObject* window) {
  const WinRect client = ClientRectOnScreen(window);
  SDL_SetWindowPosition(Native(window), client.left, client.top);
  SDL_SetWindowSize(Native(window), client.right - client.left > 0 ? client.right - client.left : 1,
                    client.bottom - client.top > 0 ? client.bottom - client.top : 1);
}

void ApplyStyle(WindowObject* window) {
  SDL_Window* native = Native(window);
  SDL_SetWindowBordered(native, Decorated(window->style) ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(native, (window->style & WS_THICKFRAME) != 0 ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowAlwaysOnTop(native, (window->exStyle & WS_EX_TOPMOST) != 0 ? SDL_TRUE : SDL_FALSE);
}

void ApplyTitle(WindowObject* window) {
  SDL_SetWindowTitle(Native(window), CodePageToUtf8(window->title.c_str()).c_str());
}

void ApplyIcon(WindowObject* window, const IconImage* icon) {
  if (icon == nullptr) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(icon->argb.data()),
                                                            icon->width, icon->height, 32, icon->width * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(Native(window), surface);
  SDL_FreeSurface(surface);
}

void ApplyTopmost(WindowObject* window, bool topmost) {
  SDL_SetWindowAlwaysOnTop(Native(window), topmost ? SDL_TRUE : SDL_FALSE);
}

void Raise(WindowObject* window) { SDL_RaiseWindow(Native(window)); }

FrameSize Frame(std::uint32_t style, std::uint32_t) {
  if (!Decorated(style)) return FrameSize{};
  std::lock_guard<std::mutex> lock(gSdlMutex);
  return gMeasuredFrame;
}

void PollEvents() {
  if (!OnVideoThread()) return;
  SDL_Event event;
  while (VideoRunning() && SDL_PollEvent(&event) != 0) TranslateSdlEvent(event);
  FlushSdlDrops();
}

bool NeedsPolling() { return OnVideoThread(); }

void ApplyCursorVisible(bool visible) {
  if (VideoRunning()) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool GetCursor(Point* point) {
  if (!Start()) return false;
  int x = 0;
  int y = 0;
  SDL_GetGlobalMouseState(&x, &y);
  *point = Point{x, y};
  return true;
}

bool Clip(const WinRect* screenRect) {
  bool any = false;
  for (HWND window : WindowsOfThread(0)) {
    if (window->backend != &SdlWindowBackend() || window->native == nullptr) continue;
    any = true;
    if (screenRect == nullptr) {
      SDL_SetWindowMouseRect(Native(window), nullptr);
      continue;
    }
    const WinRect client = ClientRectOnScreen(window);
    const SDL_Rect area{screenRect->left - client.left, screenRect->top - client.top,
                        screenRect->right - screenRect->left, screenRect->bottom - screenRect->top};
    SDL_SetWindowMouseRect(Native(window), &area);
  }
  return any || screenRect == nullptr;
}

bool GetClipboard(std::string* utf8) {
  if (!Start() || SDL_HasClipboardText() != SDL_TRUE) return false;
  char* text = SDL_GetClipboardText();
  if (text == nullptr) return false;
  *utf8 = text;
  SDL_free(text);
  return true;
}

bool SetClipboard(const std::string& utf8) { return Start() && SDL_SetClipboardText(utf8.c_str()) == 0; }

bool DesktopMode(int* width, int* height, int* bitsPerPixel) {
  if (!Start()) return false;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
  *width = mode.w;
  *height = mode.h;
  // SDL names X8R8G8B8 "24 bits"; four bytes a pixel are 32 bits here.
  *bitsPerPixel = SDL_BYTESPERPIXEL(mode.format) * 8;
  return true;
}

void ApplyScreenSaver(bool inhibited) {
  if (!VideoRunning()) return;  // applied when video starts
  if (inhibited) {
    SDL_DisableScreenSaver();
  } else {
    SDL_EnableScreenSaver();
  }
}

void ApplyTextInput(WindowObject*, bool enabled) {
  if (!VideoRunning()) return;
  if (enabled) {
    SDL_StartTextInput();
  } else {
    SDL_StopTextInput();
  }
}

// Alpha 0 cuts a pixel out of a shaped window; windows SDL could not shape,
// and shapes of another size than the window, are left as they are.
void ApplyShape(WindowObject* window, const std::uint32_t* pixels, int width, int height) {
  SDL_Window* native = Native(window);
  int windowWidth = 0;
  int windowHeight = 0;
  if (native == nullptr || !SDL_IsShapedWindow(native)) return;
  SDL_GetWindowSize(native, &windowWidth, &windowHeight);
  if (windowWidth != width || windowHeight != height) return;
  SDL_Surface* shape = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(pixels), width, height, 32,
                                                          width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (shape == nullptr) return;
  SDL_WindowShapeMode mode{};
  mode.mode = ShapeModeBinarizeAlpha;
  mode.parameters.binarizationCutoff = 1;
  SDL_SetWindowShape(native, shape, &mode);
  SDL_FreeSurface(shape);
}

const WindowBackend kSdl = {
    "desktop",    Start,        CreateNative, DestroyNative, ApplyVisibility,    ApplyBounds, ApplyStyle,
    ApplyTitle,   ApplyIcon,    ApplyTopmost, Raise,         Frame,              PollEvents,  NeedsPolling,
    ApplyCursorVisible, GetCursor, Clip,      GetClipboard,  SetClipboard,       DesktopMode, ApplyScreenSaver,
    ApplyTextInput, ApplyShape,
};

}  // namespace

void NoteSdlFrame(SDL_Window* window) {
  int top = 0;
  int left = 0;
  int bottom = 0;
  int right = 0;
  if ((SDL_GetWindowFlags(window) & SDL_WINDOW_BORDERLESS) != 0) return;
  if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0) return;
  if (top == 0 && left == 0 && bottom == 0 && right == 0) return;
  std::lock_guard<std::mutex> lock(gSdlMutex);
  if (gFrameMeasured) return;
  gMeasuredFrame = FrameSize{left, top, right, bottom};
  gFrameMeasured = true;
}

const WindowBackend& SdlWindowBackend() { return kSdl; }

const char* SdlDisplayOpenFailure() { return gDisplayFailure; }

}  // namespace plat
