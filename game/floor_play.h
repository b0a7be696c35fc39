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
// A background that scrolls sideways only is the far sky: it moves a
// quarter of the camera's way, so across the whole field it turns less
// than one picture and a feature of it (the sky's sun) is never split at
// the picture's seam. Backgrounds that scroll both ways move half the way.
inline constexpr int kFarSkyScrollDivisor = 4;

extern std::int32_t cameraX, cameraY;  // top-left of the view in floor pixels
extern std::int32_t markFrame, markTick, markBob, markBobStep, markBobTick;
extern std::int32_t itemFrame, itemTick;
// 1 while the shop or the status screen hides the floor's row of the HUD.
extern std::int32_t hudItemsHidden;

// Advances and draws one frame of the floor.
void UpdateFloorPlay();
// Puts the camera over the player, clamped to the field.
void PlaceCamera();
// The mark and item animations as a freshly loaded floor starts them.
void ResetFloorAnimation();
