// Turns the call's run-time choices (family, mode, shortcut, blend image,
// modulation, alpha, transparency) into one instantiated loop built from the
// per-pixel blend policies, so the choice is made once per call. Shared by the
// per-pixel and the run-table loops.
#pragma once

#include <cstdint>

#include "softrender/blit_swar.h"
#include "softrender/pixel_kernels.h"

namespace qz::blit {

// Pointers, steps and table rows of one call.
struct BlitJob {
  std::uint8_t* dst;
  std::intptr_t dstStep;  // bytes added at the end of a row
  const std::uint8_t* src;
  std::intptr_t srcStep;
  const std::uint8_t* blend;  // null without blend image
  std::intptr_t blendStep;
  std::int32_t w;
  std::int32_t h;
  const std::uint8_t* runs;  // run table (run loops only)
  pixel::BlendSetup setup;
};

using LoopFn = void (*)(const BlitJob&);

struct Choice {
  bool f16;
  bool pal;
  int mode;  // 0, 1, 2, 3, 4, 10 or 11; mode 1 at p = 255 already turned into 0
  bool shortcut;  // mode 1 at p = 128, modes 2 and 3 at p = 255
  bool blend;
  bool mod;
  bool alpha;
  bool trans;
};

// Loop<Blend, Src, Opt>::Run is the loop of one combination.
template <template <class, class, class> class Loop, class Blend, class Src, bool B, bool M>
LoopFn PickTrans(const Choice& c) {
  return c.trans ? &Loop<Blend, Src, pixel::Opt<B, M, true>>::Run : &Loop<Blend, Src, pixel::Opt<B, M, false>>::Run;
}

template <template <class, class, class> class Loop, class Blend, class Src>
LoopFn PickOptions(const Choice& c) {
  if (c.blend) {
    return c.mod ? PickTrans<Loop, Blend, Src, true, true>(c) : PickTrans<Loop, Blend, Src, true, false>(c);
  }
  return c.mod ? PickTrans<Loop, Blend, Src, false, true>(c) : PickTrans<Loop, Blend, Src, false, false>(c);
}

// Shortcut policies exist only without blend image, modulation or alpha.
template <template <class, class, class> class Loop, class Src>
LoopFn PickMode(const Choice& c) {
  using namespace pixel;
  const bool shortcut = c.shortcut && !c.blend && !c.mod && !Src::kAlpha;
  const bool plain32 = !Src::Dst::kIs565 && !c.blend && !c.mod;
  switch (c.mode) {
    case 0:
      if (plain32) return PickTrans<Loop, FastCopy32, Src, false, false>(c);
      return PickOptions<Loop, BlendCopy, Src>(c);
    case 1:
      if (shortcut) return PickTrans<Loop, BlendHalfSum, Src, false, false>(c);
      if (plain32) return PickTrans<Loop, FastAlpha32, Src, false, false>(c);
      return PickOptions<Loop, BlendAlpha, Src>(c);
    case 2:
      if (shortcut) return PickTrans<Loop, BlendAddFull, Src, false, false>(c);
      return PickOptions<Loop, BlendAdd, Src>(c);
    case 3:
      if (shortcut) return PickTrans<Loop, BlendSubFull, Src, false, false>(c);
      return PickOptions<Loop, BlendSub, Src>(c);
    case 4: return PickOptions<Loop, BlendMul, Src>(c);
    case 10: return PickOptions<Loop, BlendInvert, Src>(c);
    case 11: return PickOptions<Loop, BlendMulBlend, Src>(c);
    default: return nullptr;
  }
}

template <template <class, class, class> class Loop>
LoopFn PickLoop(const Choice& c) {
  using namespace pixel;
  if (c.f16) {
    if (c.pal) return PickMode<Loop, SrcPal565>(c);
    return c.alpha ? PickMode<Loop, Src565A>(c) : PickMode<Loop, Src565>(c);
  }
  if (c.pal) return PickMode<Loop, SrcPal32>(c);
  return c.alpha ? PickMode<Loop, Src32A>(c) : PickMode<Loop, Src32>(c);
}

}  // namespace qz::blit
