// The main program. Until the game exists it is a small demonstration of the
// library layer: it starts the library in a window ("QzLib", no title set),
// runs frames until the window is closed or Escape is pressed, and ends it.
// The log (Log.txt in the current folder) shows every start and end step.
#include <cstdint>
#include <cstdio>

#include "core/clock.h"
#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "graphics/graphics_state.h"
#include "input/pad_input.h"
#include "platform/d3d9.h"

// The device key code of Escape.
constexpr int kEscapeKeyCode = 0x01;

int main() {
  qz::SetLogOutputEnabled(1);
  qz::ChangeWindowMode(1);
  if (qz::InitLibraryEntry() != 0) {
    std::fprintf(stderr, "The library could not start; see Log.txt\n");
    return 1;
  }
  // Until the frame present exists, each frame is a slowly changing colour
  // cleared and presented straight through the device.
  std::uint32_t frame = 0;
  while (qz::PumpMessagesEntry() == 0 && qz::TestKeyDown(kEscapeKeyCode) == 0) {
    plat::IDirect3DDevice9* device = qz::GetGraphicsState().device;
    if (device != nullptr) {
      const std::uint32_t level = (frame++ / 2) % 256;
      device->Clear(0, nullptr, plat::D3DCLEAR_TARGET, plat::D3DCOLOR_ARGB(255, level, 64, 255 - level), 1.0f, 0);
      device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    qz::WaitMilliseconds(16);
  }
  qz::EndLibraryEntry();
  return 0;
}
