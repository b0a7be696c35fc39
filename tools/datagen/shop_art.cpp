// Readable art of the shop: a wooden room with shelves and a dark alcove, the
// keeper who stands in it (painted on black, since the game adds the keeper
// onto the room), and the two window images laid over both: the backs of the
// heading, list and description panels, and their frames.
#include <string>

#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

struct Box {
  int x, y, w, h;
};

// The panels in the window images' own coordinates (the game draws them at
// screen (16, 48)): the heading at y 61, the list's cursor at x 380 and rows
// from y 141 to "Exit" at 303, the description lines at y 381 to 429.
constexpr Box kPanels[] = {{8, 4, 592, 36}, {356, 76, 244, 212}, {8, 322, 592, 86}};

constexpr std::uint32_t kSkin = 0xF0C8A0;

void Room(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t wood = c.entry.tint;
  for (int x = 0; x < c.w; x += 40) {
    k.FillRect(x, 0, 40, 400, Shade(wood, 0.85 + 0.1 * ((x / 40) % 3)));
    k.FillRect(x, 0, 2, 400, Shade(wood, 0.5));
  }
  for (int y = 400; y < c.h; y += 20) {
    k.FillRect(0, y, c.w, 20, Shade(wood, 1.3 - 0.1 * ((y / 20) % 2)));
    k.FillRect(0, y, c.w, 1, Shade(wood, 0.6));
  }
  // Shelves of jars on both sides of the alcove.
  for (int shelfY : {140, 230, 320}) {
    for (const Box& side : {Box{10, 0, 90, 0}, Box{300, 0, 300, 0}}) {
      k.FillRect(side.x, shelfY, side.w, 8, Shade(wood, 1.4));
      for (int x = side.x + 6; x + 14 < side.x + side.w; x += 20) {
        const int h = 16 + c.random.Below(18);
        const std::uint32_t glass = Mix(0x60C0FF, 0xFF8060, c.random.Below(100) / 99.0);
        k.FillEllipse(x, shelfY - h, 14, h, glass);
        k.FillRect(x + 4, shelfY - h - 4, 6, 5, Shade(glass, 0.6));
      }
    }
  }
  // The alcove stays near black so the keeper keeps its own colours.
  k.FillEllipse(110, 120, 180, 120, 0x080608);
  k.FillRect(110, 180, 180, 220, 0x080608);
  k.FillRect(0, 380, 372, 24, Shade(wood, 1.6));  // the counter's top
  k.FillRect(0, 404, 372, 76, Shade(wood, 0.7));
}

void Keeper(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t robe = c.entry.tint;
  k.FillRect(0, 0, c.w, c.h, 0x000000);
  k.FillTriangle(100, 110, 20, c.h, 180, c.h, robe);
  k.FillEllipse(40, 110, 120, 80, robe);
  k.FillEllipse(18, 150, 40, 90, Shade(robe, 0.8));  // arms
  k.FillEllipse(142, 150, 40, 90, Shade(robe, 0.8));
  k.FillEllipse(24, 226, 28, 24, kSkin);
  k.FillEllipse(148, 226, 28, 24, kSkin);
  k.FillRect(84, 120, 32, c.h - 120, Shade(robe, 1.5));  // the robe's trim
  k.FillEllipse(60, 50, 80, 80, kSkin);
  k.FillEllipse(80, 78, 10, 12, kInk);
  k.FillEllipse(110, 78, 10, 12, kInk);
  k.Line(88, 108, 112, 108, 0xA04040);
  k.FillEllipse(30, 50, 140, 24, 0x6A3090);  // the hat's brim and cone
  k.FillTriangle(58, 60, 142, 60, 118, 0, 0x6A3090);
  k.FillEllipse(112, 0, 12, 12, 0xF0D040);
  k.FillEllipse(120, 200, 40, 44, 0xD0A030);  // a purse of coins
  k.TextInBox(126, 210, 28, 22, "$", kInk, kInk);
}

void PanelBacks(const CellContext& c) {
  for (const Box& b : kPanels) c.canvas.FillRect(b.x, b.y, b.w, b.h, c.entry.tint);
}

void PanelFrames(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t gold = c.entry.tint;
  for (const Box& b : kPanels) {
    k.FrameRect(b.x, b.y, b.w, b.h, kInk);
    k.FrameRect(b.x + 1, b.y + 1, b.w - 2, b.h - 2, gold);
    k.FrameRect(b.x + 2, b.y + 2, b.w - 4, b.h - 4, Shade(gold, 0.6));
    for (int corner = 0; corner < 4; ++corner) {
      const int x = corner % 2 == 0 ? b.x - 2 : b.x + b.w - 6, y = corner < 2 ? b.y - 2 : b.y + b.h - 6;
      k.FillRect(x, y, 8, 8, gold);
      k.FrameRect(x, y, 8, 8, kInk);
    }
  }
}

}  // namespace

void PaintShopImage(const CellContext& c) {
  const std::string& part = c.entry.label;
  if (part == "room") {
    Room(c);
  } else if (part == "keeper") {
    Keeper(c);
  } else if (part == "backs") {
    PanelBacks(c);
  } else {
    PanelFrames(c);
  }
}

}  // namespace datagen
