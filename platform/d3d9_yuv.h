// Video (YUV) offscreen surfaces of the Direct3D 9 stand-in: the planar YV12
// and packed YUY2 and UYVY layouts a movie player writes, and their colour
// conversion when StretchRect copies them onto a colour surface.
#pragma once

#include "platform/d3d9_internal.h"

namespace plat::d3d9 {

bool IsVideoFormat(D3DFORMAT format);
// Pixels share their chroma in pairs (and YV12 in pairs of rows): odd sizes are refused.
bool IsVideoSurfaceSize(D3DFORMAT format, std::uint32_t width, std::uint32_t height);
// An offscreen plain surface of the default pool in a video format. Null for
// a size that cannot be held. Rows of luma (or of packed pairs) are `pitch`
// apart; YV12 follows its luma rows with the V plane, then the U plane, each
// of height / 2 rows pitch / 2 apart.
SurfaceImpl* NewVideoSurface(D3DFORMAT format, std::uint32_t width, std::uint32_t height);
// StretchRect from a video surface: each destination pixel takes the nearest
// source sample, converted from video-range BT.601 as display hardware does.
void StretchVideoRect(const PixelStore& from, const WinRect& fromArea, PixelStore& to, const WinRect& toArea);

}  // namespace plat::d3d9
