// The pending vertex batch of the hardware path: vertices of one set, kind
// and primitive type gathered in fixed arrays and sent with one
// DrawPrimitiveUP. Builders write straight into the arrays; every state
// change flushes the batch first, so gathered vertices draw under the state
// they were gathered with.
#pragma once

#include <cstdint>

namespace qz {

enum VertexSet : std::int32_t {
  kVertexSetPreTransformed = 0,
  kVertexSetUntransformed = 1,
};

enum VertexKind : std::int32_t {
  kVertexKindUntextured = 0,
  kVertexKindOneTexture = 1,
  kVertexKindTwoTextures = 2,  // pre-transformed set only
};

// Pre-transformed vertices (z and rhw pre-filled with 0 and 1).
struct ColorVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
};
struct TexturedVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};
struct TwoTextureVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  std::uint32_t specular;  // pre-filled white
  float u1, v1;            // blend graph
  float u2, v2;            // graph
};
// Untransformed vertices, drawn under the world transform.
struct WorldColorVertex {
  float x, y, z;
  std::uint32_t diffuse;
};
struct WorldTexturedVertex {
  float x, y, z;
  std::uint32_t diffuse;
  float u, v;
};

static_assert(sizeof(ColorVertex) == 20 && sizeof(TexturedVertex) == 28 && sizeof(TwoTextureVertex) == 40 &&
              sizeof(WorldColorVertex) == 16 && sizeof(WorldTexturedVertex) == 24);

struct VertexBatch {
  std::uint32_t vertexCount;
  std::int32_t primitiveType;  // D3DPT_* value
  std::int32_t vertexSet;      // VertexSet
  std::int32_t vertexKind;     // VertexKind
  std::uint8_t* writePosition;
  // Pre-transformed kinds 0, 1, 2, then untransformed kinds 0 and 1 (which
  // share one array).
  std::uint8_t* buffers[5];
  std::uint32_t lastFvf;  // 0: none sent on this device
};

VertexBatch& GetVertexBatch();

// Format and capacity of a set and kind; 0 for a combination that does not
// exist (untransformed kind 2).
std::uint32_t VertexBatchFvf(int set, int kind);
std::uint32_t VertexBatchCapacity(int set, int kind);

// Draws what is pending (unless drawing is skipped or the library is
// ending) and empties the batch. 0, or -1 without a device.
int FlushVertexBatch();

// Empties the batch without drawing.
void DiscardVertexBatch();

// Points the batch at its arrays and pre-fills every pre-transformed vertex
// (z 0, rhw 1, kind-2 specular white); the batch is left empty with `set`
// and `kind`.
void PrepareVertexBatchArrays(int set, int kind);

// Room for `count` more vertices of one set, kind and primitive type: the
// batch is flushed first when it holds another set, kind or type or would
// pass its capacity. Returns where the caller writes the vertices (the count
// is already added), or null for a count above the capacity or a set and
// kind that does not exist.
void* ReserveBatchVertices(int set, int kind, int primitiveType, int count);

// Sends the vertex format unless it is the one last sent; forgetting it
// makes the next draw send it again.
void SetVertexFormatCached(std::uint32_t fvf);
void ForgetLastVertexFormat();

}  // namespace qz
