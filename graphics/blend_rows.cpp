// The device rows of the blend modes and the texture-stage set-ups they
// select, built once from the rules of each variant.
#include "graphics/blend_rows.h"

#include <array>

namespace qz {

using plat::D3DBLEND_INVDESTCOLOR;
using plat::D3DBLEND_INVSRCALPHA;
using plat::D3DBLEND_ONE;
using plat::D3DBLEND_SRCALPHA;
using plat::D3DBLEND_SRCCOLOR;
using plat::D3DBLEND_ZERO;
using plat::D3DBLENDOP_ADD;
using plat::D3DBLENDOP_REVSUBTRACT;

namespace {
constexpr std::int32_t kLeave = kLeaveDeviceState;
constexpr std::int32_t F(std::uint32_t value) { return static_cast<std::int32_t>(value); }
}  // namespace

// Mode 8 keeps the destination (ONE, ZERO), so it draws nothing visible.
const BlendModeRow kBlendModeRows[kBlendModeRowCount] = {
    {kLeave, kLeave, 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_INVSRCALPHA), F(D3DBLEND_SRCALPHA), 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_ONE), F(D3DBLEND_SRCALPHA), 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_ZERO), F(D3DBLEND_INVDESTCOLOR), 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_SRCCOLOR), F(D3DBLEND_ZERO), 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_ONE), F(D3DBLEND_SRCALPHA), 0, F(D3DBLENDOP_ADD)},
    {kLeave, kLeave, 0, F(D3DBLENDOP_ADD)},
    {kLeave, kLeave, 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_ONE), F(D3DBLEND_ZERO), 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_ZERO), F(D3DBLEND_INVDESTCOLOR), 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_INVSRCALPHA), F(D3DBLEND_SRCALPHA), 2, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_SRCCOLOR), F(D3DBLEND_ZERO), 1, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_INVSRCALPHA), F(D3DBLEND_SRCALPHA), 3, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_ONE), F(D3DBLEND_SRCALPHA), 3, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_ZERO), F(D3DBLEND_ONE), 0, F(D3DBLENDOP_ADD)},
    {F(D3DBLEND_ONE), F(D3DBLEND_SRCALPHA), 0, F(D3DBLENDOP_REVSUBTRACT)},
};

bool IsBlendingMode(int mode) { return mode != 0 && mode != 6; }

namespace {

using plat::D3DTA_COMPLEMENT;
using plat::D3DTA_CURRENT;
using plat::D3DTA_DIFFUSE;
using plat::D3DTA_SPECULAR;
using plat::D3DTA_TEXTURE;
using plat::D3DTA_TFACTOR;
using plat::D3DTOP_ADD;
using plat::D3DTOP_BLENDCURRENTALPHA;
using plat::D3DTOP_BLENDDIFFUSEALPHA;
using plat::D3DTOP_DISABLE;
using plat::D3DTOP_MODULATE;
using plat::D3DTOP_MODULATE4X;
using plat::D3DTOP_SELECTARG1;
using plat::D3DTOP_SELECTARG2;

constexpr std::int16_t S(std::uint32_t value) { return static_cast<std::int16_t>(value); }
constexpr std::int16_t kLeave16 = -1;

struct StageOp {
  std::int16_t op;
  std::int16_t arg1;
  std::int16_t arg2;
};

constexpr StageOp Select1(std::uint32_t arg) { return {S(D3DTOP_SELECTARG1), S(arg), kLeave16}; }
constexpr StageOp Select2(std::uint32_t arg) { return {S(D3DTOP_SELECTARG2), kLeave16, S(arg)}; }
constexpr StageOp Op(std::uint32_t op, std::uint32_t arg1, std::uint32_t arg2) { return {S(op), S(arg1), S(arg2)}; }
constexpr StageOp kDisabled = {S(D3DTOP_DISABLE), kLeave16, kLeave16};

StageSetupRecord Record(int texCoordIndex, StageOp alpha, StageOp color) {
  return StageSetupRecord{0, texCoordIndex, 0, alpha.arg1, alpha.arg2, alpha.op, color.arg1, color.arg2, color.op};
}

// The colour of the stage that samples the graph, by variant.
StageOp TexturedColor(int variant, int colorModulate) {
  switch (variant) {
    case 2:
      return colorModulate != 0 ? Op(D3DTOP_MODULATE, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE)
                                : Select1(D3DTA_TEXTURE | D3DTA_COMPLEMENT);
    case 3:
      return Op(D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    default:
      return colorModulate != 0 ? Op(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE) : Select1(D3DTA_TEXTURE);
  }
}

class SetupBuilder {
 public:
  void Add(int texCoordIndex, StageOp alpha, StageOp color) {
    block_.stages[block_.stageCount++] = Record(texCoordIndex, alpha, color);
  }
  DrawStageBlock Finish() {
    if (block_.stageCount < kMaxDrawStages) block_.stages[block_.stageCount] = Record(-1, kDisabled, kDisabled);
    return block_;
  }

 private:
  DrawStageBlock block_{};
};

DrawStageBlock BuildSingleGraphSetup(int alphaModulate, int colorModulate, int variant, int alphaSource) {
  SetupBuilder setup;
  StageOp alpha = Select2(D3DTA_DIFFUSE);
  if (alphaSource != kAlphaFromDiffuse) {
    alpha = alphaModulate != 0 ? Op(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE) : Select1(D3DTA_TEXTURE);
  }
  setup.Add(0, alpha, TexturedColor(variant, colorModulate));
  if (variant == 1) {
    setup.Add(0, Select1(D3DTA_CURRENT), Op(D3DTOP_BLENDCURRENTALPHA, D3DTA_CURRENT, D3DTA_TFACTOR));
  }
  return setup.Finish();
}

// Stage 0 reads the blend graph's alpha (offset by the texture factor); the
// graph follows with coordinate set 1.
DrawStageBlock BuildBlendGraphSetup(int alphaModulate, int colorModulate, int variant, int alphaSource) {
  SetupBuilder setup;
  const StageOp graphColor = TexturedColor(variant, colorModulate);
  const StageOp current = Select1(D3DTA_CURRENT);
  setup.Add(0, Op(D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR), Select2(D3DTA_DIFFUSE));
  switch (alphaSource) {
    case kAlphaFromDiffuse:
      setup.Add(1, Op(D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE), graphColor);
      break;
    case kAlphaFromChannel:
      setup.Add(1, Op(D3DTOP_MODULATE, D3DTA_SPECULAR, D3DTA_CURRENT), current);
      setup.Add(1, Op(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT), graphColor);
      if (alphaModulate != 0) setup.Add(0, Op(D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT), current);
      break;
    default:
      setup.Add(1, Op(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT), graphColor);
      if (alphaModulate != 0) setup.Add(1, Op(D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT), current);
      break;
  }
  return setup.Finish();
}

using StageSetupTable = std::array<std::array<DrawStageBlock, kAlphaSourceCount>, kStageSetupIndexCount>;

StageSetupTable BuildStageSetupTable() {
  StageSetupTable table{};
  for (int index = 0; index < kStageSetupIndexCount; ++index) {
    const int alphaModulate = index & 1;
    const int colorModulate = (index >> 1) & 1;
    const int blendGraph = (index >> 2) & 1;
    const int variant = index >> 3;
    for (int j = 0; j < kAlphaSourceCount; ++j) {
      table[index][j] = blendGraph != 0 ? BuildBlendGraphSetup(alphaModulate, colorModulate, variant, j)
                                        : BuildSingleGraphSetup(alphaModulate, colorModulate, variant, j);
    }
  }
  return table;
}

}  // namespace

const DrawStageBlock& GetStageSetup(int index, int alphaSource) {
  static const StageSetupTable table = BuildStageSetupTable();
  return table[index & (kStageSetupIndexCount - 1)][alphaSource];
}

DrawStageBlock UntexturedStageSetup(int variant) {
  SetupBuilder setup;
  const StageOp alpha = Select2(D3DTA_DIFFUSE);
  switch (variant) {
    case 1:
      setup.Add(0, alpha, Op(D3DTOP_BLENDDIFFUSEALPHA, D3DTA_DIFFUSE, D3DTA_TFACTOR));
      break;
    case 2:
      setup.Add(0, alpha, Select1(D3DTA_DIFFUSE | D3DTA_COMPLEMENT));
      break;
    case 3:
      setup.Add(0, alpha, Op(D3DTOP_MODULATE4X, D3DTA_DIFFUSE, D3DTA_TEXTURE));
      break;
    default:
      setup.Add(0, alpha, Select2(D3DTA_DIFFUSE));
      break;
  }
  return setup.Finish();
}

}  // namespace qz
