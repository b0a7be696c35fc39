// Turning the pending draw state into device states: the render states of the
// blend row and alpha test, then the texture stages of the chosen set-up,
// each sent only when it differs from what the device holds.
#include "graphics/pending_draw_state.h"

#include <algorithm>

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/blend_rows.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_present.h"
#include "graphics/soft_image.h"
#include "graphics/texture_draw_info.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

using plat::D3DBLEND_INVSRCALPHA;
using plat::D3DBLEND_ONE;
using plat::D3DBLEND_SRCALPHA;
using plat::D3DBLENDOP_REVSUBTRACT;
using plat::D3DCMP_GREATER;
using plat::D3DCMP_GREATEREQUAL;
using plat::D3DTA_COMPLEMENT;
using plat::D3DTA_CURRENT;
using plat::D3DTA_TEMP;
using plat::D3DTA_TEXTURE;
using plat::D3DTA_TFACTOR;
using plat::D3DTOP_ADD;
using plat::D3DTOP_DISABLE;
using plat::D3DTOP_MODULATE;
using plat::D3DTOP_MODULATE2X;
using plat::D3DTOP_MODULATE4X;
using plat::D3DTOP_SELECTARG1;
using plat::D3DTOP_SELECTARG2;
using plat::D3DTOP_SUBTRACT;

constexpr std::uint32_t kWhiteTextureFactor = 0xFFFFFFFF;

std::int16_t S(std::uint32_t value) { return static_cast<std::int16_t>(value); }
std::uintptr_t TextureWord(plat::IDirect3DBaseTexture9* texture) { return reinterpret_cast<std::uintptr_t>(texture); }
plat::IDirect3DBaseTexture9* WordTexture(std::uintptr_t word) {
  return reinterpret_cast<plat::IDirect3DBaseTexture9*>(word);
}

// The failure to make the white texture is logged once per run.
bool gWhiteGraphFailureLogged = false;

// The first texture a graph draws from, or null for an invalid handle.
plat::IDirect3DBaseTexture9* FirstTextureOfGraph(std::uintptr_t handleWord) {
  const GraphRecord* graph = GetGraphRecord(static_cast<GraphHandle>(handleWord));
  if (graph == nullptr || graph->image == nullptr || graph->image->request.textured == 0) return nullptr;
  if (!graph->drawEntries.empty() && graph->drawEntries.front().tile != nullptr) {
    return graph->drawEntries.front().tile->texture;
  }
  if (graph->image->tileCount > 0) return graph->image->tiles[0].texture;
  return nullptr;
}

// The white texture of variant 3, made again whenever its graph is gone.
plat::IDirect3DBaseTexture9* WhiteTexture() {
  PendingDrawState& state = GetPendingDrawState();
  if (state.whiteGraphReleased != 0 || IsValidGraphHandle(state.whiteGraph) == 0) {
    DrawSettingsBlock& settings = GetDrawSettings();
    const std::uint32_t keptColor = settings.transparentColor;
    SetTransparentColorRGB(255, 0, 255);
    const BuiltinImageBytes tga = GetWhiteSquareTga();
    state.whiteGraph = BuildGraphFromImageBytes(tga.bytes, tga.size, nullptr, 0, 1, 0);
    SetTransparentColorRGB(static_cast<int>((keptColor >> 16) & 0xFF), static_cast<int>((keptColor >> 8) & 0xFF),
                           static_cast<int>(keptColor & 0xFF));
    BeginDeviceScene();
    if (IsValidGraphHandle(state.whiteGraph) == 0) {
      state.whiteGraph = -1;
      if (!gWhiteGraphFailureLogged) AppendLogText(text::kGfxWhiteTextureFailed);
      gWhiteGraphFailureLogged = true;
      return nullptr;
    }
    AttachGraphDeletedFlag(state.whiteGraph, &state.whiteGraphReleased);
  }
  return FirstTextureOfGraph(static_cast<std::uintptr_t>(state.whiteGraph));
}

// The block being applied, with the textures already resolved.
struct WorkingSetup {
  DrawStageBlock block;
  int texturesOnly;
};

class DeviceSender {
 public:
  DeviceSender(plat::IDirect3DDevice9* device, bool force) : device_(device), force_(force) {}

  void RenderState(int id, std::uint32_t value, std::uint32_t* cached) {
    if (!force_ && value == *cached) return;
    Send(id, value);
    *cached = value;
  }
  // -1 leaves the state, except that a forced pass re-sends a cached value above 1.
  void OptionalRenderState(int id, std::int32_t value, std::int32_t* cached) {
    if (value == kLeaveDeviceState) {
      if (force_ && *cached > 1) Send(id, static_cast<std::uint32_t>(*cached));
      return;
    }
    if (!force_ && value == *cached) return;
    Send(id, static_cast<std::uint32_t>(value));
    *cached = value;
  }
  void StageState(int stage, int id, std::int32_t value, std::int32_t* cached) {
    if (value == kLeaveDeviceState || (!force_ && value == *cached)) return;
    FlushOnce();
    device_->SetTextureStageState(static_cast<std::uint32_t>(stage), static_cast<std::uint32_t>(id),
                                  static_cast<std::uint32_t>(value));
    *cached = value;
  }
  void Texture(int stage, plat::IDirect3DBaseTexture9* texture, plat::IDirect3DBaseTexture9** cached) {
    if (!force_ && texture == *cached) return;
    FlushOnce();
    device_->SetTexture(static_cast<std::uint32_t>(stage), texture);
    *cached = texture;
  }

 private:
  void Send(int id, std::uint32_t value) {
    FlushOnce();
    device_->SetRenderState(static_cast<plat::D3DRENDERSTATETYPE>(id), value);
  }
  // Vertices gathered under the old state are drawn before it changes.
  void FlushOnce() {
    if (flushed_) return;
    flushed_ = true;
    FlushVertexBatch();
  }

  plat::IDirect3DDevice9* device_;
  bool force_;
  bool flushed_ = false;
};

// Stages are sent up to and including the one after the last in use, at most the eighth.
int LastStageSent(const DrawStageBlock& block) {
  return std::min(std::clamp(block.stageCount, 0, kMaxDrawStages), kMaxDrawStages - 1);
}

// Step 10 of an apply: textures and stage states, stage by stage.
void SendStages(DeviceSender& sender, const WorkingSetup& setup, bool tssArgTemp) {
  PendingDrawState& state = GetPendingDrawState();
  const DrawStageBlock& block = setup.block;
  const int last = LastStageSent(block);
  for (int s = 0; s <= last; ++s) {
    if (s >= 2 && setup.texturesOnly == 0 && block.stages[s - 1].alphaOp == S(D3DTOP_DISABLE)) break;
    const StageSetupRecord& record = block.stages[s];
    TextureStageRecord& cached = state.stages[s];
    sender.Texture(s, WordTexture(record.texture), &cached.texture);
    sender.StageState(s, plat::D3DTSS_TEXCOORDINDEX, record.texCoordIndex, &cached.texCoordIndex);
    if (setup.texturesOnly != 0) continue;
    if (tssArgTemp && record.resultToTemp != kLeaveDeviceState) {
      const std::uint32_t result = record.resultToTemp != 0 ? D3DTA_TEMP : D3DTA_CURRENT;
      sender.StageState(s, plat::D3DTSS_RESULTARG, static_cast<std::int32_t>(result), &cached.resultArg);
    }
    sender.StageState(s, plat::D3DTSS_ALPHAOP, record.alphaOp, &cached.alphaOp);
    sender.StageState(s, plat::D3DTSS_ALPHAARG1, record.alphaArg1, &cached.alphaArg1);
    sender.StageState(s, plat::D3DTSS_ALPHAARG2, record.alphaArg2, &cached.alphaArg2);
    sender.StageState(s, plat::D3DTSS_COLOROP, record.colorOp, &cached.colorOp);
    sender.StageState(s, plat::D3DTSS_COLORARG1, record.colorArg1, &cached.colorArg1);
    sender.StageState(s, plat::D3DTSS_COLORARG2, record.colorArg2, &cached.colorArg2);
  }
}

// Step 9: the render states of the header, in the device's order.
void SendRenderStates(DeviceSender& sender, const DrawStageBlock& block) {
  PendingDrawState& state = GetPendingDrawState();
  const std::uint32_t oldFactor = state.textureFactor;
  sender.RenderState(plat::D3DRS_ALPHAFUNC, block.alphaFunc, &state.alphaFunc);
  sender.RenderState(plat::D3DRS_ALPHAREF, block.alphaRef, &state.alphaRef);
  sender.RenderState(plat::D3DRS_ALPHATESTENABLE, block.alphaTestEnable, &state.alphaTestEnable);
  sender.RenderState(plat::D3DRS_ALPHABLENDENABLE, block.alphaBlendEnable, &state.alphaBlendEnable);
  sender.RenderState(plat::D3DRS_TEXTUREFACTOR, block.textureFactor, &state.textureFactor);
  sender.OptionalRenderState(plat::D3DRS_SRCBLEND, block.srcBlend, &state.srcBlend);
  sender.OptionalRenderState(plat::D3DRS_DESTBLEND, block.destBlend, &state.destBlend);
  sender.OptionalRenderState(plat::D3DRS_BLENDOP, block.blendOp, &state.blendOp);
  if (state.textureFactor != oldFactor) {
    const std::uint32_t f = state.textureFactor;
    const float constant[4] = {static_cast<float>(f & 0xFF) / 255.0f, static_cast<float>((f >> 8) & 0xFF) / 255.0f,
                               static_cast<float>((f >> 16) & 0xFF) / 255.0f, static_cast<float>(f >> 24) / 255.0f};
    SetPixelShaderConstants(5, constant, 1);
  }
}

// Header fields every built set-up starts from: the test as the device has it.
void ResetHeader(DrawStageBlock* block, const BlendModeRow& row, bool blending) {
  const PendingDrawState& state = GetPendingDrawState();
  block->alphaTestEnable = 0;
  block->alphaRef = state.alphaRef;
  block->alphaFunc = state.alphaFunc;
  block->alphaBlendEnable = blending ? 1 : 0;
  block->textureFactor = state.textureFactor;
  block->destBlend = row.destBlend;
  block->srcBlend = row.srcBlend;
  block->blendOp = row.blendOp;
}

void BuildUntextured(const BlendModeRow& row, int mode, bool blending, WorkingSetup* setup) {
  PendingDrawState& state = GetPendingDrawState();
  int variant = row.stageVariant;
  plat::IDirect3DBaseTexture9* white = nullptr;
  if (variant == 3) {
    white = WhiteTexture();
    if (white == nullptr) variant = 0;  // drawn in the diffuse colour alone
  }
  setup->block = UntexturedStageSetup(mode == 3 ? 0 : variant);
  ResetHeader(&setup->block, row, blending);
  if (variant == 1) setup->block.textureFactor = kWhiteTextureFactor;
  setup->block.stages[0].texture = TextureWord(white);
  state.discard = 0;
  state.vertexKind = kVertexKindUntextured;
}

void ReplaceColorWithFactor(StageSetupRecord* stage) {
  if (stage->colorArg1 == S(D3DTA_TEXTURE)) stage->colorArg1 = S(D3DTA_TFACTOR);
  if (stage->colorArg1 == S(D3DTA_TEXTURE | D3DTA_COMPLEMENT)) stage->colorArg1 = S(D3DTA_TFACTOR | D3DTA_COMPLEMENT);
}

// With a blend graph the graph stage takes its colour from `current` (the
// diffuse colour) instead of the texture.
void ReplaceColorWithCurrent(StageSetupRecord* stage) {
  const std::int16_t op = stage->colorOp;
  if (op == S(D3DTOP_SELECTARG1) && stage->colorArg1 == S(D3DTA_TEXTURE)) {
    stage->colorArg1 = S(D3DTA_CURRENT);
  } else if (op == S(D3DTOP_SELECTARG1) && stage->colorArg1 == S(D3DTA_TEXTURE | D3DTA_COMPLEMENT)) {
    stage->colorArg1 = S(D3DTA_CURRENT | D3DTA_COMPLEMENT);
  } else if (stage->colorArg1 == S(D3DTA_TEXTURE) &&
             (op == S(D3DTOP_MODULATE) || op == S(D3DTOP_MODULATE2X) || op == S(D3DTOP_MODULATE4X))) {
    stage->colorOp = S(D3DTOP_SELECTARG2);
  }
}

// A blending row whose factors and stages never weigh the source by its
// alpha (multiplication, inversion, plain copy) would let the hidden pixels of
// a transparent graph through.
bool RowIgnoresSourceAlpha(const BlendModeRow& row) {
  const auto readsAlpha = [](std::int32_t factor) {
    return factor == static_cast<std::int32_t>(D3DBLEND_SRCALPHA) ||
           factor == static_cast<std::int32_t>(D3DBLEND_INVSRCALPHA) ||
           factor == static_cast<std::int32_t>(plat::D3DBLEND_SRCALPHASAT);
  };
  return row.srcBlend != kLeaveDeviceState && row.destBlend != kLeaveDeviceState && !readsAlpha(row.srcBlend) &&
         !readsAlpha(row.destBlend) && row.stageVariant != 1;
}

// Where a graph's alpha comes from; a depth-tested draw keys like a
// transparent colour.
int AlphaSourceOf(const PendingDrawValues& pending, bool depthTest) {
  if (pending.useAlphaChannel != 0) return kAlphaFromChannel;
  if (pending.useTransparentColor != 0 || depthTest) return kAlphaFromColorKey;
  return kAlphaFromDiffuse;
}

void BuildTextured(const BlendModeRow& row, bool blending, bool depthTest, WorkingSetup* setup) {
  PendingDrawState& state = GetPendingDrawState();
  const PendingDrawValues& pending = GetDeviceStateCache().pending;
  const int alphaSource = AlphaSourceOf(pending, depthTest);
  // Such rows skip the graph's transparent pixels by an alpha test on the
  // texture's own alpha, which the blend parameter must not scale.
  const bool testTextureAlpha = pending.useAlphaChannel != 0 && blending && RowIgnoresSourceAlpha(row);
  const int alphaModulate = testTextureAlpha ? 0 : state.alphaModulate;
  const int index = StageSetupIndex(alphaModulate, state.colorModulate, 0, row.stageVariant);
  setup->block = GetStageSetup(index, alphaSource);
  DrawStageBlock& block = setup->block;
  ResetHeader(&block, row, blending);
  if (pending.useTransparentColor != 0) {
    block.alphaTestEnable = 1;
    block.alphaRef = 16;
    block.alphaFunc = D3DCMP_GREATER;
  } else {
    if (depthTest || testTextureAlpha) {
      block.alphaTestEnable = 1;
      block.alphaRef = 0;
      block.alphaFunc = D3DCMP_GREATER;
    }
    if (pending.useAlphaChannel != 0 && !blending) {
      block.destBlend = static_cast<std::int32_t>(D3DBLEND_INVSRCALPHA);
      block.srcBlend = static_cast<std::int32_t>(D3DBLEND_SRCALPHA);
    }
  }
  block.textureFactor = kWhiteTextureFactor;
  block.alphaBlendEnable = (pending.useAlphaChannel != 0 || blending) ? 1 : 0;
  block.stages[0].texture = TextureWord(pending.texture);
  if (state.colorReplace != 0) ReplaceColorWithFactor(&block.stages[0]);
  state.discard = 0;
  state.vertexKind = kVertexKindOneTexture;
}

// How far the blend graph's border range spreads the fade, by range.
struct BorderScale {
  int scale;
  std::uint32_t graphStageAlphaOp;
  int split;
  int factorScale;
};

BorderScale BorderScaleForRange(int range) {
  if (range < 65) return {1280, D3DTOP_MODULATE4X, 1024, 64};
  if (range < 129) return {768, D3DTOP_MODULATE2X, 512, 128};
  return {512, D3DTOP_MODULATE, 256, 255};
}

void BuildBlendGraph(const BlendModeRow& row, bool blending, int currentMode, WorkingSetup* setup) {
  PendingDrawState& state = GetPendingDrawState();
  const PendingDrawValues& pending = GetDeviceStateCache().pending;
  const int alphaSource = AlphaSourceOf(pending, false);
  const int variant = (currentMode == 12 || currentMode == 13) ? 3 : 0;
  setup->block = GetStageSetup(StageSetupIndex(state.alphaModulate, state.colorModulate, 1, variant), alphaSource);
  DrawStageBlock& block = setup->block;
  ResetHeader(&block, row, blending);
  if (!blending) {
    block.destBlend = static_cast<std::int32_t>(D3DBLEND_INVSRCALPHA);
    block.srcBlend = static_cast<std::int32_t>(D3DBLEND_SRCALPHA);
  }
  const int border = pending.blendTextureBorder;
  const int range = pending.blendTextureRange;
  state.discard = border == 255 ? 1 : 0;
  state.vertexKind = kVertexKindTwoTextures;
  const int graphStage = pending.useAlphaChannel != 0 ? 2 : 1;
  block.stages[0].texture = TextureWord(pending.blendTexture);
  block.stages[graphStage].texture = TextureWord(pending.texture);
  if (range < 2) {
    const bool keyed = pending.useAlphaChannel != 0 || pending.useTransparentColor != 0;
    block.alphaTestEnable = 1;
    block.alphaRef = static_cast<std::uint32_t>(border == 0 && keyed ? 1 : border);
    block.alphaFunc = D3DCMP_GREATEREQUAL;
    block.alphaBlendEnable = 0;
    block.textureFactor = 0x00FFFFFF;
  } else {
    block.alphaBlendEnable = 1;
    const BorderScale scale = BorderScaleForRange(range);
    block.stages[1].alphaOp = S(scale.graphStageAlphaOp);
    const int q = border * scale.scale / 255;
    const int u = scale.scale - q;
    int factor = 0;
    if (u >= scale.split) {
      block.stages[0].alphaOp = S(D3DTOP_ADD);
      factor = (256 - q) * scale.factorScale / 256;
    } else {
      block.stages[0].alphaOp = S(D3DTOP_SUBTRACT);
      factor = 255 - u * 255 / scale.split;
    }
    block.textureFactor = static_cast<std::uint32_t>(factor) << 24 | 0x00FFFFFF;
  }
  if (state.colorReplace != 0) ReplaceColorWithCurrent(&block.stages[graphStage]);
}

// Step 2's shortcut: only the graph texture changed.
int SendPendingTextureOnly(plat::IDirect3DDevice9* device) {
  PendingDrawState& state = GetPendingDrawState();
  PendingDrawValues& pending = GetDeviceStateCache().pending;
  int stage = 0;
  if (pending.blendTexture != nullptr) stage = pending.useAlphaChannel != 0 ? 2 : 1;
  device->SetTexture(static_cast<std::uint32_t>(stage), pending.texture);
  state.stages[stage].texture = pending.texture;
  pending.textureDirty = 0;
  return 0;
}

// Step 7: the samplers follow the number of stages in use.
void TrackStageCount(int stageCount) {
  PendingDrawState& state = GetPendingDrawState();
  if (stageCount == state.stagesInUse) return;
  state.stagesInUse = stageCount;
  DeviceStateCache& cache = GetDeviceStateCache();
  const std::int32_t keptForce = cache.forceResend;
  cache.forceResend = 1;
  const DrawSettingsBlock& settings = GetDrawSettings();
  ApplySamplerFilterMode(settings.filterMode);
  ApplyMaxAnisotropy(settings.maxAnisotropy);
  cache.forceResend = keptForce;
}

void ResolveHandles(DrawStageBlock* block) {
  const int last = LastStageSent(*block);
  for (int s = 0; s <= last; ++s) {
    block->stages[s].texture = TextureWord(FirstTextureOfGraph(block->stages[s].texture));
  }
}

}  // namespace

PendingDrawState& GetPendingDrawState() {
  static PendingDrawState state = [] {
    PendingDrawState initial{};
    initial.whiteGraph = -1;
    return initial;
  }();
  return state;
}

void ResetTextureStageRecords() {
  PendingDrawState& state = GetPendingDrawState();
  state.alphaTestEnable = 0;
  state.alphaRef = 0;
  state.alphaFunc = plat::D3DCMP_ALWAYS;
  state.alphaBlendEnable = 0;
  state.textureFactor = kWhiteTextureFactor;
  state.srcBlend = static_cast<std::int32_t>(D3DBLEND_ONE);
  state.destBlend = static_cast<std::int32_t>(plat::D3DBLEND_ZERO);
  state.blendOp = static_cast<std::int32_t>(plat::D3DBLENDOP_ADD);
  state.stagesInUse = 0;
  for (int s = 0; s < kMaxDrawStages; ++s) {
    state.stages[s] = TextureStageRecord{nullptr, s, -1, -1, -1, -1, -1, -1, -1};
  }
}

int ApplyPendingDrawState(int resolveHandles, const DrawStageBlock* block, int texturesOnly) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr) return -1;
  PendingDrawState& state = GetPendingDrawState();
  DeviceStateCache& cache = GetDeviceStateCache();
  PendingDrawValues& pending = cache.pending;
  const bool force = cache.forceResend != 0;
  WorkingSetup setup{};
  if (block != nullptr || state.userBlockOn != 0) {
    setup.block = block != nullptr ? *block : state.userBlock;
    setup.texturesOnly = block != nullptr ? texturesOnly : state.userBlockTexturesOnly;
    setup.block.stageCount = std::clamp(setup.block.stageCount, 0, kMaxDrawStages);
    if (block == nullptr || resolveHandles != 0) ResolveHandles(&setup.block);
    if (block == nullptr) {
      pending.blendDirty = 0;
      pending.textureDirty = 0;
    }
  } else {
    if (pending.blendDirty == 0 && pending.textureDirty == 0 && !force) return -1;
    if (pending.blendDirty == 0 && !force) return SendPendingTextureOnly(device);
    pending.blendDirty = 0;
    pending.textureDirty = 0;
    const int mode = std::clamp(pending.blendMode, 0, kBlendModeRowCount - 1);
    BlendModeRow row = kBlendModeRows[mode];
    if (mode == 3 && GetGraphicsState().caps.nativeSubtract != 0) {
      row = {static_cast<std::int32_t>(D3DBLEND_ONE), static_cast<std::int32_t>(D3DBLEND_SRCALPHA), 0,
             static_cast<std::int32_t>(D3DBLENDOP_REVSUBTRACT)};
    }
    const bool blending = IsBlendingMode(mode);
    if (pending.texture == nullptr) {
      BuildUntextured(row, mode, blending, &setup);
    } else if (pending.blendTexture == nullptr) {
      BuildTextured(row, blending, cache.depthTest == 1, &setup);
    } else {
      BuildBlendGraph(row, blending, GetDrawSettings().blendMode, &setup);
    }
    state.vertexFvf = VertexBatchFvf(kVertexSetPreTransformed, state.vertexKind);
  }
  TrackStageCount(setup.block.stageCount);
  if (pending.alphaTestFunction != -1) {
    setup.block.alphaTestEnable = 1;
    setup.block.alphaFunc = static_cast<std::uint32_t>(pending.alphaTestFunction);
    setup.block.alphaRef = static_cast<std::uint32_t>(pending.alphaTestReference);
  }
  DeviceSender sender(device, force);
  if (setup.texturesOnly == 0) SendRenderStates(sender, setup.block);
  SendStages(sender, setup, GetGraphicsState().caps.tssArgTemp != 0);
  return 0;
}

void ApplyPendingDrawStateIfChanged() {
  const PendingDrawValues& pending = GetDeviceStateCache().pending;
  if (pending.blendDirty != 0 || pending.textureDirty != 0) ApplyPendingDrawState(1, nullptr, 0);
}

int SetUserRenderStateBlock(const DrawStageBlock* block, int texturesOnly) {
  if (GetGraphicsState().device == nullptr) return -1;
  FlushVertexBatch();
  PendingDrawState& state = GetPendingDrawState();
  // Either way the device no longer holds the pending state's set-up.
  PendingDrawValues& pending = GetDeviceStateCache().pending;
  pending.blendDirty = 1;
  pending.textureDirty = 1;
  if (block == nullptr) {
    state.userBlockOn = 0;
    return 0;
  }
  state.userBlock = *block;
  state.userBlockTexturesOnly = texturesOnly;
  state.userBlockOn = 1;
  return ApplyPendingDrawState(1, nullptr, 0);
}

int SetDeviceRenderTarget(plat::IDirect3DSurface9* surface) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr) return -1;
  PendingDrawState& state = GetPendingDrawState();
  if (surface == state.renderTarget && GetDeviceStateCache().forceResend == 0) return 0;
  FlushVertexBatch();
  device->SetRenderTarget(0, surface);
  state.renderTarget = surface;
  plat::D3DSURFACE_DESC desc{};
  if (surface != nullptr && plat::SUCCEEDED(surface->GetDesc(&desc))) {
    const DeviceViewport viewport{0, 0, static_cast<std::int32_t>(desc.Width), static_cast<std::int32_t>(desc.Height),
                                  0.0f, 1.0f};
    SetDeviceViewport(&viewport);
  }
  return 0;
}

}  // namespace qz
