// The MCI stand-in: a list of open device ids and a record of every command,
// for the music code's tests.
#include "platform/mci.h"

#include <algorithm>
#include <mutex>

namespace plat {
namespace {

std::mutex gMciMutex;
std::vector<std::uint32_t> gOpenDevices;
std::vector<MciCommandRecord> gCommands;

}  // namespace

std::uint32_t mciSendCommandA(std::uint32_t device, std::uint32_t message, std::uint32_t flags,
                              std::uintptr_t parameters) {
  std::lock_guard<std::mutex> guard(gMciMutex);
  const auto open = std::find(gOpenDevices.begin(), gOpenDevices.end(), device);
  std::uint32_t from = 0;
  if (message == MCI_PLAY && (flags & MCI_FROM) != 0 && parameters != 0) {
    from = reinterpret_cast<const MciPlayParams*>(parameters)->from;
  }
  const std::uint32_t result = open == gOpenDevices.end() ? MCIERR_INVALID_DEVICE_ID : 0;
  if (result == 0 && message == MCI_CLOSE) gOpenDevices.erase(open);
  gCommands.push_back(MciCommandRecord{device, message, flags, from, result});
  return result;
}

std::vector<MciCommandRecord> TakeMciCommandsForTest() {
  std::lock_guard<std::mutex> guard(gMciMutex);
  std::vector<MciCommandRecord> taken;
  taken.swap(gCommands);
  return taken;
}

void OpenMciDeviceForTest(std::uint32_t device) {
  std::lock_guard<std::mutex> guard(gMciMutex);
  gOpenDevices.push_back(device);
}

}  // namespace plat
