// Shared pieces of the rasteriser tests: owned surfaces, the vertex layouts
// the library draws with, and a draw helper over a default state.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <unistd.h>

#include "platform/d3d9_raster.h"
#include "platform/d3d9_raster_bands.h"

namespace plat::raster::testing {

// A surface with its own pixels; 32-bit formats hold one word per pixel.
struct OwnedSurface {
  std::vector<std::uint8_t> bytes;
  Surface view;

  OwnedSurface(int width, int height, std::uint32_t format, int extraPitch = 0) {
    const int bpp = format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D32 ? 4 : BytesPerPixel(format);
    const int pitch = width * bpp + extraPitch;
    bytes.assign(static_cast<std::size_t>(pitch) * height, 0);
    view = Surface{bytes.data(), pitch, width, height, format};
  }
  OwnedSurface(const OwnedSurface& other) : bytes(other.bytes), view(other.view) { view.pixels = bytes.data(); }
  OwnedSurface& operator=(const OwnedSurface&) = delete;

  std::uint32_t Get(int x, int y) const { return ReadPixel(view, x, y); }
  void Set(int x, int y, std::uint32_t argb) { WritePixel(view, x, y, argb); }
  void Fill(std::uint32_t argb) {
    for (int y = 0; y < view.height; ++y) {
      for (int x = 0; x < view.width; ++x) Set(x, y, argb);
    }
  }
  float Depth(int x, int y) const {
    float d;
    std::memcpy(&d, bytes.data() + static_cast<std::size_t>(y) * view.pitchBytes + x * 4, 4);
    return d;
  }
  void FillDepth(float d) {
    for (int y = 0; y < view.height; ++y) {
      for (int x = 0; x < view.width; ++x) {
        std::memcpy(bytes.data() + static_cast<std::size_t>(y) * view.pitchBytes + x * 4, &d, 4);
      }
    }
  }
};

// Pre-transformed vertex with one coordinate set (FVF 0x144, 28 bytes).
struct TexVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};
inline constexpr std::uint32_t kTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Pre-transformed untextured vertex (FVF 0x44, 20 bytes).
struct ColorVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
};
inline constexpr std::uint32_t kColorFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// Six vertices of a quad as the library writes it: top-left, top-right,
// bottom-left, bottom-right, bottom-left, top-right.
inline std::vector<TexVertex> Quad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                                   std::uint32_t diffuse = 0xFFFFFFFFu) {
  const TexVertex tl{x0, y0, 0, 1, diffuse, u0, v0}, tr{x1, y0, 0, 1, diffuse, u1, v0};
  const TexVertex bl{x0, y1, 0, 1, diffuse, u0, v1}, br{x1, y1, 0, 1, diffuse, u1, v1};
  return {tl, tr, bl, br, bl, tr};
}

inline std::vector<ColorVertex> SolidQuad(float x0, float y0, float x1, float y1, std::uint32_t diffuse) {
  const ColorVertex tl{x0, y0, 0, 1, diffuse}, tr{x1, y0, 0, 1, diffuse};
  const ColorVertex bl{x0, y1, 0, 1, diffuse}, br{x1, y1, 0, 1, diffuse};
  return {tl, tr, bl, br, bl, tr};
}

// The library's 2D state: no depth, no culling, flat shading, stage 0
// texture x diffuse, clamp addressing, point sampling.
inline State TwoDState(int width, int height) {
  State state;
  SetDefaultState(&state, width, height, false);
  state.render[D3DRS_CULLMODE] = D3DCULL_NONE;
  state.render[D3DRS_SHADEMODE] = D3DSHADE_FLAT;
  state.render[D3DRS_LIGHTING] = 0;
  state.stage[0][D3DTSS_ALPHAOP] = D3DTOP_MODULATE;
  state.stage[0][D3DTSS_ALPHAARG2] = D3DTA_DIFFUSE;
  state.stage[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
  for (auto& sampler : state.sampler) {
    sampler[D3DSAMP_ADDRESSU] = D3DTADDRESS_CLAMP;
    sampler[D3DSAMP_ADDRESSV] = D3DTADDRESS_CLAMP;
  }
  return state;
}

// Untextured: colour and alpha from the diffuse colour.
inline void UseDiffuseOnly(State* state) {
  state->stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state->stage[0][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;
  state->stage[0][D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  state->stage[0][D3DTSS_ALPHAARG1] = D3DTA_DIFFUSE;
}

inline void UseAlphaBlend(State* state) {
  state->render[D3DRS_ALPHABLENDENABLE] = 1;
  state->render[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
  state->render[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
}

// Band workers of 2, 3 and 8 threads, shared by every test of the run. They
// are ended by the process that made them: a child that a later test forks
// has the objects but not their threads, and must not join them at its exit.
inline std::vector<BandWorkers*> EveryBandWorkers() {
  static BandWorkers* const workers[] = {new BandWorkers(2), new BandWorkers(3), new BandWorkers(8)};
  static const pid_t owner = getpid();
  [[maybe_unused]] static const int endedAtExit = std::atexit([] {
    if (getpid() != owner) return;
    for (BandWorkers* each : workers) delete each;
  });
  return {std::begin(workers), std::end(workers)};
}

// Draws as DrawPrimitives does, checking first that the draw split over
// every count of band workers gives the same status and bytes.
template <typename V>
Status DrawList(const OwnedSurface& target, const State& state, const std::vector<V>& vertices, std::uint32_t fvf,
                std::uint32_t type = D3DPT_TRIANGLELIST, Report* report = nullptr, bool allowFastPath = true,
                const Surface* depth = nullptr) {
  Draw draw;
  draw.primitiveType = type;
  const int n = static_cast<int>(vertices.size());
  switch (type) {
    case D3DPT_POINTLIST:
      draw.primitiveCount = n;
      break;
    case D3DPT_LINELIST:
      draw.primitiveCount = n / 2;
      break;
    case D3DPT_LINESTRIP:
      draw.primitiveCount = n - 1;
      break;
    case D3DPT_TRIANGLELIST:
      draw.primitiveCount = n / 3;
      break;
    default:
      draw.primitiveCount = n - 2;
      break;
  }
  draw.vertices = vertices.data();
  draw.fvf = fvf;
  draw.stride = sizeof(V);
  draw.allowFastPath = allowFastPath;
  Target t;
  t.color = target.view;
  if (depth != nullptr) t.depth = *depth;
  // The same draw split over 2, 3 and 8 workers, each on copies of the
  // target and depth as they are now, must leave one thread's bytes.
  struct Split {
    int workers;
    Status status;
    OwnedSurface color;
    std::vector<std::uint8_t> depth;
  };
  std::vector<Split> splits;
  for (BandWorkers* workers : EveryBandWorkers()) {
    Split split{workers->workers(), Status::kOk, target, {}};
    Target splitTarget{split.color.view, {}};
    if (depth != nullptr) {
      const auto* bytes = static_cast<const std::uint8_t*>(depth->pixels);
      split.depth.assign(bytes, bytes + static_cast<std::size_t>(depth->pitchBytes) * depth->height);
      splitTarget.depth = *depth;
      splitTarget.depth.pixels = split.depth.data();
    }
    split.status = workers->RecordDraw(splitTarget, state, draw, nullptr);
    EXPECT_TRUE(workers->Finish());
    splits.push_back(std::move(split));
  }
  const Status status = DrawPrimitives(t, state, draw, report);
  for (const Split& split : splits) {
    EXPECT_EQ(split.status, status) << split.workers << " workers";
    const auto differ = std::mismatch(split.color.bytes.begin(), split.color.bytes.end(), target.bytes.begin());
    EXPECT_TRUE(differ.first == split.color.bytes.end())
        << split.workers << " workers drew other pixels, first on row "
        << (differ.first - split.color.bytes.begin()) / target.view.pitchBytes;
    if (depth != nullptr) {
      EXPECT_EQ(std::memcmp(split.depth.data(), depth->pixels, split.depth.size()), 0)
          << split.workers << " workers wrote other depths";
    }
  }
  return status;
}

// Pixels as a row-major list, for whole-image comparisons.
inline std::vector<std::uint32_t> Pixels(const OwnedSurface& s) {
  std::vector<std::uint32_t> out;
  for (int y = 0; y < s.view.height; ++y) {
    for (int x = 0; x < s.view.width; ++x) out.push_back(s.Get(x, y));
  }
  return out;
}

// Random bytes, for textures and for targets whose every pixel a blend reads.
inline void FillRandom(std::mt19937& rng, OwnedSurface* surface) {
  for (auto& byte : surface->bytes) byte = static_cast<std::uint8_t>(rng());
}

// A texture's sub-rectangle as a quad in the library's vertex order, turned
// by `angle` about (cx, cy).
inline std::vector<TexVertex> TurnedQuadAbout(float cx, float cy, float halfW, float halfH, float angle, float u0,
                                              float v0, float u1, float v1, std::uint32_t diffuse) {
  const float c = std::cos(angle), s = std::sin(angle);
  auto corner = [&](float dx, float dy, float u, float v) {
    return TexVertex{cx + dx * c - dy * s, cy + dx * s + dy * c, 0, 1, diffuse, u, v};
  };
  const TexVertex tl = corner(-halfW, -halfH, u0, v0), tr = corner(halfW, -halfH, u1, v0);
  const TexVertex bl = corner(-halfW, halfH, u0, v1), br = corner(halfW, halfH, u1, v1);
  return {tl, tr, bl, br, bl, tr};
}

// One textured list drawn over the same random target with and without the
// fast paths. `matched` says both left the same bytes and wrote the same
// pixels; a mismatch is reported with its round.
struct BothPaths {
  Report fast;
  Report general;
  bool matched = false;
};

inline BothPaths DrawBothPaths(std::mt19937& rng, int width, int height, std::uint32_t format, const State& state,
                               const std::vector<TexVertex>& vertices, int round) {
  OwnedSurface start(width, height, format);
  FillRandom(rng, &start);
  OwnedSurface fast = start, general = start;
  BothPaths result;
  const bool drawn =
      DrawList(fast, state, vertices, kTexFvf, D3DPT_TRIANGLELIST, &result.fast, true) == Status::kOk &&
      DrawList(general, state, vertices, kTexFvf, D3DPT_TRIANGLELIST, &result.general, false) == Status::kOk;
  EXPECT_TRUE(drawn) << "round " << round;
  EXPECT_TRUE(fast.bytes == general.bytes) << "round " << round;
  EXPECT_EQ(result.fast.pixelsWritten, result.general.pixelsWritten) << "round " << round;
  result.matched = drawn && fast.bytes == general.bytes && result.fast.pixelsWritten == result.general.pixelsWritten;
  return result;
}

}  // namespace plat::raster::testing
