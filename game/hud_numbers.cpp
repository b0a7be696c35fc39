// The status bar's numbers, drawn with digit pictures: floor, keys, coins,
// MP and time at their fixed places, and the status screen's small two-digit
// floor numbers with their marks. Every call ends with blending off.
#include <algorithm>
#include <string>

#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/screens.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"

namespace {

constexpr int kDigitAlpha = 224;
constexpr int kBarSpacing = 12;
constexpr int kSmallSpacing = 9;
constexpr int kFloorNumberEnd = 620;
constexpr int kFloorNumberY = 454;
constexpr int kFloorTimeShown = 9999;
constexpr int kFloorTimeEnd = 628;
constexpr int kFloorTimeY = 10;

// Pieces past the digits 0..9.
constexpr int kFloorSuffixPiece = 10;
constexpr int kInfiniteMarkLeft = 11, kInfiniteMarkRight = 12;
constexpr int kFloor100Left = 10, kFloor100Right = 11;
constexpr int kUnknownDoorPiece = 12;
constexpr int kEndingLeft = 13, kEndingRight = 14;

// The value's decimal text with "0" put in front until it is `width` long
// (at most `passes` zeros); a longer text keeps its length. The digit
// pictures have no minus sign, so a negative value (a time run out, a crafted
// save) reads as 0.
std::string PaddedDigits(int value, std::size_t width, int passes) {
  std::string text = std::to_string(std::max(value, 0));
  for (int i = 0; i < passes && text.size() < width; ++i) text = "0" + text;
  return text;
}

// The floor clock as drawn: three places at least, four at most (the
// Hourglass on a long floor passes 999 seconds).
std::string FloorTimeDigits() { return PaddedDigits(std::min(floorTime, kFloorTimeShown), 3, 2); }

template <std::size_t N>
void DrawPiece(const int (&sheet)[N], int piece, int x, int y) {
  if (piece >= 0 && piece < static_cast<int>(N)) qz::BlitGraph(x, y, sheet[piece], 1);
}

// Each character selects the piece of its digit; anything else draws nothing.
template <std::size_t N>
void DrawDigits(const int (&sheet)[N], const std::string& text, int x, int y, int spacing) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') DrawPiece(sheet, c - '0', x + spacing * static_cast<int>(i), y);
  }
}

template <std::size_t N>
void DrawPair(const int (&sheet)[N], int left, int right, int x, int y, int spacing) {
  DrawPiece(sheet, left, x, y);
  DrawPiece(sheet, right, x + spacing, y);
}

void DrawFloorNumber() {
  const std::string text = PaddedDigits(floorNumber + 1, 0, 0);
  DrawDigits(sheets.font4, text, kFloorNumberEnd - kBarSpacing * static_cast<int>(text.size()), kFloorNumberY,
             kBarSpacing);
  DrawPiece(sheets.font4, kFloorSuffixPiece, kFloorNumberEnd, kFloorNumberY);
}

void DrawBarNumber(int value, int x, int y, std::size_t width, int passes) {
  DrawDigits(sheets.font3, PaddedDigits(value, width, passes), x, y, kBarSpacing);
}

void DrawMagicNumber() {
  if (player.infiniteMagic == 1) {
    DrawPair(sheets.font3, kInfiniteMarkLeft, kInfiniteMarkRight, 69, 14, kBarSpacing);
  } else {
    DrawBarNumber(player.magic, 69, 14, 2, 1);
  }
}

// A floor index, or a door link minus 1: -1 a door whose target is not known
// yet, 99 floor 100, 100 the ending.
void DrawSmallFloorNumber(int value, int x, int y) {
  switch (value) {
    case 99: DrawPair(sheets.font2, kFloor100Left, kFloor100Right, x, y, kSmallSpacing); break;
    case -1: DrawPair(sheets.font2, kUnknownDoorPiece, kUnknownDoorPiece, x, y, kSmallSpacing); break;
    case 100: DrawPair(sheets.font2, kEndingLeft, kEndingRight, x, y, kSmallSpacing); break;
    default: DrawDigits(sheets.font2, PaddedDigits(value + 1, 2, 1), x, y, kSmallSpacing); break;
  }
}

}  // namespace

int FloorTimeLeft() { return kFloorTimeEnd - kBarSpacing * static_cast<int>(FloorTimeDigits().size()); }

void DrawHudNumber(int kind, int value, int x, int y) {
  qz::SetBlendModeAndParam(1, kDigitAlpha);
  switch (kind) {
    case 1: DrawFloorNumber(); break;
    case 3: DrawBarNumber(player.keys, 488, 10, 2, 1); break;
    case 4: DrawBarNumber(player.coins, 534, 10, 2, 1); break;
    case 5: DrawMagicNumber(); break;
    case 6: DrawDigits(sheets.font3, FloorTimeDigits(), FloorTimeLeft(), kFloorTimeY, kBarSpacing); break;
    case 7: DrawSmallFloorNumber(value, x, y); break;
    default: break;
  }
  qz::SetBlendModeAndParam(0, 0);
}
