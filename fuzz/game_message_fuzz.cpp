// Arbitrary bytes as a message page: the first byte picks the page (odd a
// boss file, numbered by the byte's upper bits, even the sign of the player's
// cell), the rest is its Shift-JIS text. The page is read and laid out over
// the screen, and its first line is drawn as a given message would be; a
// first byte of 240 or more also runs the whole blocking scene (zooms
// included) for the sign, the boss file or the line, by the byte modulo 3.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/game_fuzz_harness.h"
#include "game/color_text.h"
#include "game/message_window.h"
#include "game/screens.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrin::fuzz::LiveGame& game = veltrin::fuzz::LiveGame::Get();
  if (size == 0) return 0;
  const veltrin::fuzz::LiveGame::InputScope input = game.BeginInput();
  const int mode = data[0] % 2;
  const int number = data[0] / 2;
  const GameString path = MessagePagePath(mode, number);
  game.WriteGameFile(path, data + 1, size - 1);

  const std::vector<std::string> lines = ReadMessagePage(path);
  DrawMessagePage(lines);
  if (!lines.empty()) DrawColorText(0, 230, GameString(lines.front().c_str()), data[0] % 10);
  if (data[0] >= 240) RunMessageScene(data[0] % 3, number, GameString(lines.empty() ? "" : lines.front().c_str()));
  return 0;
}
