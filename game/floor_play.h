// Scene 1: the frame of the floor being played, with its camera and the
// animation counters of the marks and items.
#pragma once

#include <cstdint>

inline constexpr int kCameraMaxX = 1792;
inline constexpr int kCameraMaxY = 1024;
// The view, and where the camera keeps the player's sprite cell in it (its
// top-left corner) until the field's edge stops the camera.
inline constexpr int kViewWidth = 640;
inline constexpr int kViewHeight = 480;
inline constexpr int kCameraLeadX = 288;
inline constexpr int kCameraLeadY = 208;
// The status bar's rows of pips cover the view's top this far.
inline constexpr int kStatusBarHeight = 52;
// A background that scrolls sideways only is the far sky: it moves a
// quarter of the camera's way, so across the whole field it turns less
// than one picture and a feature of it (the sky's sun) is never split at
// the picture's seam. Backgrounds that scroll both ways move half the way.
inline constexpr int kFarSkyScrollDivisor = 4;

extern std::int32_t cameraX, cameraY;  // top-left of the view in floor pixels
// How far a hall's framing has moved the camera off the player's lead.
extern std::int32_t cameraShiftX, cameraShiftY;
extern std::int32_t markFrame, markTick, markBob, markBobStep, markBobTick;
extern std::int32_t itemFrame, itemTick;
// 1 while the shop or the status screen hides the floor's row of the HUD.
extern std::int32_t hudItemsHidden;

// Advances and draws one frame of the floor.
void UpdateFloorPlay();
// Puts the camera over the player, clamped to the field. Near a looming
// enemy (a boss, or one a third of the view tall) it frames that enemy whole
// below the status bar as far as it can with the player kept in view:
// PlaceCamera at once (a floor's start), FollowCamera easing a frame's step.
void PlaceCamera();
void FollowCamera();
// The top-left of the view the player's lead alone would show. A boss keeps
// its attack clock to it, so a hall's framing shows a fight without
// quickening it.
int LeadViewLeft();
int LeadViewTop();
// The mark and item animations as a freshly loaded floor starts them.
void ResetFloorAnimation();
