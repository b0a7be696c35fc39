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

}  // namespace plat
