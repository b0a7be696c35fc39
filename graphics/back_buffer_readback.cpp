// Back-buffer read-back.
#include "graphics/back_buffer_readback.h"

namespace qz {

int LockBackBufferImage(const plat::WinRect*, BaseImage*, int) { return -1; }

int ReleaseBackBufferLockSurfaces() { return 0; }

int RunBackBufferReadbackTest() { return 0; }

int IsBackBufferDirectLockUsed() { return 0; }

int ReadbackTestSide(int screenWidth, int screenHeight) {
  int side = 256;
  while (side > 1 && (side > screenWidth || side > screenHeight)) side /= 2;
  return side;
}

}  // namespace qz
