// Turned and scaled sprites, each quad two triangles that are no rectangle,
// drawn with the 2D fast paths allowed and with the general path alone:
// random angles, scales, texture sizes and sub-rectangles, point and linear
// sampling, every address mode, stage set-ups, blends and alpha tests, onto
// 32- and 16-bit targets. Both must leave the same bytes and count the same
// pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/d3d9_raster.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

constexpr int kTargetW = 96, kTargetH = 80;

OwnedSurface RandomTexture(std::mt19937& rng) {
  const std::uint32_t formats[] = {D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4};
  const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 40);
  OwnedSurface texture(w, h, formats[rng() % 4], static_cast<int>(rng() % 2) * 8);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Sprites are mostly fully transparent or fully opaque.
      const unsigned kind = rng() % 4;
      const std::uint32_t alpha = kind == 0 ? 0u : kind == 1 ? 0xFFu : rng() & 0xFFu;
      texture.Set(x, y, alpha << 24 | (rng() & 0xFFFFFFu));
    }
  }
  return texture;
}

void RandomStageAndSampler(std::mt19937& rng, State* state) {
  auto& ts = state->stage[0];
  switch (rng() % 5) {
    case 0:  // texture x diffuse
      break;
    case 1:
      ts[D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
      ts[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
      break;
    case 2:  // colour from the factor, alpha from the texture
      ts[D3DTSS_COLORARG1] = D3DTA_TFACTOR;
      ts[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
      break;
    case 3:  // alpha from the diffuse colour only
      ts[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG2;
      break;
    default:
      ts[D3DTSS_COLOROP] = D3DTOP_MODULATE2X;
      break;
  }
  state->render[D3DRS_TEXTUREFACTOR] = rng();
  auto& ss = state->sampler[0];
  ss[D3DSAMP_MAGFILTER] = rng() % 3 == 0 ? D3DTEXF_LINEAR : D3DTEXF_POINT;
  ss[D3DSAMP_MINFILTER] = rng() % 3 == 0 ? D3DTEXF_LINEAR : D3DTEXF_POINT;
  if (rng() % 4 == 0) {
    ss[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP + rng() % 5;
    ss[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP + rng() % 5;
    ss[D3DSAMP_BORDERCOLOR] = rng();
  }
}

void RandomBlendAndTest(std::mt19937& rng, State* state) {
  auto& rs = state->render;
  switch (rng() % 5) {
    case 0:
      break;
    case 1:
    case 2:
      UseAlphaBlend(state);
      break;
    case 3:  // additive
      rs[D3DRS_ALPHABLENDENABLE] = 1;
      rs[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
      rs[D3DRS_DESTBLEND] = D3DBLEND_ONE;
      break;
    default:
      rs[D3DRS_ALPHABLENDENABLE] = 1;
      rs[D3DRS_SRCBLEND] = D3DBLEND_INVDESTCOLOR;
      rs[D3DRS_DESTBLEND] = D3DBLEND_SRCCOLOR;
      break;
  }
  if (rng() % 3 != 0) {
    // The transparent colour's test most of the time, any test otherwise.
    rs[D3DRS_ALPHATESTENABLE] = 1;
    const bool usual = rng() % 2 == 0;
    rs[D3DRS_ALPHAFUNC] = usual ? D3DCMP_GREATER : D3DCMP_NEVER + rng() % 8;
    rs[D3DRS_ALPHAREF] = usual ? 0 : rng() % 256;
  }
}

// A quad of the texture's sub-rectangle turned by `angle` about its centre.
std::vector<TexVertex> TurnedQuad(std::mt19937& rng, std::uint32_t diffuse) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const float cx = -10.0f + unit(rng) * (kTargetW + 20), cy = -10.0f + unit(rng) * (kTargetH + 20);
  const float halfW = 0.5f + unit(rng) * 30.0f, halfH = 0.5f + unit(rng) * 30.0f;
  const float angle = unit(rng) * 6.2831853f;
  float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
  if (rng() % 2 == 0) {
    // Partly outside 0..1 at times, for the address modes.
    u0 = unit(rng) * 0.5f - (rng() % 4 == 0 ? 0.5f : 0.0f);
    v0 = unit(rng) * 0.5f - (rng() % 4 == 0 ? 0.5f : 0.0f);
    u1 = u0 + 0.1f + unit(rng) * (rng() % 4 == 0 ? 2.0f : 0.5f);
    v1 = v0 + 0.1f + unit(rng) * 0.5f;
  }
  return TurnedQuadAbout(cx, cy, halfW, halfH, angle, u0, v0, u1, v1, diffuse);
}

TEST(RasterTurnedSprites, DrawTheSamePixelsWithAndWithoutTheFastPaths) {
  std::mt19937 rng(11207);
  for (int round = 0; round < 1200; ++round) {
    const std::uint32_t targetFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5};
    const std::uint32_t targetFormat = targetFormats[rng() % 4];
    const OwnedSurface texture = RandomTexture(rng);
    State state = TwoDState(kTargetW, kTargetH);
    state.textures[0] = texture.view;
    RandomStageAndSampler(rng, &state);
    RandomBlendAndTest(rng, &state);
    const std::uint32_t diffuse = rng() % 2 == 0 ? 0xFFFFFFFFu : rng();
    std::vector<TexVertex> vertices;
    for (int sprite = 0, sprites = 1 + static_cast<int>(rng() % 4); sprite < sprites; ++sprite) {
      const std::vector<TexVertex> quad = TurnedQuad(rng, diffuse);
      vertices.insert(vertices.end(), quad.begin(), quad.end());
    }
    if (rng() % 10 == 0) vertices[1].rhw = 0.5f;  // one triangle in perspective
    const BothPaths drawn = DrawBothPaths(rng, kTargetW, kTargetH, targetFormat, state, vertices, round);
    ASSERT_TRUE(drawn.matched);
  }
}

// The game's turned effects: texture times white, added at the texel's
// alpha, often behind the transparent colour's test. The fast path adds
// such texels byte by byte, eight pixels at a time where it can; it must
// match the general path on both target layouts, for opaque, transparent
// and partly transparent texels.
TEST(RasterTurnedSprites, AdditiveSpritesOfPlainTexelsMatchTheGeneralPath) {
  std::mt19937 rng(2026);
  for (int round = 0; round < 300; ++round) {
    OwnedSurface texture = RandomTexture(rng);
    if (texture.view.format == D3DFMT_A4R4G4B4) continue;
    State state = TwoDState(kTargetW, kTargetH);
    state.textures[0] = texture.view;
    auto& rs = state.render;
    rs[D3DRS_ALPHABLENDENABLE] = 1;
    rs[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ONE;
    if (rng() % 2 == 0) {
      rs[D3DRS_ALPHATESTENABLE] = 1;
      rs[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
    }
    const std::vector<TexVertex> vertices = TurnedQuad(rng, 0xFFFFFFFFu);
    const BothPaths drawn = DrawBothPaths(rng, kTargetW, kTargetH, rng() % 2 == 0 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8,
                                          state, vertices, round);
    ASSERT_TRUE(drawn.matched);
  }
}

}  // namespace
}  // namespace plat::raster
