// Graphs: the record behind each graph handle, the shared image that graphs
// derived from one another show parts of, and the device texture tiles a
// textured image is cut into.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/graphics_state.h"
#include "graphics/texture_draw_info.h"
#include "platform/d3d9.h"
#include "softrender/mem_img.h"

namespace qz {

struct GraphRestoreSource;  // graphics/graph_restore.h

using GraphHandle = std::int32_t;

inline constexpr int kGraphTableSize = 32768;
// Screen targets that some graph operations accept in place of a graph.
inline constexpr GraphHandle kBackScreenGraph = -2;
inline constexpr GraphHandle kFrontScreenGraph = -4;

// How a graph's pixels are held, fixed at creation; 1 means yes.
struct GraphFormatRequest {
  std::uint8_t textured;      // in device textures (hardware path)
  std::uint8_t alpha;
  std::uint8_t drawable;      // can be a draw target; software images always are
  std::uint8_t software;
  std::uint8_t staged;        // filled through a system-memory copy and a device update
  std::uint8_t kind;          // 0 plain, 1-5 DXT1-DXT5, 6 and 7 the special drawable kinds
  std::uint8_t mipLevels;     // 0 on the software path
  std::uint8_t colorKey;      // transparency by alpha test; never with alpha
  std::uint8_t bitDepth;      // 16 or 32
  std::uint8_t blendImage;    // 8-bit single-channel blend mask (software path)
  std::uint8_t palettised;    // software path only
  std::uint8_t multiSampleType;
  std::uint8_t multiSampleQuality;
};
static_assert(sizeof(GraphFormatRequest) == 13, "the request is 13 bytes");

// One texture of a textured image and the surfaces made with it.
struct GraphTextureTile {
  plat::IDirect3DTexture9* texture;
  plat::IDirect3DTexture9* stagingTexture;  // system-memory copy of a staged image
  plat::IDirect3DSurface9* surface;         // level 0 of the texture
  plat::IDirect3DSurface9* multiSampleSurface;
  plat::IDirect3DSurface9* depthSurface;
  std::int32_t x;  // position in the image
  std::int32_t y;
  std::int32_t usedWidth;  // the part of the texture the image covers
  std::int32_t usedHeight;
  std::int32_t textureWidth;
  std::int32_t textureHeight;
};

// The pixels that one or more graphs show; freed with its last graph.
struct GraphImage {
  std::int32_t refCount;
  std::int32_t pixelFormatCode;  // GraphPixelFormatCode
  GraphFormatRequest request;
  std::uint32_t transparentColor;  // 0x00RRGGBB, or 0xFFFF for a palettised software image
  std::int32_t width;
  std::int32_t height;
  std::int32_t depthFlag;  // drawable tiles get a depth surface
  // Textured path: the tiles live in the same allocation, after the image.
  std::int32_t mipLevels;
  std::int32_t tileCount;
  GraphTextureTile* tiles;
  // Software path.
  MEMIMG memImg;
};

// The record behind a graph handle. Created by the graph table only; the
// drawing entries are a vector so that growing them never moves the record.
struct GraphRecord {
  std::int32_t check;  // first member: the handle table compares it
  GraphHandle handle;
  std::int32_t* deletedFlag;  // set to 1 when the graph is released
  std::int32_t movie;         // bound movie handle, -1 when none
  GraphRestoreSource* restoreSource;
  std::int32_t sourceX;  // where in the source image the pixels were last taken
  std::int32_t sourceY;
  GraphImage* image;
  std::int32_t drawX;  // the graph's rectangle inside its image
  std::int32_t drawY;
  std::int32_t width;
  std::int32_t height;
  void* ownedBlocks[2];
  // Drawing information: a view of the image's MEMIMG on the software path;
  // one entry per overlapped tile on the textured path, the first entry's tile
  // being the one a drawable graph renders into.
  MEMIMG softView;
  std::vector<TextureDrawEntry> drawEntries;
};

}  // namespace qz
