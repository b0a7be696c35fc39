// Joystick index n is SDL's joystick device n; SDL's joystick subsystem is
// held from the first call to the end of the program.
#include "platform/winmm_joystick.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/backend.h"

namespace plat {
namespace {

bool StartJoysticks() {
  static const bool started = (PrepareSdlSignals(), SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0);
  return started;
}

std::uint32_t Position(SDL_Joystick* joystick, int axis) {
  if (axis >= SDL_JoystickNumAxes(joystick)) return 32767;
  return static_cast<std::uint32_t>(SDL_JoystickGetAxis(joystick, axis) + 32768);
}

}  // namespace

std::uint32_t joyGetDevCapsA(std::uint32_t index, JoyCaps* caps, std::uint32_t size) {
  if (caps == nullptr || size < sizeof(JoyCaps)) return JOYERR_PARMS;
  if (!StartJoysticks()) return MMSYSERR_NODRIVER;
  if (index >= static_cast<std::uint32_t>(SDL_NumJoysticks())) return JOYERR_UNPLUGGED;
  SDL_Joystick* joystick = SDL_JoystickOpen(static_cast<int>(index));
  if (joystick == nullptr) return JOYERR_UNPLUGGED;
  *caps = JoyCaps{};
  caps->manufacturerId = SDL_JoystickGetVendor(joystick);
  caps->productId = SDL_JoystickGetProduct(joystick);
  const char* name = SDL_JoystickName(joystick);
  std::snprintf(caps->productName, sizeof caps->productName, "%s", name != nullptr ? name : "Joystick");
  caps->maxX = caps->maxY = caps->maxZ = 65535;
  const int axes = SDL_JoystickNumAxes(joystick);
  caps->axisCount = static_cast<std::uint32_t>(std::max(axes, 0));
  caps->buttonCount = static_cast<std::uint32_t>(std::max(SDL_JoystickNumButtons(joystick), 0));
  if (axes >= 3) caps->caps |= JOYCAPS_HASZ;
  if (axes >= 4) caps->caps |= JOYCAPS_HASR;
  SDL_JoystickClose(joystick);
  return JOYERR_NOERROR;
}

std::uint32_t joyGetPosEx(std::uint32_t index, JoyInfoEx* info) {
  if (info == nullptr || info->size < sizeof(JoyInfoEx)) return JOYERR_PARMS;
  if (!StartJoysticks()) return MMSYSERR_NODRIVER;
  if (index >= static_cast<std::uint32_t>(SDL_NumJoysticks())) return JOYERR_UNPLUGGED;
  SDL_Joystick* joystick = SDL_JoystickOpen(static_cast<int>(index));
  if (joystick == nullptr) return JOYERR_UNPLUGGED;
  SDL_JoystickUpdate();
  info->xPos = Position(joystick, 0);
  info->yPos = Position(joystick, 1);
  info->zPos = Position(joystick, 2);
  info->rPos = Position(joystick, 3);
  info->uPos = Position(joystick, 4);
  info->vPos = Position(joystick, 5);
  info->buttons = 0;
  info->buttonNumber = 0;
  const int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
  for (int b = 0; b < buttons; ++b) {
    if (SDL_JoystickGetButton(joystick, b) != 0) {
      info->buttons |= 1u << b;
      ++info->buttonNumber;
    }
  }
  info->pov = 0xFFFF;
  SDL_JoystickClose(joystick);
  return JOYERR_NOERROR;
}

}  // namespace plat
