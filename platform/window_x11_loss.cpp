// The desktop backend under X11 when the display goes away: the server ends,
// the connection is killed, or the window is destroyed from outside. Xlib's
// own handlers would call exit() wherever the program stands, and threads
// still running would meet the static destructors (an abort). Ours say what
// happened, close the sound sink and end the process at once.
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/dsound_internal.h"
#include "platform/window_sdl.h"

namespace plat {
namespace {

constexpr int kDisplayLostExitCode = 1;

using SetIoErrorHandlerFunction = XIOErrorHandler (*)(XIOErrorHandler);
using SetErrorHandlerFunction = XErrorHandler (*)(XErrorHandler);
using GetErrorTextFunction = int (*)(Display*, int, char*, int);

GetErrorTextFunction gGetErrorText = nullptr;

int OnConnectionLost(Display*) { EndAfterDisplayLoss("the connection to the X display was lost"); }

// SDL catches the errors it expects with handlers of its own around the
// calls; one that reaches this handler would have ended the program anyway.
int OnRequestRefused(Display* display, XErrorEvent* error) {
  char what[160] = "unknown error";
  if (gGetErrorText != nullptr) gGetErrorText(display, error->error_code, what, sizeof(what));
  char reason[256];
  std::snprintf(reason, sizeof(reason), "the X display refused a request (%s, resource 0x%lx)", what,
                error->resourceid);
  EndAfterDisplayLoss(reason);
}

}  // namespace

void EndAfterDisplayLoss(const char* reason) {
  std::fprintf(stderr, "The program ends: %s.\n", reason);
  // No call here may reach the display: the sound sink is all that runs on
  // its own and needs closing.
  CloseAudioSink();
  std::fflush(nullptr);
  std::_Exit(kDisplayLostExitCode);
}

void WatchForDisplayLoss() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "x11") != 0) return;
  // SDL loaded Xlib; its handler setters are looked up there.
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (xlib == nullptr) return;
  const auto setIoErrorHandler = reinterpret_cast<SetIoErrorHandlerFunction>(dlsym(xlib, "XSetIOErrorHandler"));
  const auto setErrorHandler = reinterpret_cast<SetErrorHandlerFunction>(dlsym(xlib, "XSetErrorHandler"));
  gGetErrorText = reinterpret_cast<GetErrorTextFunction>(dlsym(xlib, "XGetErrorText"));
  if (setIoErrorHandler != nullptr) setIoErrorHandler(OnConnectionLost);
  if (setErrorHandler != nullptr) setErrorHandler(OnRequestRefused);
  dlclose(xlib);  // SDL keeps its own reference
}

}  // namespace plat
