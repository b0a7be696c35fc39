// Prints what the input layer reads as keys are typed and pads are moved, for
// checking a keyboard or joypad on a desktop: each change of a key code's
// state, and each change of pad 1's bits with the keyboard folded in. Runs
// until the window is closed.
#include <cstdint>
#include <cstdio>

#include "core/clock.h"
#include "core/library.h"
#include "core/main_window.h"
#include "input/pad_input.h"

int main() {
  qz::ChangeWindowMode(1);
  if (qz::InitLibraryEntry() != 0) {
    std::fprintf(stderr, "The library could not start; see Log.txt\n");
    return 1;
  }
  std::printf("Type keys or move a pad; close the window to end.\n");
  bool down[256] = {};
  std::uint32_t bits = 0;
  while (qz::PumpMessagesEntry() == 0) {
    for (int code = 0; code < 256; ++code) {
      const bool now = qz::TestKeyDown(code) != 0;
      if (now != down[code]) std::printf("key 0x%02X %s\n", code, now ? "down" : "up");
      down[code] = now;
    }
    const std::uint32_t pad = qz::GetPadInputBits(qz::kPadWithKeyboard | 1);
    if (pad != bits) std::printf("pad bits 0x%08X\n", pad);
    bits = pad;
    std::fflush(stdout);
    qz::WaitMilliseconds(16);
  }
  qz::EndLibraryEntry();
  return 0;
}
