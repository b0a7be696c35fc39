// What the rasteriser's parts share: the draw state decoded once per call,
// vertices read from the caller's memory, and the per-triangle set-up that
// both the general and the fast rectangle path read.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/d3d9_raster.h"
#include "platform/d3d9_raster_math.h"
#include "platform/d3d9_raster_simd.h"

namespace plat::raster {

inline constexpr int kMaxCoordSets = 8;
// Vertices further out than this (pixels) are not drawn: it keeps the
// fixed-point edge arithmetic inside 64 bits.
inline constexpr double kMaxCoordinate = 1048576.0;
// Positions snap to 1/256 pixel.
inline constexpr int kSubpixelBits = 8;
inline constexpr std::int64_t kSubpixelOne = std::int64_t{1} << kSubpixelBits;

// floor(coordinate x 256 + 0.5): the nearest 1/256 pixel, halves up. Floor
// as truncation stepped down for negative fractions needs no library call.
inline std::int64_t SnapToSubpixel(double coordinate) {
  const double scaled = coordinate * static_cast<double>(kSubpixelOne) + 0.5;
  const auto truncated = static_cast<std::int64_t>(scaled);
  return static_cast<double>(truncated) > scaled ? truncated - 1 : truncated;
}

struct VertexLayout {
  int diffuseOffset = -1;  // -1: not in the format
  int specularOffset = -1;
  int coordSetCount = 0;
  std::array<int, kMaxCoordSets> coordOffset{};
  std::array<int, kMaxCoordSets> coordFloats{};
};

struct Vertex {
  double x = 0.0;
  double y = 0.0;
  float z = 0.0f;
  float rhw = 1.0f;
  std::uint32_t diffuse = 0xFFFFFFFFu;
  std::uint32_t specular = 0;
  std::array<std::array<float, 2>, kMaxCoordSets> coords{};
};

// Whether a filter state samples bilinearly (anisotropic and the values above
// it do too).
inline bool UsesLinearFilter(std::uint32_t filter) {
  return filter == D3DTEXF_LINEAR || filter == D3DTEXF_ANISOTROPIC || filter > D3DTEXF_ANISOTROPIC;
}

struct SamplerSetup {
  const std::uint8_t* pixels = nullptr;  // null: no texture bound
  int pitchBytes = 0;
  int width = 0;
  int height = 0;
  std::uint32_t format = 0;
  int bytesPerPixel = 0;  // 0 for DXT
  std::uint32_t addressU = D3DTADDRESS_WRAP;
  std::uint32_t addressV = D3DTADDRESS_WRAP;
  Color border;
  std::uint32_t magFilter = D3DTEXF_POINT;
  std::uint32_t minFilter = D3DTEXF_POINT;
};

struct StageSetup {
  std::uint32_t colorOp = D3DTOP_DISABLE;
  std::uint32_t colorArg1 = D3DTA_TEXTURE;
  std::uint32_t colorArg2 = D3DTA_CURRENT;
  std::uint32_t alphaOp = D3DTOP_DISABLE;
  std::uint32_t alphaArg1 = D3DTA_TEXTURE;
  std::uint32_t alphaArg2 = D3DTA_CURRENT;
  bool resultToTemp = false;
  Color constant;
  bool readsTexture = false;
  int coordSet = -1;  // -1: the vertices lack the set this stage names
  SamplerSetup sampler;
};

// How the fast rectangle path draws under a draw's state.
enum class FastBlend { kNone, kAlpha, kAdditive, kSubtract, kOther };
enum class ChannelSource {
  kTexture,           // the texel itself
  kTextureTimesArg,   // texel x another argument (MODULATE)
  kConstant,          // no texel: the same for every pixel of a rectangle
};

// What the single stage makes of a texel: each channel times a factor, with
// the bits of texelOr forced on first (0xFF: the channel does not read the
// texel and its factor is the stage's own result).
struct TexelFactors {
  Color factor;
  std::uint32_t texelOr = 0;
};

struct FastPlan {
  bool eligible = false;
  bool textured = false;  // stage 0 samples its texture (by point) and is the only stage
  ChannelSource colorSource = ChannelSource::kConstant;
  std::uint32_t colorOtherArg = 0;  // the argument beside the texture for kTextureTimesArg
  ChannelSource alphaSource = ChannelSource::kConstant;
  std::uint32_t alphaOtherArg = 0;
  FastBlend blend = FastBlend::kNone;
};

struct DrawSetup {
  std::uint8_t* colorPixels = nullptr;
  int colorPitch = 0;
  int colorBytes = 0;
  std::uint32_t colorFormat = 0;
  bool targetHasAlpha = false;

  std::uint8_t* depthPixels = nullptr;  // null: no depth test or write
  int depthPitch = 0;
  std::uint32_t depthFormat = 0;
  bool depthWrite = false;
  std::uint32_t depthFunc = D3DCMP_LESSEQUAL;
  float depthBias = 0.0f;

  Rect clip;  // target, viewport and scissor; right and bottom exclusive

  int stageCount = 0;  // stages before the first disabled one
  std::array<StageSetup, kStageCount> stages{};
  Color textureFactor;
  bool specularAdd = false;
  bool flatShading = false;
  std::uint32_t cullMode = D3DCULL_NONE;
  std::uint32_t fillMode = D3DFILL_SOLID;
  bool lastPixel = true;

  bool alphaTest = false;
  int alphaRef = 0;
  std::uint32_t alphaFunc = D3DCMP_ALWAYS;

  bool blend = false;
  std::uint32_t srcBlend = D3DBLEND_ONE;
  std::uint32_t dstBlend = D3DBLEND_ZERO;
  std::uint32_t blendOp = D3DBLENDOP_ADD;
  Color blendConstant;
  std::uint32_t writeMask = 0xF;

  int stride = 0;
  VertexLayout layout;
  std::uint32_t usedCoordSets = 0;  // bit per coordinate set some stage reads
  FastPlan fast;
  // The texel factors of the last two vertex colours the quick rectangles
  // met: a draw's sprites mostly share one colour, text alternates edge and
  // letter colours, and the factors run the stage.
  struct KnownFactors {
    std::uint32_t diffuse = 0;
    std::uint32_t specular = 0;
    TexelFactors factors;
  };
  mutable std::array<KnownFactors, 2> knownFactors{};
  mutable int knownFactorsCount = 0;
  mutable int knownFactorsNext = 0;  // the entry the next new colours replace
  // The vector rows the last rectangle took and their constants, which
  // follow from its texel factors and the draw's state alone: the next
  // rectangle of the same factors (a draw's sprites mostly share them) takes
  // them without choosing again.
  struct ChosenVectorRows {
    TexelFactors factors;
    VectorRowConstants constants;
    VectorRect rows = nullptr;  // null: none chosen yet
  };
  mutable ChosenVectorRows chosenVectorRows{};
  // Drawn for one band of rows of a frame split over workers: a rectangle
  // wholly outside the band's clip is passed over at once, uncounted.
  bool bandOnly = false;
};

// Decodes the state for one draw; kOk or why nothing may be drawn.
// Sets the report's missing-texture flags for what the stages will read.
Status PrepareDraw(const Target& target, const State& state, const Draw& draw, DrawSetup* setup, Report* report);
// PrepareDraw, then every index checked against the draw's vertex count.
Status PrepareCheckedDraw(const Target& target, const State& state, const Draw& draw, DrawSetup* setup,
                          Report* report);
// Draws a prepared draw's primitives inside setup.clip.
void RunPreparedDraw(const DrawSetup& setup, const Draw& draw, Report* report);
Vertex ReadVertex(const DrawSetup& setup, const std::uint8_t* bytes);
// Texture coordinate set `set` of a vertex as ReadVertex reads it (an absent
// second component 0).
inline std::array<float, 2> ReadCoordSet(const DrawSetup& setup, const std::uint8_t* bytes, int set) {
  const std::uint8_t* at = bytes + setup.layout.coordOffset[static_cast<std::size_t>(set)];
  std::array<float, 2> coord{};
  std::memcpy(&coord[0], at, 4);
  if (setup.layout.coordFloats[static_cast<std::size_t>(set)] >= 2) std::memcpy(&coord[1], at + 4, 4);
  return coord;
}

// An attribute across a triangle: its value at (px, py) is
// base + dx (px - x0) + dy (py - y0). Every path evaluates it through the
// out-of-line At or its runs, which share one expression, so the same pixel
// gets the same value bit for bit whatever the compiler does with
// floating-point expressions in each caller.
struct Plane {
  double base = 0.0;
  double dx = 0.0;
  double dy = 0.0;
  double x0 = 0.0;
  double y0 = 0.0;
  double At(int px, int py) const;
  // At for `count` pixels of row py from column pxFirst, and of column px
  // from row pyFirst.
  void AlongRow(int pxFirst, int py, int count, double* out) const;
  void AlongColumn(int px, int pyFirst, int count, double* out) const;
};

struct Edge {
  std::int64_t dx = 0;  // edge vector in 1/256 pixel
  std::int64_t dy = 0;
  std::int64_t xa = 0;  // start point in 1/256 pixel
  std::int64_t ya = 0;
  std::int64_t bias = 0;  // 1 for top and left edges, which own the pixels on them
};

// A triangle ready to draw: its edges (inside positive), the rows and
// columns it may touch inside the clip, and its attributes.
struct TriangleSetup {
  std::array<Edge, 3> edges{};
  int rowFirst = 0;
  int rowLast = -1;
  int columnFirst = 0;
  int columnLast = -1;

  bool perspective = false;  // rhw differs between the vertices
  Plane rhw;
  bool constantColors = false;
  Color diffuse;  // when constantColors
  Color specular;
  std::array<Plane, 4> diffusePlanes{};  // r, g, b, a
  std::array<Plane, 4> specularPlanes{};
  Plane z;
  std::array<Plane, kMaxCoordSets> u{};  // times rhw when perspective
  std::array<Plane, kMaxCoordSets> v{};
  std::array<bool, kStageCount> linear{};  // per stage: bilinear (else point) sampling
};

enum class TriangleFate {
  kDraw,
  kCulled,   // by winding, degenerate, or beyond the coordinate range
  kOutside,  // wholly outside the clip
};

// Snaps, orients and culls. `provoking` gives the flat colours;
// `reversedWinding` marks the odd triangles of a strip.
TriangleFate SetUpTriangle(const DrawSetup& setup, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& provoking,
                   bool reversedWinding, TriangleSetup* tri);
// Covered columns of row py as [*first, *last], clipped; false for none.
bool RowSpan(const TriangleSetup& tri, int py, int* first, int* last);
// Shades every covered pixel of a set-up triangle.
void FillTriangle(const DrawSetup& setup, const TriangleSetup& tri, Report* report);

// Whether (and how) the fast rectangle path may draw under this state.
FastPlan PlanFastRectangles(const DrawSetup& setup);

// Two triangles of a draw by their vertices' bytes: the first's three, then
// the second's, each with the place (0 to 2) of its flat-colour vertex and
// whether its winding is reversed.
struct TrianglePair {
  std::array<const std::uint8_t*, 6> vertices;
  std::array<int, 2> provoking;
  std::array<bool, 2> reversed;
};

// The two triangles as one axis-aligned rectangle through the fast path;
// false (nothing drawn) when they are not such a pair or the state is not one
// the fast path draws.
bool TryFillRectangle(const DrawSetup& setup, const TrianglePair& pair, Report* report);

// One set-up triangle through the fast path; false (nothing drawn) when its
// state or attributes are not ones the fast path draws.
bool TryFillFastTriangle(const DrawSetup& setup, const TriangleSetup& tri, Report* report);

void DrawPoint(const DrawSetup& setup, const Vertex& vertex, Report* report);
void DrawLine(const DrawSetup& setup, const Vertex& a, const Vertex& b, const Vertex& provoking, bool lastPixel,
              Report* report);

}  // namespace plat::raster
