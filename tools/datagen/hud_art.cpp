// Readable art of the screen furniture: digit sheets that read as digits,
// text labels, shot icons, the magic bar, field and status icons, cursors and
// map icons; the item icons are item_icon_art.cpp's.
#include <cmath>
#include <string>

#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

constexpr const char* kShotLetters[3] = {"B", "G", "M"};
constexpr std::uint32_t kPipRim = 0x8890A8;

// One digit-sheet cell: the digits 0..9, then the sheet's marks.
void DigitCell(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::string& sheet = c.entry.label;
  const std::uint32_t ink = c.entry.tint;
  std::string text;
  if (c.cell < 10) {
    text = std::string(1, static_cast<char>('0' + c.cell));
  } else if (sheet == "small") {
    // 10, 11: the halves of "100"; 12: the unknown-door mark, drawn twice;
    // 13, 14: the halves of "END", the ending's door. A pair is one narrow
    // text across both cells, each cell showing its own half.
    if (c.cell == 12) {
      text = "?";
    } else {
      const int half = (c.cell - 10) % 3;
      k.Text(-c.w * half, 1, c.cell < 12 ? "100" : "END", 1, 2, ink, kInk);
      return;
    }
  } else if (sheet == "bar") {
    if (c.cell == 10) {
      text = "x";
    } else {  // 11, 12: the two loops of the infinite mark
      const int x = c.cell == 11 ? 2 : -6;
      k.FrameEllipse(x, 3, 16, 10, ink);
      k.FrameEllipse(x + 1, 4, 14, 8, ink);
      return;
    }
  } else {
    text = "F";  // the floor suffix
  }
  const int sx = std::max(1, (c.w - 2) / 5), sy = std::max(1, (c.h - 2) / 7);
  k.Text((c.w - 5 * sx) / 2, (c.h - 7 * sy) / 2, text, sx, sy, ink, kInk);
}

void FieldIcon(const CellContext& c) {
  Canvas& k = c.canvas;
  // Cell = kind - 1: 1 sign, 2 recovery, 3 shop, 4..7 doors 0..3, 8 check
  // cube. Every door shows the same arrow: Up enters it (which of the
  // floor's doors it is means nothing to the player).
  static const char* const kText[8] = {"!", "+", "S", "", "", "", "", "C"};
  static const std::uint32_t kFill[8] = {0xF0F0F0, 0x80F0A0, 0xF0D060, 0x80C0FF,
                                         0x80C0FF, 0x80C0FF, 0x80C0FF, 0x60E0FF};
  k.FillRect(3, 3, 26, 22, kInk);
  k.FillRect(4, 4, 24, 20, kFill[c.cell]);
  k.FillTriangle(12, 24, 20, 24, 16, 30, kInk);
  if (kText[c.cell][0] != '\0') {
    k.TextInBox(6, 6, 20, 16, kText[c.cell], kInk, kInk);
    return;
  }
  k.FillTriangle(9, 14, 23, 14, 16, 7, kInk);
  k.FillRect(14, 14, 5, 7, kInk);
}

void StatusIcon(const CellContext& c) {
  Canvas& k = c.canvas;
  switch (c.cell) {
    case 0:  // time
      k.FillEllipse(1, 1, 16, 16, 0xFFFFFF);
      k.FrameEllipse(1, 1, 16, 16, kInk);
      k.Line(9, 9, 9, 3, kInk);
      k.Line(9, 9, 13, 9, kInk);
      break;
    case 1:  // key
      k.FrameEllipse(1, 5, 8, 8, 0xF0C020);
      k.FillRect(8, 8, 9, 2, 0xF0C020);
      k.FillRect(14, 10, 2, 4, 0xF0C020);
      break;
    case 2:  // coin
      k.FillEllipse(2, 2, 14, 14, kCoinGold);
      k.FrameEllipse(2, 2, 14, 14, kCoinRim);
      k.FillRect(8, 5, 2, 8, kCoinRim);
      break;
    case 3:  // chest
      k.FillRect(2, 6, 14, 10, 0xB07030);
      k.FrameRect(2, 6, 14, 10, kInk);
      k.FillRect(8, 9, 2, 3, 0xF0D040);
      break;
    default:  // switch
      k.FillRect(2, 12, 14, 5, 0x808090);
      k.Line(9, 12, 5, 3, kInk);
      k.FillEllipse(3, 1, 5, 5, 0xFF4040);
      break;
  }
}

void Cursor(const CellContext& c) {
  Canvas& k = c.canvas;
  const int pulse = c.cell % 3;
  const std::uint32_t colour = Shade(c.entry.tint, 0.7 + 0.15 * pulse);
  if (c.w <= 16) {  // a small arrow pointing right
    k.FillTriangle(2, 1, 14, 8, 2, 15, kInk);
    k.FillTriangle(3, 3, 12, 8, 3, 13, colour);
    return;
  }
  const int inset = pulse, len = c.w / 4;
  for (int i = 0; i < 2; ++i) {  // four corner brackets, two pixels thick
    const int x0 = inset + i, y0 = inset + i, x1 = c.w - 1 - inset - i, y1 = c.h - 1 - inset - i;
    k.Line(x0, y0, x0 + len, y0, colour);
    k.Line(x0, y0, x0, y0 + len, colour);
    k.Line(x1, y0, x1 - len, y0, colour);
    k.Line(x1, y0, x1, y0 + len, colour);
    k.Line(x0, y1, x0 + len, y1, colour);
    k.Line(x0, y1, x0, y1 - len, colour);
    k.Line(x1, y1, x1 - len, y1, colour);
    k.Line(x1, y1, x1, y1 - len, colour);
  }
}

// A floor's state on the status map: unknown, visited, key and chest found,
// floor-jump point. The middle stays plain: the floor's number goes there.
void MapIcon(const CellContext& c) {
  Canvas& k = c.canvas;
  static const std::uint32_t kFill[4] = {0x303848, 0x3A6FE0, 0xD8A830, 0xC040C0};
  k.FillRect(1, 1, c.w - 2, c.h - 2, kInk);
  k.FillRect(2, 2, c.w - 4, c.h - 4, kFill[c.cell]);
  k.FrameRect(3, 3, c.w - 6, c.h - 6, Shade(kFill[c.cell], 1.4));
  if (c.cell == 3) k.FillTriangle(c.w - 9, c.h - 4, c.w - 3, c.h - 4, c.w - 3, c.h - 10, 0xFFFFFF);
}

}  // namespace

void PaintHudCell(const CellContext& c) {
  Canvas& k = c.canvas;
  switch (c.entry.art) {
    case Art::kDigits:
      DigitCell(c);
      break;
    case Art::kLabel:
      k.TextInBox(0, 0, c.w, c.h, c.entry.label, c.entry.tint, kInk);
      break;
    case Art::kShotIcon:
      k.FillEllipse(3, 3, 26, 26, kInk);
      k.FillEllipse(4, 4, 24, 24, kShotColours[c.cell]);
      k.TextInBox(8, 8, 16, 16, kShotLetters[c.cell], 0xFFFFFF, kInk);
      break;
    case Art::kMagicBar: {
      // The empty pip and the end are outlined in grey: on a dark floor the
      // bar is drawn over black, where an ink outline would vanish.
      static const std::uint32_t kFill[3] = {0x4080FF, 0xF0C020, 0x202030};
      if (c.cell < 3) {
        k.FillRect(0, 0, 8, 20, c.cell == 2 ? kPipRim : kInk);
        k.FillRect(1, 1, 6, 18, kFill[c.cell]);
        if (c.cell < 2) k.FillRect(2, 2, 2, 16, Shade(kFill[c.cell], 1.5));
      } else {
        k.FillRect(0, 0, 3, 20, kPipRim);
      }
      break;
    }
    case Art::kItemIcon:
      PaintItemIcon(c);
      break;
    case Art::kFieldIcon:
      FieldIcon(c);
      break;
    case Art::kStatusIcon:
      StatusIcon(c);
      break;
    case Art::kCursor:
      Cursor(c);
      break;
    case Art::kMapIcon:
      MapIcon(c);
      break;
    default:
      break;
  }
}

}  // namespace datagen
