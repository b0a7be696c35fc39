// The configured screen size. Kept as plain statics so it is readable from
// the very start, before graphics has started or when it never does.
#include "graphics/screen_settings.h"

namespace qz {
namespace {

constexpr int kDefaultScreenWidth = 640;
constexpr int kDefaultScreenHeight = 480;

// 0 means not yet set.
int screenWidth = 0;
int screenHeight = 0;

}  // namespace

int GetScreenModeSize(int* width, int* height) {
  if (width != nullptr) *width = screenWidth > 0 ? screenWidth : kDefaultScreenWidth;
  if (height != nullptr) *height = screenHeight > 0 ? screenHeight : kDefaultScreenHeight;
  return 0;
}

int SetScreenModeSize(int width, int height) {
  screenWidth = width > 0 ? width : 0;
  screenHeight = height > 0 ? height : 0;
  return 0;
}

}  // namespace qz
