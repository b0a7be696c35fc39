// Graphics started on the stand-in device (or the software path) for graph
// tests, with the standard closing check: every graph released, no device
// object and no tracked block left beyond what the start itself holds.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/memory.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_start.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "image/base_image.h"
#include "input/input_devices.h"
#include "platform/clock.h"
#include "platform/d3d9.h"
#include "tests/graphics/screen_window.h"

namespace qz::testing {

// The default stand-in with a texture limit, extra texture caps, the
// extended device on or off and the block-compressed formats on or off.
inline plat::D3D9Profile GraphProfile(std::uint32_t maxTexture, std::uint32_t extraTextureCaps = 0,
                                      bool extended = false, bool dxt = false) {
  plat::D3D9Profile profile = plat::DefaultD3D9Profile();
  profile.caps.MaxTextureWidth = maxTexture;
  profile.caps.MaxTextureHeight = maxTexture;
  profile.caps.TextureCaps |= extraTextureCaps;
  profile.createExAvailable = extended;
  if (dxt) {
    for (plat::D3DFORMAT format : {plat::D3DFMT_DXT1, plat::D3DFMT_DXT2, plat::D3DFMT_DXT3, plat::D3DFMT_DXT4,
                                   plat::D3DFMT_DXT5}) {
      profile.textureFormats.push_back(format);
    }
  }
  return profile;
}

class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::ResetD3D9StandInForTest();
    plat::UseVirtualTime(true);  // the start's refresh measurement costs no wall time
  }
  void TearDown() override {
    // The end releases every graph left, down to an end slot of 0.
    TerminateGraphics();
    // A device rebuild restarts input with the screen; left running, the next
    // library start in this process would keep it and miss pads attached since.
    TerminateInput();
    EXPECT_EQ(GetGraphCount(), 0);
    EXPECT_EQ(GetGraphEndSlot(), 0);
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
    SetHardwareRenderingFlag(1);
    plat::ResetD3D9StandInForTest();
    plat::UseVirtualTime(false);
  }

  void Start(const plat::D3D9Profile& profile = GraphProfile(2048)) {
    plat::SetD3D9ProfileForTest(profile);
    ASSERT_EQ(StartGraphicsScreen(), 0);
    TakeBaseline();
  }
  void StartSoftware() {
    SetHardwareRenderingFlag(0);
    ASSERT_EQ(StartGraphicsScreen(), 0);
    TakeBaseline();
  }

  // Releases the test's graphs; what the start made itself stays. The test
  // may still hold `heldBlocks` tracked blocks of its own (source images).
  void ExpectEverythingReleased(int heldBlocks = 0) {
    for (int slot = 0; slot < GetGraphEndSlot(); ++slot) {
      const GraphRecord* record = GetGraphRecordAtSlot(slot);
      if (record != nullptr && slot >= baseEndSlot_) {
        EXPECT_EQ(ReleaseGraph(record->handle), 0);
      }
    }
    EXPECT_EQ(GetGraphCount(), baseCount_);
    EXPECT_EQ(GetGraphEndSlot(), baseEndSlot_);
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), liveObjects_);
    EXPECT_EQ(GetTrackedBlockCount(), trackedBlocks_ + heldBlocks);
  }

  void TakeBaseline() {
    baseCount_ = GetGraphCount();
    baseEndSlot_ = GetGraphEndSlot();
    liveObjects_ = plat::GetD3D9LiveObjectCount();
    trackedBlocks_ = GetTrackedBlockCount();
  }

  ScreenWindow window_;
  int baseCount_ = 0;
  int baseEndSlot_ = 0;
  int liveObjects_ = 0;
  int trackedBlocks_ = 0;
};

// A 32-bit image (up to 1024 pixels wide) whose every pixel tells where it
// came from: red and green from x and y, blue from which 64-pixel block; never
// black, the default transparent colour.
struct PatternImage {
  BaseImage image{};
  PatternImage(int width, int height) {
    AllocXRGB8BaseImage(width, height, &image);
    for (int y = 0; y < height; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(image.pixels + static_cast<std::size_t>(y) * image.pitch);
      for (int x = 0; x < width; ++x) row[x] = Expected(x, y);
    }
  }
  ~PatternImage() { FreeBaseImagePixels(&image); }
  PatternImage(const PatternImage&) = delete;
  PatternImage& operator=(const PatternImage&) = delete;
  static std::uint32_t Expected(int x, int y) {
    const auto red = static_cast<std::uint32_t>(x * 5) & 0xFF;
    const auto green = static_cast<std::uint32_t>(y * 7) & 0xFF;
    const auto blue = static_cast<std::uint32_t>(0x80 | (x >> 6) << 3 | (y >> 6)) & 0xFF;
    return 0xFF000000u | red << 16 | green << 8 | blue;
  }
};

// Level 0 of every tile of the graph's image as the device would show it:
// the written (staging) copy of a staged image, else the texture.
inline std::vector<std::uint8_t> TextureBytes(int graph) {
  std::vector<std::uint8_t> bytes;
  const qz::GraphImage* image = qz::GetGraphRecord(graph)->image;
  for (int i = 0; i < image->tileCount; ++i) {
    const qz::GraphTextureTile& tile = image->tiles[i];
    plat::IDirect3DTexture9* texture = tile.stagingTexture != nullptr ? tile.stagingTexture : tile.texture;
    plat::D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, plat::D3DLOCK_READONLY), plat::D3D_OK);
    for (int y = 0; y < tile.textureHeight; ++y) {
      const auto* row = static_cast<const std::uint8_t*>(locked.pBits) + std::ptrdiff_t{y} * locked.Pitch;
      bytes.insert(bytes.end(), row, row + tile.textureWidth * 4);
    }
    texture->UnlockRect(0);
  }
  return bytes;
}

}  // namespace qz::testing
