// The pending draw state of the hardware path and its translation into device
// states: what the next primitive needs (texture, blend mode, alpha sources,
// blend graph, colour modulation) is recorded by the draw functions and turned
// into render and texture-stage states just before its vertices are queued.
// Also the cached render-target switch and the user state block.
#pragma once

#include <cstdint>

#include "platform/d3d9.h"

namespace qz {

// -1 in a blend factor, blend operation or stage field: leave the device state.
inline constexpr std::int32_t kLeaveDeviceState = -1;
inline constexpr int kBlendModeRowCount = 16;
inline constexpr int kMaxDrawStages = 8;

// Device blend factors, stage variant (0 to 3) and blend operation of one
// blend mode.
struct BlendModeRow {
  std::int32_t destBlend;
  std::int32_t srcBlend;
  std::int32_t stageVariant;
  std::int32_t blendOp;
};

extern const BlendModeRow kBlendModeRows[kBlendModeRowCount];

// Modes 0 and 6 draw without blending.
bool IsBlendingMode(int mode);

// One texture stage of a draw set-up. `texture` holds a graph handle in blocks
// whose handles are resolved, else the device texture itself.
struct StageSetupRecord {
  std::uintptr_t texture;
  std::int32_t texCoordIndex;
  std::int32_t resultToTemp;  // non-zero D3DTA_TEMP, 0 D3DTA_CURRENT, -1 leave
  std::int16_t alphaArg1;
  std::int16_t alphaArg2;
  std::int16_t alphaOp;
  std::int16_t colorArg1;
  std::int16_t colorArg2;
  std::int16_t colorOp;
};

// A complete set-up for one primitive.
struct DrawStageBlock {
  std::uint32_t alphaTestEnable;
  std::uint32_t alphaRef;
  std::uint32_t alphaFunc;
  std::uint32_t alphaBlendEnable;
  std::uint32_t textureFactor;  // 0xAARRGGBB
  std::int32_t srcBlend;
  std::int32_t destBlend;
  std::int32_t blendOp;
  std::int32_t stageCount;  // 0 to 8; larger counts are taken as 8
  StageSetupRecord stages[kMaxDrawStages];
};

// What the device holds in one texture stage, as last sent.
struct TextureStageRecord {
  plat::IDirect3DBaseTexture9* texture;
  std::int32_t texCoordIndex;
  std::int32_t resultArg;
  std::int32_t alphaOp;
  std::int32_t alphaArg1;
  std::int32_t alphaArg2;
  std::int32_t colorOp;
  std::int32_t colorArg1;
  std::int32_t colorArg2;
};

// The part of the pending draw state kept here; the texture, blend mode,
// blend graph and user alpha test are recorded by the device state cache's
// pending setters.
struct PendingDrawState {
  std::int32_t colorModulate;  // brightness is not white, or forced
  std::int32_t alphaModulate;  // a blend mode is set, or forced
  std::int32_t colorReplace;   // the texture's colour is replaced by the texture factor

  // Results for the vertex batch.
  std::int32_t vertexKind;  // 0 untextured, 1 one texture, 2 two textures
  std::uint32_t vertexFvf;
  std::int32_t discard;  // the batch is thrown away instead of drawn

  // The user block, applied instead of the pending state while it is on.
  std::int32_t userBlockOn;
  std::int32_t userBlockTexturesOnly;
  DrawStageBlock userBlock;

  // Device cache of the render states a draw set-up sends.
  std::uint32_t alphaTestEnable;
  std::uint32_t alphaRef;
  std::uint32_t alphaFunc;
  std::uint32_t alphaBlendEnable;
  std::uint32_t textureFactor;
  std::int32_t srcBlend;
  std::int32_t destBlend;
  std::int32_t blendOp;

  // Texture stages: the count in use (samplers follow it) and each stage's state.
  std::int32_t stagesInUse;
  TextureStageRecord stages[kMaxDrawStages];

  plat::IDirect3DSurface9* renderTarget;  // as last set on the device

  std::int32_t whiteGraph;  // graph behind the white texture, -1 before it is made
  std::int32_t whiteGraphReleased;  // set when that graph is released; a later graph may reuse its handle
};

PendingDrawState& GetPendingDrawState();

// What a new device holds: the render states of a set-up at their defaults,
// the stage records with no texture, coordinate index = stage and everything
// else unknown (so that the first request is sent), and no stage in use.
void ResetTextureStageRecords();

// Sends the set-up for the next primitive. A null block builds it from the
// pending state; a given block is applied as it stands, its texture words
// being graph handles when resolveHandles is non-zero. texturesOnly sends only
// textures and coordinate indexes. 0, or -1 without a device or when nothing
// was pending.
int ApplyPendingDrawState(int resolveHandles, const DrawStageBlock* block, int texturesOnly);

// Applies the pending state when a pending setter has marked it changed.
void ApplyPendingDrawStateIfChanged();

// A null block switches the user block off; any other is copied and applied
// at once, and replaces the pending state's set-up until switched off.
int SetUserRenderStateBlock(const DrawStageBlock* block, int texturesOnly);

// Points the device at a new render target and the viewport at its size.
int SetDeviceRenderTarget(plat::IDirect3DSurface9* surface);

}  // namespace qz
