// What the review tools share: reading the back screen as 0xRRGGBB pixels,
// writing such pixels to a PNG file, and the main of the galleries that draw
// one frame on both renderers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz::tools {

// width * height pixels, row by row, 0xRRGGBB.
using Frame = std::vector<std::uint32_t>;

// Reads the back screen's top-left width x height pixels; false on failure.
bool ReadBackScreen(int width, int height, Frame* frame);
// Writes the frame as an 8-bit RGB PNG; false on failure.
bool WriteFramePng(const std::string& path, int width, int height, const Frame& frame);

// Headless, without a log: draws a 640 x 480 frame on the device path and on
// the software path, writes OUT_DIR/<name>_device.png and
// OUT_DIR/<name>_software.png, then hands both frames to `compare`. Returns
// the process exit code.
int RunTwoRendererGallery(int argc, char** argv, const std::string& name, bool (*draw)(bool hardware, Frame* frame),
                          void (*compare)(const Frame& device, const Frame& software));

}  // namespace qz::tools
