// Internals shared by the files of the SDL2 desktop backend.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/window_internal.h"

namespace plat {

// The virtual key of a key position (0 for keys the library has no code for).
std::uint32_t SdlScancodeToVirtualKey(SDL_Scancode scancode);
// Turns one SDL event into the messages the system would post.
void TranslateSdlEvent(const SDL_Event& event);
// Delivers drops that arrived without their closing event.
void FlushSdlDrops();
// The window frame the window manager draws, once a decorated window has
// shown it (zero before).
void NoteSdlFrame(SDL_Window* window);
// Under X11: a lost display connection, or a request it refuses (our window
// destroyed from outside), ends the program through EndAfterDisplayLoss
// instead of Xlib's exit(). Nothing on other video drivers.
void WatchForDisplayLoss();
// Writes "The program ends: <reason>." to stderr, closes the sound sink and
// ends the process with status 1, running no static destructors.
[[noreturn]] void EndAfterDisplayLoss(const char* reason);

}  // namespace plat
