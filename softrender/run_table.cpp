// Run-table loops of the plain blit: transparent runs are stepped over in one
// move, opaque runs drawn without tests, translucent runs weighed by alpha.
#include "softrender/run_table.h"

namespace qz::blit {

namespace {

template <class Blend, class Src, class O>
struct RunLoop {
  using Opaque = pixel::Opt<O::kBlendImage, O::kModulate, true, pixel::Path::kOpaqueRun>;
  using Translucent = pixel::Opt<O::kBlendImage, O::kModulate, true, pixel::Path::kTranslucentRun>;
  static constexpr int kDstBytes = Src::Dst::kBytes;

  static void Run(const BlitJob& job) {
    std::uint8_t* dp = job.dst;
    const std::uint8_t* sp = job.src;
    const std::uint8_t* bp = job.blend;
    const std::uint8_t* rp = job.runs;
    // Held in locals: the pixel stores could alias the job, so reading it
    // at every row end would reload it from memory.
    const std::intptr_t dstStep = job.dstStep, srcStep = job.srcStep, blendStep = job.blendStep;
    std::int32_t rowsLeft = job.h;
    for (;;) {
      const std::uint8_t code = *rp++;
      const int kind = code >> 6;
      if (kind == 3) {
        dp += dstStep;
        sp += srcStep;
        if constexpr (O::kBlendImage) bp += blendStep;
        if (--rowsLeft == 0) return;
        continue;
      }
      const int n = (code & 0x3F) + 1;
      if (kind == 0) {
        dp += n * kDstBytes;
        sp += n * Src::kBytes;
        if constexpr (O::kBlendImage) bp += n;
        continue;
      }
      if (Src::kAlpha && kind == 2) {
        Draw<Translucent>(job, n, dp, sp, bp);
      } else {
        Draw<Opaque>(job, n, dp, sp, bp);
      }
    }
  }

  template <class RO>
  static void Draw(const BlitJob& job, int n, std::uint8_t*& dp, const std::uint8_t*& sp, const std::uint8_t*& bp) {
    if constexpr (requires { Blend::template Span<Src, RO>(dp, sp, n, job.setup); }) {
      Blend::template Span<Src, RO>(dp, sp, n, job.setup);
      dp += n * kDstBytes;
      sp += n * Src::kBytes;
      return;
    }
    for (int i = 0; i < n; ++i) {
      Blend::template Pixel<Src, RO>(dp, sp, RO::kBlendImage ? *bp : 0, job.setup);
      dp += kDstBytes;
      sp += Src::kBytes;
      if constexpr (RO::kBlendImage) ++bp;
    }
  }
};

}  // namespace

bool RunTableMatchesView(const MEMIMG* src) {
  const MemImgPixelBlock* b = src->block;
  return b->runTable != nullptr && b->runTableViewPixels == src->pixels && b->runTableViewWidth == src->width &&
         b->runTableViewHeight == src->height;
}

LoopFn PickRunLoop(const Choice& c) {
  // No shortcuts on runs, and transparency comes from the table alone.
  Choice run = c;
  run.shortcut = false;
  run.trans = true;
  return PickLoop<RunLoop>(run);
}

}  // namespace qz::blit
