// The rasteriser's per-pixel pipeline on small golden images: texel mapping
// and addressing, filters, the texture-stage cascade, alpha test, depth,
// blend factors and operations, colour-write mask and target formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d9_raster.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

// Expected channel arithmetic, written independently in floating point.
int Mod(int a, int b, int scale = 1) { return std::min(255, static_cast<int>(std::floor(a * b * scale / 255.0 + 0.5))); }
int Channel(std::uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }
std::uint32_t PerChannel(std::uint32_t x, std::uint32_t y, int (*f)(int, int)) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) out |= static_cast<std::uint32_t>(f(Channel(x, shift), Channel(y, shift))) << shift;
  return out;
}

// One-texel texture drawn over a whole 2x2 target.
struct StageRig {
  OwnedSurface texture{1, 1, D3DFMT_A8R8G8B8};
  OwnedSurface target{2, 2, D3DFMT_A8R8G8B8};
  State state = TwoDState(2, 2);
  std::uint32_t diffuse = 0;

  StageRig(std::uint32_t texel, std::uint32_t diffuseColor, std::uint32_t factor) {
    texture.Set(0, 0, texel);
    diffuse = diffuseColor;
    state.textures[0] = texture.view;
    state.render[D3DRS_TEXTUREFACTOR] = factor;
  }
  void Stage(int s, std::uint32_t colorOp, std::uint32_t c1, std::uint32_t c2, std::uint32_t alphaOp, std::uint32_t a1,
             std::uint32_t a2) {
    auto& ts = state.stage[s];
    ts[D3DTSS_COLOROP] = colorOp;
    ts[D3DTSS_COLORARG1] = c1;
    ts[D3DTSS_COLORARG2] = c2;
    ts[D3DTSS_ALPHAOP] = alphaOp;
    ts[D3DTSS_ALPHAARG1] = a1;
    ts[D3DTSS_ALPHAARG2] = a2;
    ts[D3DTSS_TEXCOORDINDEX] = 0;
  }
  std::uint32_t Draw(Report* report = nullptr) {
    target.Fill(0);
    EXPECT_EQ(DrawList(target, state, Quad(-0.5f, -0.5f, 1.5f, 1.5f, 0, 0, 1, 1, diffuse), kTexFvf,
                       D3DPT_TRIANGLELIST, report),
              Status::kOk);
    return target.Get(1, 1);
  }
};

TEST(RasterTexture, ShiftedQuadsMapTexelsOneToOneOnBothPaths) {
  OwnedSurface texture(5, 3, D3DFMT_A8R8G8B8);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) texture.Set(x, y, 0x01000000u * static_cast<std::uint32_t>(40 * x + y) + 0x102030u * static_cast<std::uint32_t>(x + 3 * y));
  }
  State state = TwoDState(16, 12);
  state.textures[0] = texture.view;
  state.stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.stage[0][D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  for (bool fast : {true, false}) {
    OwnedSurface target(16, 12, D3DFMT_A8R8G8B8);
    Report report;
    ASSERT_EQ(DrawList(target, state, Quad(9.5f, 6.5f, 14.5f, 9.5f, 0, 0, 1, 1), kTexFvf, D3DPT_TRIANGLELIST, &report,
                       fast),
              Status::kOk);
    EXPECT_EQ(report.fastPathTriangles, fast ? 2 : 0);
    EXPECT_EQ(report.pixelsWritten, 15);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) ASSERT_EQ(target.Get(10 + x, 7 + y), texture.Get(x, y)) << x << "," << y;
    }
    EXPECT_EQ(target.Get(9, 7), 0u);
    EXPECT_EQ(target.Get(15, 7), 0u);
  }
}

TEST(RasterTexture, AddressModesAndBorderColour) {
  OwnedSurface texture(4, 1, D3DFMT_X8R8G8B8);
  const std::uint32_t a = 0xFF0000AAu, b = 0xFF0000BBu, c = 0xFF0000CCu, d = 0xFF0000DDu, e = 0xFF0000EEu;
  texture.Set(0, 0, a);
  texture.Set(1, 0, b);
  texture.Set(2, 0, c);
  texture.Set(3, 0, d);
  State state = TwoDState(12, 1);
  state.textures[0] = texture.view;
  state.stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.sampler[0][D3DSAMP_BORDERCOLOR] = e;
  struct Case {
    std::uint32_t mode;
    std::vector<std::uint32_t> row;
  };
  const Case cases[] = {
      {D3DTADDRESS_CLAMP, {a, a, a, a, a, b, c, d, d, d, d, d}},
      {D3DTADDRESS_WRAP, {a, b, c, d, a, b, c, d, a, b, c, d}},
      {D3DTADDRESS_MIRROR, {d, c, b, a, a, b, c, d, d, c, b, a}},
      {D3DTADDRESS_BORDER, {e, e, e, e, a, b, c, d, e, e, e, e}},
      {D3DTADDRESS_MIRRORONCE, {d, c, b, a, a, b, c, d, d, d, d, d}},
  };
  for (const Case& k : cases) {
    state.sampler[0][D3DSAMP_ADDRESSU] = k.mode;
    for (bool fast : {true, false}) {
      OwnedSurface target(12, 1, D3DFMT_X8R8G8B8);
      // u runs from -1 to 2 across twelve pixels: texel index = x - 4.
      ASSERT_EQ(DrawList(target, state, Quad(-0.5f, -0.5f, 11.5f, 0.5f, -1, 0, 2, 1), kTexFvf, D3DPT_TRIANGLELIST,
                         nullptr, fast),
                Status::kOk);
      EXPECT_EQ(Pixels(target), k.row) << "mode " << k.mode << (fast ? " fast" : " general");
    }
  }
}

TEST(RasterTexture, FilterFollowsMagnificationOrMinification) {
  OwnedSurface texture(2, 1, D3DFMT_X8R8G8B8);
  texture.Set(0, 0, 0xFF000000u);
  texture.Set(1, 0, 0xFF0000FFu);
  State state = TwoDState(8, 1);
  state.textures[0] = texture.view;
  state.stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.sampler[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
  OwnedSurface target(8, 1, D3DFMT_X8R8G8B8);
  ASSERT_EQ(DrawList(target, state, Quad(-0.5f, -0.5f, 7.5f, 0.5f, 0, 0, 1, 1), kTexFvf), Status::kOk);
  std::vector<int> blue;
  for (int x = 0; x < 8; ++x) blue.push_back(static_cast<int>(target.Get(x, 0) & 0xFF));
  // Texel centres sit at pixels 1.5 and 5.5: flat outside them, a straight ramp between.
  EXPECT_EQ(blue[0], 0);
  EXPECT_EQ(blue[1], 0);
  EXPECT_EQ(blue[6], 255);
  EXPECT_EQ(blue[7], 255);
  for (int x = 2; x <= 5; ++x) EXPECT_NEAR(blue[x], (x - 1.5) / 4.0 * 255.0, 1.0) << x;
  EXPECT_EQ(blue[2] + blue[5], 255);

  // Squeezed eight texels into two pixels: the minification filter (point) applies.
  OwnedSurface wide(8, 1, D3DFMT_X8R8G8B8);
  for (int x = 0; x < 8; ++x) wide.Set(x, 0, 0xFF000000u | static_cast<std::uint32_t>(x * 30));
  state.textures[0] = wide.view;
  OwnedSurface small(2, 1, D3DFMT_X8R8G8B8);
  ASSERT_EQ(DrawList(small, state, Quad(-0.5f, -0.5f, 1.5f, 0.5f, 0, 0, 1, 1), kTexFvf), Status::kOk);
  EXPECT_EQ(small.Get(0, 0), 0xFF000000u | 60);
  EXPECT_EQ(small.Get(1, 0), 0xFF000000u | 180);
}

TEST(RasterStages, EachOperationOnKnownColours) {
  const std::uint32_t t = 0x80'40C020u, dif = 0xC0'8060FFu, f = 0x40'FF2010u;
  struct Case {
    const char* what;
    std::uint32_t op, arg1, arg2;
    std::uint32_t expectedRgb;
  };
  auto rgb = [](std::uint32_t x) { return x & 0xFFFFFFu; };
  const Case cases[] = {
      {"select texture", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, rgb(t)},
      {"select diffuse", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, rgb(dif)},
      {"select factor", D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, rgb(f)},
      {"modulate", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, rgb(PerChannel(t, dif, [](int x, int y) { return Mod(x, y); }))},
      {"modulate 2x", D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE,
       rgb(PerChannel(t, dif, [](int x, int y) { return Mod(x, y, 2); }))},
      {"modulate 4x", D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE,
       rgb(PerChannel(t, dif, [](int x, int y) { return Mod(x, y, 4); }))},
      {"add", D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, rgb(PerChannel(t, dif, [](int x, int y) { return std::min(255, x + y); }))},
      {"subtract", D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_DIFFUSE,
       rgb(PerChannel(t, dif, [](int x, int y) { return std::max(0, x - y); }))},
      {"complement", D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, rgb(~t)},
      {"alpha replicate", D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, D3DTA_DIFFUSE, 0x808080u},
      {"complemented alpha replicate", D3DTOP_SELECTARG1, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE | D3DTA_COMPLEMENT,
       D3DTA_DIFFUSE, 0x3F3F3Fu},
      {"blend by diffuse alpha", D3DTOP_BLENDDIFFUSEALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR,
       rgb(PerChannel(t, f, [](int x, int y) { return static_cast<int>(std::floor((x * 0xC0 + y * (255 - 0xC0)) / 255.0 + 0.5)); }))},
      {"blend by texture alpha", D3DTOP_BLENDTEXTUREALPHA, D3DTA_DIFFUSE, D3DTA_TFACTOR,
       rgb(PerChannel(dif, f, [](int x, int y) { return static_cast<int>(std::floor((x * 0x80 + y * (255 - 0x80)) / 255.0 + 0.5)); }))},
  };
  for (const Case& c : cases) {
    StageRig rig(t, dif, f);
    rig.Stage(0, c.op, c.arg1, c.arg2, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    EXPECT_EQ(rig.Draw(), 0x80000000u | c.expectedRgb) << c.what;
  }
  // Alpha operations read the arguments' alpha.
  struct AlphaCase {
    std::uint32_t op, arg1, arg2;
    int expected;
  };
  for (const AlphaCase& c : {AlphaCase{D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xC0},
                             AlphaCase{D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, Mod(0x80, 0xC0)},
                             AlphaCase{D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR, 0xC0},
                             AlphaCase{D3DTOP_SUBTRACT, D3DTA_TFACTOR, D3DTA_TEXTURE, 0},
                             AlphaCase{D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 255},
                             AlphaCase{D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 0x7F}}) {
    StageRig rig(t, dif, f);
    rig.Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, c.op, c.arg1, c.arg2);
    EXPECT_EQ(static_cast<int>(rig.Draw() >> 24), c.expected) << c.op;
  }
}

TEST(RasterStages, CascadeCarriesCurrentUsesTempAndStopsAtTheFirstDisabledStage) {
  const std::uint32_t t = 0xFF'40C020u, dif = 0x80'8060FFu, f = 0xFF'FF2010u;
  StageRig rig(t, dif, f);
  // Stage 0 puts the texture into the temporary register, stage 1 selects the
  // diffuse colour, stage 2 multiplies the two; stage 3 is disabled, so
  // stage 4's complement never runs.
  rig.Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  rig.state.stage[0][D3DTSS_RESULTARG] = D3DTA_TEMP;
  rig.Stage(1, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
  rig.Stage(2, D3DTOP_MODULATE, D3DTA_TEMP, D3DTA_CURRENT, D3DTOP_SELECTARG2, D3DTA_TEMP, D3DTA_CURRENT);
  rig.Stage(3, D3DTOP_DISABLE, D3DTA_CURRENT, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_CURRENT, D3DTA_CURRENT);
  rig.Stage(4, D3DTOP_SELECTARG1, D3DTA_CURRENT | D3DTA_COMPLEMENT, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_CURRENT,
            D3DTA_CURRENT);
  EXPECT_EQ(rig.Draw(), 0x80000000u | (PerChannel(t, dif, [](int x, int y) { return Mod(x, y); }) & 0xFFFFFFu));

  // The library's two-stage set-up: a second stage blending current with the
  // factor by current alpha, alpha kept.
  StageRig blendStage(0x80'FF0000u, 0xFF'FFFFFFu, 0xFF'0000FFu);
  blendStage.Stage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  blendStage.Stage(1, D3DTOP_BLENDCURRENTALPHA, D3DTA_CURRENT, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_CURRENT,
                   D3DTA_TFACTOR);
  const int red = static_cast<int>(std::floor(255 * 0x80 / 255.0 + 0.5));
  const int blue = static_cast<int>(std::floor(255 * (255 - 0x80) / 255.0 + 0.5));
  EXPECT_EQ(blendStage.Draw(), 0x80000000u | static_cast<std::uint32_t>(red << 16 | blue));

  // Disabling stage 0 leaves the diffuse colour.
  StageRig none(t, dif, f);
  none.Stage(0, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  EXPECT_EQ(none.Draw(), dif);
}

TEST(RasterStages, MissingTextureOrCoordinatesReadOpaqueBlackAndAreReported) {
  StageRig rig(0xFF123456u, 0x80'808080u, 0xFFFFFFFFu);
  rig.state.textures[0] = Surface{};
  rig.Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  Report report;
  EXPECT_EQ(rig.Draw(&report), 0xFF000000u);
  EXPECT_TRUE(report.missingTexture);
  EXPECT_FALSE(report.missingTexCoords);

  // Naming the texture only as the unused argument reads nothing.
  rig.Stage(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  EXPECT_EQ(rig.Draw(&report), 0x80'808080u);
  EXPECT_FALSE(report.missingTexture);

  // Untextured vertices with a stage that samples.
  StageRig bare(0xFF123456u, 0xFF'808080u, 0xFFFFFFFFu);
  bare.Stage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  ASSERT_EQ(DrawList(bare.target, bare.state, SolidQuad(0, 0, 2, 2, 0xFF808080u), kColorFvf, D3DPT_TRIANGLELIST, &report),
            Status::kOk);
  EXPECT_TRUE(report.missingTexCoords);
  EXPECT_EQ(bare.target.Get(0, 0), 0xFF000000u);
}

// Pre-transformed vertex with diffuse, specular and two coordinate sets (FVF 0x2C4, 40 bytes).
struct TwoSetVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse, specular;
  float u0, v0, u1, v1;
};

TEST(RasterStages, SecondCoordinateSetAndSpecularAdd) {
  OwnedSurface texture(2, 1, D3DFMT_X8R8G8B8);
  texture.Set(0, 0, 0xFF100000u);
  texture.Set(1, 0, 0xFF200000u);
  State state = TwoDState(1, 1);
  state.textures[0] = texture.view;
  state.stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.stage[0][D3DTSS_TEXCOORDINDEX] = 1;
  state.render[D3DRS_SPECULARENABLE] = 1;
  // Set 0 points at texel 0, set 1 at texel 1; specular adds blue and saturates green.
  const TwoSetVertex v[] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 0xFF00FF40u, 0.25f, 0.5f, 0.75f, 0.5f},
                            {1.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 0xFF00FF40u, 0.25f, 0.5f, 0.75f, 0.5f},
                            {-0.5f, 1.5f, 0, 1, 0xFFFFFFFFu, 0xFF00FF40u, 0.25f, 0.5f, 0.75f, 0.5f}};
  OwnedSurface target(1, 1, D3DFMT_X8R8G8B8);
  ASSERT_EQ(DrawList(target, state, std::vector<TwoSetVertex>(v, v + 3),
                     D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2),
            Status::kOk);
  EXPECT_EQ(target.Get(0, 0), 0xFF20FF40u);
}

TEST(RasterOutput, AlphaTestComparesWithTheReference) {
  const int ref = 0x10;
  for (std::uint32_t func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; ++func) {
    for (int alpha : {0x0F, 0x10, 0x11}) {
      StageRig rig(0xFFFFFFFFu, static_cast<std::uint32_t>(alpha) << 24 | 0x00FF00u, 0);
      UseDiffuseOnly(&rig.state);
      rig.state.render[D3DRS_ALPHATESTENABLE] = 1;
      rig.state.render[D3DRS_ALPHAREF] = 0x100 | ref;  // only the low byte counts
      rig.state.render[D3DRS_ALPHAFUNC] = func;
      const bool passes = func == D3DCMP_ALWAYS || (func == D3DCMP_LESS && alpha < ref) ||
                          (func == D3DCMP_EQUAL && alpha == ref) || (func == D3DCMP_LESSEQUAL && alpha <= ref) ||
                          (func == D3DCMP_GREATER && alpha > ref) || (func == D3DCMP_NOTEQUAL && alpha != ref) ||
                          (func == D3DCMP_GREATEREQUAL && alpha >= ref);
      Report report;
      EXPECT_EQ(rig.Draw(&report) != 0, passes) << "func " << func << " alpha " << alpha;
      EXPECT_EQ(report.pixelsWritten, passes ? 4 : 0);
    }
  }
}

// Expected blend of one channel, in floating point, rounded once.
int ExpectedBlend(std::uint32_t op, int s, int d, int sf, int df) {
  const double st = s * sf / 255.0, dt = d * df / 255.0;
  const auto rounded = [](double v) { return std::clamp(static_cast<int>(std::floor(v + 0.5)), 0, 255); };
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return rounded(st - dt);
    case D3DBLENDOP_REVSUBTRACT:
      return rounded(dt - st);
    case D3DBLENDOP_MIN:
      return std::min(s, d);
    case D3DBLENDOP_MAX:
      return std::max(s, d);
    default:
      return rounded(st + dt);
  }
}

TEST(RasterOutput, BlendFactorsAndOperations) {
  const std::uint32_t src = 0x60'C04020u, dst = 0xA0'3080F0u, constant = 0x20'406080u;
  // Each factor as a function of (source channel, destination channel, source alpha, destination alpha, constant channel).
  struct Factor {
    std::uint32_t id;
    int (*value)(int s, int d, int sa, int da, int k, bool alphaChannel);
  };
  const Factor factors[] = {
      {D3DBLEND_ZERO, [](int, int, int, int, int, bool) { return 0; }},
      {D3DBLEND_ONE, [](int, int, int, int, int, bool) { return 255; }},
      {D3DBLEND_SRCCOLOR, [](int s, int, int, int, int, bool) { return s; }},
      {D3DBLEND_INVSRCCOLOR, [](int s, int, int, int, int, bool) { return 255 - s; }},
      {D3DBLEND_SRCALPHA, [](int, int, int sa, int, int, bool) { return sa; }},
      {D3DBLEND_INVSRCALPHA, [](int, int, int sa, int, int, bool) { return 255 - sa; }},
      {D3DBLEND_DESTALPHA, [](int, int, int, int da, int, bool) { return da; }},
      {D3DBLEND_INVDESTALPHA, [](int, int, int, int da, int, bool) { return 255 - da; }},
      {D3DBLEND_DESTCOLOR, [](int, int d, int, int, int, bool) { return d; }},
      {D3DBLEND_INVDESTCOLOR, [](int, int d, int, int, int, bool) { return 255 - d; }},
      {D3DBLEND_SRCALPHASAT, [](int, int, int sa, int da, int, bool a) { return a ? 255 : std::min(sa, 255 - da); }},
      {D3DBLEND_BLENDFACTOR, [](int, int, int, int, int k, bool) { return k; }},
      {D3DBLEND_INVBLENDFACTOR, [](int, int, int, int, int k, bool) { return 255 - k; }},
  };
  for (std::uint32_t targetFormat : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
    const std::uint32_t storedDst = targetFormat == D3DFMT_X8R8G8B8 ? dst | 0xFF000000u : dst;
    for (const Factor& sf : factors) {
      for (const Factor& df : factors) {
        for (std::uint32_t op = D3DBLENDOP_ADD; op <= D3DBLENDOP_MAX; ++op) {
          State state = TwoDState(1, 1);
          UseDiffuseOnly(&state);
          state.render[D3DRS_ALPHABLENDENABLE] = 1;
          state.render[D3DRS_SRCBLEND] = sf.id;
          state.render[D3DRS_DESTBLEND] = df.id;
          state.render[D3DRS_BLENDOP] = op;
          state.render[D3DRS_BLENDFACTOR] = constant;
          OwnedSurface target(1, 1, targetFormat);
          target.Set(0, 0, dst);
          ASSERT_EQ(DrawList(target, state, SolidQuad(0, 0, 1, 1, src), kColorFvf), Status::kOk);
          std::uint32_t expected = 0;
          for (int shift = 0; shift < 32; shift += 8) {
            const int s = Channel(src, shift), d = Channel(storedDst, shift), k = Channel(constant, shift);
            const bool alphaChannel = shift == 24;
            const int sa = Channel(src, 24), da = Channel(storedDst, 24);
            expected |= static_cast<std::uint32_t>(ExpectedBlend(op, s, d, sf.value(s, d, sa, da, k, alphaChannel),
                                                                 df.value(s, d, sa, da, k, alphaChannel)))
                        << shift;
          }
          if (targetFormat == D3DFMT_X8R8G8B8) expected |= 0xFF000000u;
          ASSERT_EQ(target.Get(0, 0), expected)
              << "target " << targetFormat << " src " << sf.id << " dst " << df.id << " op " << op;
        }
      }
    }
  }
  // BOTHSRCALPHA sets both factors from the source alpha.
  State state = TwoDState(1, 1);
  UseDiffuseOnly(&state);
  state.render[D3DRS_ALPHABLENDENABLE] = 1;
  state.render[D3DRS_SRCBLEND] = D3DBLEND_BOTHSRCALPHA;
  state.render[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  OwnedSurface target(1, 1, D3DFMT_X8R8G8B8);
  target.Set(0, 0, dst);
  ASSERT_EQ(DrawList(target, state, SolidQuad(0, 0, 1, 1, src), kColorFvf), Status::kOk);
  EXPECT_EQ(target.Get(0, 0) & 0xFF, static_cast<std::uint32_t>(ExpectedBlend(D3DBLENDOP_ADD, 0x20, 0xF0, 0x60, 0x9F)));
}

TEST(RasterOutput, ColourWriteMaskKeepsTheMaskedChannels) {
  State state = TwoDState(1, 1);
  UseDiffuseOnly(&state);
  state.render[D3DRS_COLORWRITEENABLE] = D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA;
  for (std::uint32_t format : {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4}) {
    OwnedSurface target(1, 1, format);
    target.Set(0, 0, 0x11'223344u);
    const std::uint32_t before = target.Get(0, 0);
    ASSERT_EQ(DrawList(target, state, SolidQuad(0, 0, 1, 1, 0xFF'FFFFFFu), kColorFvf), Status::kOk);
    EXPECT_EQ(target.Get(0, 0), 0xFFFF0000u | (before & 0xFFFFu)) << format;
  }
}

TEST(RasterOutput, DepthTestAndWriteInTheSurfacesPrecision) {
  State state = TwoDState(2, 1);
  UseDiffuseOnly(&state);
  state.render[D3DRS_ZENABLE] = D3DZB_TRUE;
  OwnedSurface target(2, 1, D3DFMT_X8R8G8B8);
  OwnedSurface depth(2, 1, D3DFMT_D16);
  depth.FillDepth(0.5f);
  auto drawAt = [&](float z, std::uint32_t color) {
    std::vector<ColorVertex> quad = SolidQuad(0, 0, 1, 1, color);
    for (ColorVertex& v : quad) v.z = z;
    return DrawList(target, state, quad, kColorFvf, D3DPT_TRIANGLELIST, nullptr, true, &depth.view);
  };
  ASSERT_EQ(drawAt(0.75f, 0xFF0000FFu), Status::kOk);
  EXPECT_EQ(target.Get(0, 0), 0xFF000000u);  // behind: LESSEQUAL fails
  ASSERT_EQ(drawAt(0.3f, 0xFF00FF00u), Status::kOk);
  EXPECT_EQ(target.Get(0, 0), 0xFF00FF00u);
  EXPECT_EQ(depth.Depth(0, 0), std::round(0.3f * 65535.0f) / 65535.0f);
  EXPECT_EQ(depth.Depth(1, 0), 0.5f);
  state.render[D3DRS_ZWRITEENABLE] = 0;
  ASSERT_EQ(drawAt(0.1f, 0xFFFF0000u), Status::kOk);
  EXPECT_EQ(target.Get(0, 0), 0xFFFF0000u);
  EXPECT_EQ(depth.Depth(0, 0), std::round(0.3f * 65535.0f) / 65535.0f);
  state.render[D3DRS_ZENABLE] = D3DZB_FALSE;
  ASSERT_EQ(drawAt(0.9f, 0xFF0000FFu), Status::kOk);
  EXPECT_EQ(target.Get(0, 0), 0xFF0000FFu);
  // A depth surface smaller than the target is refused.
  state.render[D3DRS_ZENABLE] = D3DZB_TRUE;
  OwnedSurface small(1, 1, D3DFMT_D16);
  EXPECT_EQ(DrawList(target, state, SolidQuad(0, 0, 1, 1, 0xFFFFFFFFu), kColorFvf, D3DPT_TRIANGLELIST, nullptr, true,
                     &small.view),
            Status::kBadArguments);
}

TEST(RasterOutput, SixteenBitTargetsRoundEachChannel) {
  State state = TwoDState(1, 1);
  UseDiffuseOnly(&state);
  struct Case {
    std::uint32_t format;
    std::uint32_t raw;  // expected stored pixel for 0x80'8040C0
  };
  // 0x80 -> 16/31, 0x40 -> 8/31 or 16/63, 0xC0 -> 23/31 (23.34 rounded),
  // alpha 0x80 -> the 1-bit alpha set, or 8/15.
  for (const Case& c : {Case{D3DFMT_R5G6B5, (16u << 11) | (16u << 5) | 23u},
                        Case{D3DFMT_X1R5G5B5, 0x8000u | (16u << 10) | (8u << 5) | 23u},
                        Case{D3DFMT_A1R5G5B5, 0x8000u | (16u << 10) | (8u << 5) | 23u},
                        Case{D3DFMT_A4R4G4B4, (8u << 12) | (8u << 8) | (4u << 4) | 11u}}) {
    OwnedSurface target(1, 1, c.format);
    ASSERT_EQ(DrawList(target, state, SolidQuad(0, 0, 1, 1, 0x80'8040C0u), kColorFvf), Status::kOk);
    std::uint16_t raw;
    std::memcpy(&raw, target.bytes.data(), 2);
    EXPECT_EQ(raw, c.raw) << c.format;
  }
}

}  // namespace
}  // namespace plat::raster
