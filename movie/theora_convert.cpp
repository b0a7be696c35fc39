// Theora frame conversion: waits until the decode thread has the frame on
// view in its stock, then writes it into the video surface (when asked and
// there is one) and turns its YCbCr planes into the movie's 32-bit frame
// image or straight into a caller's 32-bit pixels (4:2:0 frames in 2x2
// blocks with the fixed-point tables' exact sums, see theora_row_kernels;
// other chroma layouts per pixel in floating point).
#include <algorithm>

#include "movie/theora_movie.h"
#include "movie/theora_row_kernels.h"

namespace qz {
namespace {

// The frame's 4:2:0 planes into the image, as far as both reach.
void ConvertBlocks(const FrameStockSlot& slot, BaseImage* image) {
  // Asked once: the processor does not change under a running program.
  static const TheoraRowKernel kernel = BestTheoraRowKernel();
  const TheoraPlanes planes{slot.y, slot.u, slot.v, slot.yStride, slot.uvStride};
  ConvertTheoraBlockRows(planes, std::min(slot.uvWidth, static_cast<int>(image->width) / 2),
                         std::min(slot.uvHeight, static_cast<int>(image->height) / 2), image->pixels,
                         static_cast<std::ptrdiff_t>(image->pitch), kernel);
}

std::uint8_t FloatChannel(float value) {
  const int whole = static_cast<int>(value);  // every value here lies well inside int
  return static_cast<std::uint8_t>(whole < 0 ? 0 : (whole > 255 ? 255 : whole));
}

// 4:2:2 and 4:4:4 frames: each pixel takes the chroma sample that covers it.
void ConvertPixels(const FrameStockSlot& slot, BaseImage* image) {
  const int width = std::min(slot.yWidth, static_cast<int>(image->width));
  const int height = std::min(slot.yHeight, static_cast<int>(image->height));
  for (int row = 0; row < height; ++row) {
    const int chromaRow = slot.yHeight > 0 ? row * slot.uvHeight / slot.yHeight : 0;
    const std::uint8_t* yRow = slot.y + static_cast<std::ptrdiff_t>(row) * slot.yStride;
    const std::uint8_t* uRow = slot.u + static_cast<std::ptrdiff_t>(chromaRow) * slot.uvStride;
    const std::uint8_t* vRow = slot.v + static_cast<std::ptrdiff_t>(chromaRow) * slot.uvStride;
    std::uint8_t* out = image->pixels + static_cast<std::ptrdiff_t>(row) * image->pitch;
    for (int column = 0; column < width; ++column) {
      const int chroma = column * slot.uvWidth / slot.yWidth;
      const float luma = static_cast<float>(yRow[column] - 16) * 1.164f;
      const float cb = static_cast<float>(uRow[chroma] - 128);
      const float cr = static_cast<float>(vRow[chroma] - 128);
      out[4 * column] = FloatChannel(luma + cb * 2.018f);
      out[4 * column + 1] = FloatChannel(luma - cb * 0.391f - cr * 0.813f);
      out[4 * column + 2] = FloatChannel(luma + cr * 1.596f);
      out[4 * column + 3] = 255;
    }
  }
}

// The slot of the frame on view, or null when none can come. Sleeps on the
// decode thread's progress between looks.
const FrameStockSlot* WaitForCurrentFrame(TheoraMovieContext* context) {
  const std::int32_t current = context->currentFrame.load(std::memory_order_acquire);
  for (;;) {
    const std::uint32_t seen = context->progress.load(std::memory_order_acquire);
    // A seek asked for but not finished may still free the stock.
    const bool seeking = context->seekRequest.load(std::memory_order_acquire) != 0 ||
                         context->threadState.load() == kTheoraSeeking;
    if (!seeking) {
      if (context->threadState.load() == kTheoraEnded) return nullptr;
      for (int i = 0; i < context->frameStockCount; ++i) {
        const FrameStockSlot& slot = context->frameStock[i];
        if (slot.used.load(std::memory_order_acquire) != 0 && slot.frame.load(std::memory_order_relaxed) == current) {
          return &slot;
        }
      }
      if (context->endOfFile.load(std::memory_order_acquire) != 0) return nullptr;
    }
    context->progress.wait(seen, std::memory_order_acquire);
  }
}

void ConvertSlot(TheoraMovieContext* context, const FrameStockSlot* slot, BaseImage* image) {
  const bool quarterChroma = slot->yWidth == 2 * slot->uvWidth && slot->yHeight == 2 * slot->uvHeight;
  if (quarterChroma) {
    ConvertBlocks(*slot, image);
  } else {
    ConvertPixels(*slot, image);
  }
  context->imageConverted.store(1, std::memory_order_relaxed);
}

}  // namespace

int ConvertTheoraFrame(TheoraMovieContext* context, int imageFlag, int surfaceFlag) {
  const bool surfaceWork = surfaceFlag != 0 && context->surfaceConverted.load(std::memory_order_relaxed) == 0 &&
                           context->yuvSurface != nullptr;
  const bool imageWork = imageFlag != 0 && context->imageConverted.load(std::memory_order_relaxed) == 0;
  if (!surfaceWork && !imageWork) return 0;
  const FrameStockSlot* slot = WaitForCurrentFrame(context);
  if (slot == nullptr) return 0;
  // A surface that could not be locked leaves nothing new to copy from it.
  const bool surfaceDone = surfaceWork && WriteTheoraYuvSurface(context, *slot);
  if (imageWork) ConvertSlot(context, slot, &context->frameImage);
  return surfaceDone || imageWork ? 1 : 0;
}

int ConvertTheoraFrameToImage(TheoraMovieContext* context, BaseImage* image) {
  if (context->imageConverted.load(std::memory_order_relaxed) != 0) return 0;
  const FrameStockSlot* slot = WaitForCurrentFrame(context);
  if (slot == nullptr) return 0;
  ConvertSlot(context, slot, image);
  return 1;
}

BaseImage* GetTheoraFrameImage(TheoraMovieContext* context) { return &context->frameImage; }

}  // namespace qz
