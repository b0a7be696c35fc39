// Theora frame conversion: waits until the decode thread has the frame on
// view in its stock, then turns its YCbCr planes into the movie's 32-bit frame
// image (4:2:0 frames in 2x2 blocks through the fixed-point tables, other
// chroma layouts per pixel in floating point).
#include <algorithm>
#include <chrono>
#include <thread>

#include "movie/movie_services.h"
#include "movie/theora_movie.h"

namespace qz {
namespace {

// Two rows of a 4:2:0 frame: each chroma sample serves a 2x2 block.
void ConvertRowPair(const TheoraColorTables& tables, const std::uint8_t* clamp, const std::uint8_t* y0,
                    const std::uint8_t* y1, const std::uint8_t* u, const std::uint8_t* v, int pairs,
                    std::uint8_t* out0, std::uint8_t* out1) {
  for (int c = 0; c < pairs; ++c) {
    const int red = tables.crToRed[v[c]];
    const int green = tables.cbToGreen[u[c]] + tables.crToGreen[v[c]];
    const int blue = tables.cbToBlue[u[c]];
    const int lumas[4] = {tables.luma[y0[2 * c]], tables.luma[y0[2 * c + 1]], tables.luma[y1[2 * c]],
                          tables.luma[y1[2 * c + 1]]};
    std::uint8_t* pixels[4] = {out0 + 8 * c, out0 + 8 * c + 4, out1 + 8 * c, out1 + 8 * c + 4};
    for (int k = 0; k < 4; ++k) {
      pixels[k][0] = clamp[(lumas[k] + blue) / kTheoraFixedOne];
      pixels[k][1] = clamp[(lumas[k] + green) / kTheoraFixedOne];
      pixels[k][2] = clamp[(lumas[k] + red) / kTheoraFixedOne];
      pixels[k][3] = 255;
    }
  }
}

void ConvertBlocks(const FrameStockSlot& slot, BaseImage* image) {
  const TheoraColorTables& tables = GetTheoraColorTables();
  const std::uint8_t* clamp = GetTheoraClampTable();
  const int pairs = std::min(slot.uvWidth, static_cast<int>(image->width) / 2);
  const int rowPairs = std::min(slot.uvHeight, static_cast<int>(image->height) / 2);
  for (int r = 0; r < rowPairs; ++r) {
    const std::uint8_t* y0 = slot.y + static_cast<std::ptrdiff_t>(2 * r) * slot.yStride;
    std::uint8_t* out0 = image->pixels + static_cast<std::ptrdiff_t>(2 * r) * image->pitch;
    ConvertRowPair(tables, clamp, y0, y0 + slot.yStride, slot.u + static_cast<std::ptrdiff_t>(r) * slot.uvStride,
                   slot.v + static_cast<std::ptrdiff_t>(r) * slot.uvStride, pairs, out0, out0 + image->pitch);
  }
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

// The slot of the frame on view, or null when none can come.
const FrameStockSlot* WaitForCurrentFrame(const TheoraMovieContext* context) {
  const std::int32_t current = context->currentFrame.load(std::memory_order_acquire);
  for (;;) {
    // A seek asked for but not finished may still free the stock.
    if (context->seekRequest.load(std::memory_order_acquire) != 0 ||
        context->threadState.load() == kTheoraSeeking) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (context->threadState.load() == kTheoraEnded) return nullptr;
    for (int i = 0; i < context->frameStockCount; ++i) {
      const FrameStockSlot& slot = context->frameStock[i];
      if (slot.used.load(std::memory_order_acquire) != 0 && slot.frame.load(std::memory_order_relaxed) == current) {
        return &slot;
      }
    }
    if (context->endOfFile.load(std::memory_order_acquire) != 0) return nullptr;
    std::this_thread::yield();
  }
}

}  // namespace

int ConvertTheoraFrame(TheoraMovieContext* context, int imageFlag, int) {
  // No video surface exists on this system, so only the image can be asked for.
  if (imageFlag == 0 || context->imageConverted.load(std::memory_order_relaxed) != 0) return 0;
  const FrameStockSlot* slot = WaitForCurrentFrame(context);
  if (slot == nullptr) return 0;
  const bool quarterChroma = slot->yWidth == 2 * slot->uvWidth && slot->yHeight == 2 * slot->uvHeight;
  if (quarterChroma) {
    ConvertBlocks(*slot, &context->frameImage);
  } else {
    ConvertPixels(*slot, &context->frameImage);
  }
  context->imageConverted.store(1, std::memory_order_relaxed);
  return 1;
}

BaseImage* GetTheoraFrameImage(TheoraMovieContext* context) { return &context->frameImage; }

}  // namespace qz
