// The floor-play frame. The floors issue completes it; until then it shows
// which floor was entered on a plain background, so a person sees the way
// from the title into a floor.
#include "game/floor_play.h"

#include "game/color_text.h"
#include "game/game_state.h"
#include "graphics/color_value.h"
#include "graphics/draw_shapes.h"

std::int32_t hudItemsHidden = 0;

void UpdateFloorPlay() {
  hudItemsHidden = 0;
  qz::DrawSolidRectangle(0, 0, 640, 480, qz::MakeColorValue(16, 32, 96));
  DrawColorText(264, 230, GameStringConcatPrefix("Floor ", mapName), kTextWhite);
}
