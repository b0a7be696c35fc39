// The multimedia joystick calls the input layer falls back on without its
// device interface, over the same SDL joysticks, by index.
//
// Tests use SDL's virtual joysticks.
#pragma once

#include <cstdint>

namespace plat {

inline constexpr std::uint32_t JOYERR_NOERROR = 0;
inline constexpr std::uint32_t MMSYSERR_NODRIVER = 6;
inline constexpr std::uint32_t JOYERR_PARMS = 165;
inline constexpr std::uint32_t JOYERR_UNPLUGGED = 167;

inline constexpr std::uint32_t JOYCAPS_HASZ = 0x1;
inline constexpr std::uint32_t JOYCAPS_HASR = 0x2;
inline constexpr std::uint32_t JOY_RETURNALL = 0xFF;

struct JoyCaps {
  std::uint16_t manufacturerId;
  std::uint16_t productId;
  char productName[32];
  std::uint32_t minX, maxX, minY, maxY, minZ, maxZ;
  std::uint32_t buttonCount;
  std::uint32_t caps;  // JOYCAPS_ bits
  std::uint32_t axisCount;
};

// Positions run 0..65535 with the centre at 32767 or 32768.
struct JoyInfoEx {
  std::uint32_t size;
  std::uint32_t flags;
  std::uint32_t xPos, yPos, zPos, rPos, uPos, vPos;
  std::uint32_t buttons;  // bit n = button n
  std::uint32_t buttonNumber;
  std::uint32_t pov;
};

std::uint32_t joyGetDevCapsA(std::uint32_t index, JoyCaps* caps, std::uint32_t size);
std::uint32_t joyGetPosEx(std::uint32_t index, JoyInfoEx* info);

}  // namespace plat
