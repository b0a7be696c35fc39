// Key hints: the key names come from the button map, so a Confirm moved to
// another button is named as it now is.
#include "game/key_hint.h"

#include "font/text_draw.h"
#include "game/action_input.h"
#include "game/color_text.h"
#include "graphics/color_value.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_shapes.h"

namespace {

// Pad 1's buttons 0..9 on the keyboard, as the library assigns them.
constexpr const char* kButtonKeys[kActionButtonCount] = {"Z", "X", "C", "A", "S", "D", "Q", "W", "Esc", "Space"};
constexpr int kBandPadding = 6, kBandHeight = 28, kTextDrop = 5;
constexpr int kBandAlpha = 160;

}  // namespace

std::string ButtonKeyName(int button) {
  if (button >= 0 && button < kActionButtonCount) return kButtonKeys[button];
  return "Button " + std::to_string(static_cast<long long>(button) + 1);
}

std::string ConfirmHint(const char* what) { return ButtonKeyName(ButtonMap.confirm) + ": " + what; }

std::string ConfirmOrCancelHint(const char* what) {
  if (ButtonMap.confirm == ButtonMap.cancel) return ConfirmHint(what);
  return ButtonKeyName(ButtonMap.confirm) + " or " + ButtonKeyName(ButtonMap.cancel) + ": " + what;
}

void DrawKeyHint(const std::string& text, int centreX, int top) {
  const int width = qz::MeasureTextWidthDefaultFont(text.c_str(), static_cast<int>(text.size()), 0);
  const int left = centreX - width / 2;
  qz::SetBlendModeAndParam(1, kBandAlpha);
  qz::DrawSolidRectangle(left - kBandPadding, top, left + width + kBandPadding, top + kBandHeight,
                         qz::MakeColorValue(0, 0, 0));
  qz::SetBlendModeAndParam(0, 0);
  DrawColorText(left, top + kTextDrop, GameString(text.c_str()), kTextWhite);
}
