// Readable art of the status screen's background: framed places for the
// floor map, the panel of owned things and the description line, laid out
// where the screen draws its icons, cursor and texts.
#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

// A framed area with a heading in its top edge.
void Frame(Canvas& k, int x, int y, int w, int h, std::uint32_t tint, const char* heading) {
  k.FillRect(x, y, w, h, kInk);
  k.FillRect(x + 2, y + 2, w - 4, h - 4, Shade(tint, 1.8));
  k.FillRect(x + 4, y + 4, w - 8, h - 8, Shade(tint, 0.6));
  if (heading[0] != '\0') k.Text(x + 12, y + 8, heading, 2, 2, 0xFFFFFF, kInk);
}

}  // namespace

void PaintStatusScreen(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint;
  for (int y = 0; y < c.h; ++y) k.FillRect(0, y, c.w, 1, Mix(Shade(t, 0.5), t, static_cast<double>(y) / c.h));
  // The floor map: 10 x 10 cells of 30 x 28 from (54, 64).
  Frame(k, 40, 38, 328, 316, t, "FLOORS");
  for (int f = 0; f < 100; ++f) k.FrameRect(54 + 30 * (f % 10), 64 + 28 * (f / 10), 30, 28, Shade(t, 1.3));
  // The panel: 4 x 5 slots of 40 from (430, 148), the cursor 8 pixels outside.
  Frame(k, 410, 106, 196, 252, t, "ITEMS");
  for (int e = 0; e < 20; ++e) {
    const int x = 426 + 40 * (e % 4), y = 144 + 40 * (e / 4);
    k.FillRect(x, y, 40, 40, Shade(t, 0.4));
    k.FrameRect(x, y, 40, 40, Shade(t, 1.4));
  }
  // The description under the cursor, door boxes included.
  Frame(k, 24, 370, 592, 96, t, "");
}

}  // namespace datagen
