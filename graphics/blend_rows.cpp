// The device rows of the blend modes.
#include "graphics/pending_draw_state.h"

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

}  // namespace qz
