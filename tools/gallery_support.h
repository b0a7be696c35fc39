// What the review tools share: reading the back screen as 0xRRGGBB pixels
// (written to PNG files through tools/png_file.h), and the main of the
// galleries that draw one frame on both renderers.
#pragma once

#include <string>

#include "tools/png_file.h"

namespace qz::tools {

// Reads the back screen's top-left width x height pixels; false on failure.
bool ReadBackScreen(int width, int height, Frame* frame);

// Headless, without a log: starts the library windowed in 32-bit colour on
// the device path and again on the software path, has `draw` fill the back
// screen (false when it cannot), writes the 640 x 480 frames to
// OUT_DIR/<name>_device.png and OUT_DIR/<name>_software.png, then hands both
// to `compare`. Returns the process exit code.
int RunTwoRendererGallery(int argc, char** argv, const std::string& name, bool (*draw)(),
                          void (*compare)(const Frame& device, const Frame& software));

}  // namespace qz::tools
