// The media control interface stand-in for MIDI music: it records the
// commands it is sent and refuses devices never opened. (DirectMusic is
// platform/dmusic.h.)
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dsound.h"

namespace plat {

inline constexpr std::uint32_t MCI_CLOSE = 0x0804;
inline constexpr std::uint32_t MCI_PLAY = 0x0806;
inline constexpr std::uint32_t MCI_NOTIFY = 0x00000001;
inline constexpr std::uint32_t MCI_FROM = 0x00000004;
inline constexpr std::uint32_t MCIERR_INVALID_DEVICE_ID = 257;

struct MciPlayParams {
  std::uintptr_t callback;  // the window told of the end
  std::uint32_t from;
  std::uint32_t to;
};

// 0, or MCIERR_INVALID_DEVICE_ID for a device that was never opened.
std::uint32_t mciSendCommandA(std::uint32_t device, std::uint32_t message, std::uint32_t flags,
                              std::uintptr_t parameters);

// Test hooks.
struct MciCommandRecord {
  std::uint32_t device;
  std::uint32_t message;
  std::uint32_t flags;
  std::uint32_t from;
  std::uint32_t result;
};
std::vector<MciCommandRecord> TakeMciCommandsForTest();
// Marks a device id as opened (an opened device accepts commands until closed).
void OpenMciDeviceForTest(std::uint32_t device);

}  // namespace plat
