// The screens' coloured text: the shadow goes first so the text stays on top.
#include "game/color_text.h"

#include "font/text_draw.h"
#include "graphics/color_value.h"

namespace {

struct Rgb {
  int red, green, blue;
};

// Codes 1..9; index 0 is white, the colour of every other code.
constexpr Rgb kColours[] = {{255, 255, 255}, {0, 0, 255},     {255, 0, 0},    {255, 0, 255},  {0, 0, 254},
                            {0, 255, 255},   {255, 255, 0},   {128, 128, 128}, {255, 160, 64}, {80, 224, 255}};

}  // namespace

void DrawColorText(int x, int y, GameString text, int colour) {
  const Rgb rgb = colour >= 1 && colour <= 9 ? kColours[colour] : kColours[0];
  qz::DrawTextDefaultFont(x + 1, y + 1, text.c_str(), 0, 0);
  qz::DrawTextDefaultFont(x, y, text.c_str(), qz::MakeColorValue(rgb.red, rgb.green, rgb.blue), 0);
}
