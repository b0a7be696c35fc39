// Device creation for the current screen mode and what it settles once per
// device: back-buffer, depth and per-graph-kind texture formats, capability
// values and the multisample choice, all written to the log. Also the pixel
// descriptors of the device's colour formats.
#pragma once

#include <cstdint>

#include "image/base_image.h"

namespace qz {

// Creates the device on the Direct3D object of the graphics state. 0, or -1
// (the caller then falls back to the software path).
int CreateDirect3DDevice9();

// The descriptor of a device colour format (built once), or null for a
// format without one.
const PixelFormatDescriptor* GetD3DFormatPixelDescriptor(std::uint32_t format);

// Lowers *count (a multisample type) until the device accepts it for both
// `format` and D16 depth; caps *quality at the accepted quality levels. 0, or
// -1 without a Direct3D object (count and quality then 0).
int ChooseMultiSampleType(std::uint32_t format, int* count, int* quality);

// The format's name as the log prints it ("Q_D3DFMT_A8R8G8B8").
const char* D3DFormatLogName(std::uint32_t format);

}  // namespace qz
