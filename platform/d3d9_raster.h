// The CPU rasteriser behind the Direct3D 9 stand-in: it draws points, lines
// and triangles into a locked surface with the fixed-function rules the
// library relies on (pixel centres on integer coordinates, top-left fill rule,
// flat shading from the first vertex, the texture-stage cascade, alpha test,
// depth, blending, colour write). Its inputs are plain descriptions: the
// device maps its objects and state arrays into them and calls one function.
//
// Blending rounds once over both terms, as hardware blend units do (a
// subtractive blend takes the rounded source product from the target). Axis-
// aligned point-sampled quads take a vector fast path that gives the general
// path's results: sprite quads are set up from their vertices alone, the
// triangles' planes deciding only where a pixel centre lies within 2^-20
// texel of a texel boundary; quads in the library's corner order (a, b, c,
// then d, c, b) are set up from their four corners. Its rows read 32-bit and
// 16-bit texels (glyph cells too) and draw partial blocks with masks: 16
// pixels a step where the processor has AVX-512 (F, BW, VL), whose masked
// loads and stores cover row ends and the alpha test, AVX2 otherwise; under
// the alpha blend a block opaque in every drawn pixel is stored as a copy,
// without reading the target. `LimitVectorRows` lets tests compare each width
// with the narrower ones. The rectangle path reads only the positions,
// colours and first texture coordinate of its vertices, remembers the colour
// stage's factors for a draw's last two vertex colours and the vector rows
// chosen for them, and asks for the next pair's target and texel rows (between
// its two triangles' first vertices) while a pair is drawn, since a frame's
// pixels push both out of the cache and a sprite's own set-up is too short to
// hide the misses. Untextured rectangles and the alpha, additive and
// subtractive blends go through the vector rows too. Turned sprites take the
// fast triangle path, whose rows come from `RowSpanWalker` (exact edge bounds
// carried from row to row, no division per row) and, for clamped 32-bit
// textures copied or added, are drawn eight pixels at a time in AVX2
// registers with the general path's arithmetic: both paths leave the same
// bytes.
#pragma once

#include <array>
#include <cstdint>

#include "platform/d3d9_raster_values.h"

namespace plat::raster {

// Pixels of one surface (or one texture level). Colour formats: R5G6B5,
// X1R5G5B5, A1R5G5B5, A4R4G4B4, X8R8G8B8, A8R8G8B8; textures may also be
// DXT1 to DXT5 (pitch = bytes of one row of 4x4 blocks). Depth surfaces hold
// one float per pixel whatever their format (D16, D24X8, D32); the format only
// sets the precision of the values drawn.
struct Surface {
  void* pixels = nullptr;
  int pitchBytes = 0;
  int width = 0;
  int height = 0;
  std::uint32_t format = D3DFMT_UNKNOWN;
};

struct Viewport {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  float minZ = 0.0f;
  float maxZ = 1.0f;
};

// Right and bottom exclusive.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

inline constexpr int kRenderStateCount = 256;
inline constexpr int kStageCount = 8;
inline constexpr int kStageStateCount = 33;
inline constexpr int kSamplerStateCount = 14;

// Every state a draw reads, indexed by the Direct3D 9 state numbers. The
// texture of stage s is sampled through sampler s; a surface without pixels
// means no texture is bound there. Lights, fog, transforms and shaders are not
// rasterised and have no place here.
struct State {
  std::array<std::uint32_t, kRenderStateCount> render{};
  std::array<std::array<std::uint32_t, kStageStateCount>, kStageCount> stage{};
  std::array<std::array<std::uint32_t, kSamplerStateCount>, kStageCount> sampler{};
  std::array<Surface, kStageCount> textures{};
  Viewport viewport;
  Rect scissor;  // applied only with D3DRS_SCISSORTESTENABLE
};

// The states a new device starts with (ZENABLE on only when it has a depth
// surface), with viewport and scissor covering a target of that size.
void SetDefaultState(State* state, int targetWidth, int targetHeight, bool hasDepth);

// Where a draw writes: the colour target and an optional depth surface (no
// pixels: none). Depth is tested and written only with D3DRS_ZENABLE on.
struct Target {
  Surface color;
  Surface depth;
};

// One DrawPrimitiveUP or DrawIndexedPrimitiveUP call. Vertices are read with
// the vertex-format bits and stride; positions must be pre-transformed
// (D3DFVF_XYZRHW: screen x, y, depth z in 0..1, reciprocal w, which gives
// perspective-correct attributes when it varies across a primitive). With
// indices, each index (2 or 4 bytes) picks one of `vertexCount` vertices;
// without, `vertexCount` is not read.
struct Draw {
  std::uint32_t primitiveType = D3DPT_TRIANGLELIST;
  int primitiveCount = 0;
  const void* vertices = nullptr;
  std::uint32_t fvf = 0;
  int stride = 0;
  int vertexCount = 0;
  const void* indices = nullptr;
  int indexBytes = 2;
  // Tests switch the 2D fast path off to compare it with the general path.
  bool allowFastPath = true;
};

enum class Status {
  kOk = 0,
  kBadArguments,         // null pointers, counts, strides, indices out of range
  kUnsupportedFormat,    // target, depth or texture format not drawn
  kUnsupportedVertices,  // vertex format without pre-transformed positions
  kUnsupportedState,     // a state value outside the published ones the rasteriser draws
  kWrongThread,          // band workers called from a thread other than their device's
};

// What a draw did, for the device's call trace and for tests.
struct Report {
  int primitivesDrawn = 0;    // reached the pixel stage (some may cover no pixel)
  int primitivesCulled = 0;   // culled, degenerate or beyond the coordinate range
  int fastPathTriangles = 0;  // drawn by the 2D fast path
  long long pixelsWritten = 0;
  bool missingTexture = false;    // a stage read a texture that is not bound (read as opaque black)
  bool missingTexCoords = false;  // a stage read a coordinate set the vertices lack (read as opaque black)
};

// Vertices that `count` primitives of `type` read; 0 for an unknown type.
std::uint64_t VerticesForPrimitives(std::uint32_t type, std::uint64_t count);

// Draws into target.color. Nothing is drawn unless the result is kOk.
// `report` may be null.
Status DrawPrimitives(const Target& target, const State& state, const Draw& draw, Report* report);

// Formats: bytes per pixel of a colour format (0 for block-compressed and
// unknown formats), and which formats can be drawn to or sampled.
int BytesPerPixel(std::uint32_t format);
bool IsRenderTargetFormat(std::uint32_t format);
bool IsTextureFormat(std::uint32_t format);
bool IsDepthFormat(std::uint32_t format);

// A 0xAARRGGBB colour as a raw pixel of a colour format (channels rounded to
// the format's widths) and back (narrow channels widened by bit replication;
// formats without alpha read as opaque).
std::uint32_t PackColor(std::uint32_t format, std::uint32_t argb);
std::uint32_t UnpackColor(std::uint32_t format, std::uint32_t raw);

// One pixel of a colour or DXT surface as 0xAARRGGBB, and writing one of a
// colour surface. The caller keeps (x, y) inside the surface.
std::uint32_t ReadPixel(const Surface& surface, int x, int y);
void WritePixel(const Surface& surface, int x, int y, std::uint32_t argb);

// The value a draw stores for depth z (clamped to 0..1) in that depth format.
float QuantizeDepth(std::uint32_t format, float z);

// Tests: the widest rows the fast paths may use (by default the widest the
// processor has), so that each width can be compared with the narrower ones
// on a processor that has them all.
enum class VectorRowLimit { kWidest, k256Bits, kScalar };
void LimitVectorRows(VectorRowLimit limit);

}  // namespace plat::raster
