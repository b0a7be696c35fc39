// Theora frame conversion: waits until the decode thread has the frame on
// view in its stock, then writes it into the video surface (when asked and
// there is one) and turns its YCbCr planes into the movie's 32-bit frame
// image (4:2:0 frames in 2x2 blocks with the fixed-point tables' exact sums,
// eight pixels at a time where SSE2 is there; other chroma layouts per pixel
// in floating point).
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "movie/movie_services.h"
#include "movie/theora_movie.h"

namespace qz {
namespace {

// One pixel: a channel's sum is divided by 16384 rounding toward zero and
// clamped. An arithmetic shift rounds down instead, which differs only for
// negative sums, and those clamp to 0 either way.
inline void StorePixel(const std::uint8_t* clamp, int luma, int red, int green, int blue, std::uint8_t* out) {
  const std::uint32_t pixel = 0xFF000000u | static_cast<std::uint32_t>(clamp[(luma + red) >> 14]) << 16 |
                              static_cast<std::uint32_t>(clamp[(luma + green) >> 14]) << 8 |
                              clamp[(luma + blue) >> 14];
  std::memcpy(out, &pixel, 4);
}

#if defined(__SSE2__)
// Sixteen pixels (eight from each of two rows) from four chroma samples. The
// tables' products are computed as 16-bit multiply-adds, giving the same exact
// sums, which are shifted and clamped by saturating packs. The chroma terms
// are made once for both rows. The blue factor 33062 does not fit 16 bits, so
// it multiplies twice Cb - 128 by 16531.
struct ChromaTerms {
  __m128i red[2];  // four pixels each
  __m128i green[2];
  __m128i blue[2];
};

__m128i Factors(std::int16_t first, std::int16_t second) {
  return _mm_set1_epi32(static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(second)) << 16 |
                                                  static_cast<std::uint16_t>(first)));
}

ChromaTerms MakeChromaTerms(const std::uint8_t* u, const std::uint8_t* v) {
  const __m128i zero = _mm_setzero_si128();
  std::int32_t u4 = 0;
  std::int32_t v4 = 0;
  std::memcpy(&u4, u, 4);
  std::memcpy(&v4, v, 4);
  __m128i cb = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(u4), zero), _mm_set1_epi16(128));
  __m128i cr = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v4), zero), _mm_set1_epi16(128));
  cb = _mm_unpacklo_epi16(cb, cb);  // each sample serves two pixels of a row
  cr = _mm_unpacklo_epi16(cr, cr);
  const __m128i cb2 = _mm_add_epi16(cb, cb);
  ChromaTerms terms;
  terms.red[0] = _mm_madd_epi16(_mm_unpacklo_epi16(cr, zero), Factors(26148, 0));
  terms.red[1] = _mm_madd_epi16(_mm_unpackhi_epi16(cr, zero), Factors(26148, 0));
  terms.green[0] = _mm_madd_epi16(_mm_unpacklo_epi16(cb, cr), Factors(-6406, -13320));
  terms.green[1] = _mm_madd_epi16(_mm_unpackhi_epi16(cb, cr), Factors(-6406, -13320));
  terms.blue[0] = _mm_madd_epi16(_mm_unpacklo_epi16(cb2, zero), Factors(16531, 0));
  terms.blue[1] = _mm_madd_epi16(_mm_unpackhi_epi16(cb2, zero), Factors(16531, 0));
  return terms;
}

void ConvertEightPixels(const ChromaTerms& terms, const std::uint8_t* y, std::uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i luma = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), zero),
                                     _mm_set1_epi16(16));
  const __m128i lumaTerm[2] = {_mm_madd_epi16(_mm_unpacklo_epi16(luma, zero), Factors(19070, 0)),
                               _mm_madd_epi16(_mm_unpackhi_epi16(luma, zero), Factors(19070, 0))};
  auto channel = [&](const __m128i* chroma) {
    const __m128i words = _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(lumaTerm[0], chroma[0]), 14),
                                          _mm_srai_epi32(_mm_add_epi32(lumaTerm[1], chroma[1]), 14));
    return _mm_packus_epi16(words, words);
  };
  const __m128i blueGreen = _mm_unpacklo_epi8(channel(terms.blue), channel(terms.green));
  const __m128i redAlpha = _mm_unpacklo_epi8(channel(terms.red), _mm_set1_epi8(-1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(blueGreen, redAlpha));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(blueGreen, redAlpha));
}
#endif

// Two rows of a 4:2:0 frame: each chroma sample serves a 2x2 block.
void ConvertRowPair(const TheoraColorTables& tables, const std::uint8_t* clamp, const std::uint8_t* y0,
                    const std::uint8_t* y1, const std::uint8_t* u, const std::uint8_t* v, int pairs,
                    std::uint8_t* out0, std::uint8_t* out1) {
  static_assert(kTheoraFixedOne == 1 << 14, "the shift divides by the fixed-point one");
  int c = 0;
#if defined(__SSE2__)
  for (; c + 4 <= pairs; c += 4) {
    const ChromaTerms terms = MakeChromaTerms(u + c, v + c);
    ConvertEightPixels(terms, y0 + 2 * c, out0 + 8 * c);
    ConvertEightPixels(terms, y1 + 2 * c, out1 + 8 * c);
  }
#endif
  // Without SSE2, and for a width that is no multiple of eight.
  for (; c < pairs; ++c) {
    const int red = tables.crToRed[v[c]];
    const int green = tables.cbToGreen[u[c]] + tables.crToGreen[v[c]];
    const int blue = tables.cbToBlue[u[c]];
    StorePixel(clamp, tables.luma[y0[2 * c]], red, green, blue, out0 + 8 * c);
    StorePixel(clamp, tables.luma[y0[2 * c + 1]], red, green, blue, out0 + 8 * c + 4);
    StorePixel(clamp, tables.luma[y1[2 * c]], red, green, blue, out1 + 8 * c);
    StorePixel(clamp, tables.luma[y1[2 * c + 1]], red, green, blue, out1 + 8 * c + 4);
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

int ConvertTheoraFrame(TheoraMovieContext* context, int imageFlag, int surfaceFlag) {
  const bool surfaceWork = surfaceFlag != 0 && context->surfaceConverted.load(std::memory_order_relaxed) == 0 &&
                           context->yuvSurface != nullptr;
  const bool imageWork = imageFlag != 0 && context->imageConverted.load(std::memory_order_relaxed) == 0;
  if (!surfaceWork && !imageWork) return 0;
  const FrameStockSlot* slot = WaitForCurrentFrame(context);
  if (slot == nullptr) return 0;
  // A surface that could not be locked leaves nothing new to copy from it.
  bool done = surfaceWork && WriteTheoraYuvSurface(context, *slot);
  if (imageWork) {
    const bool quarterChroma = slot->yWidth == 2 * slot->uvWidth && slot->yHeight == 2 * slot->uvHeight;
    if (quarterChroma) {
      ConvertBlocks(*slot, &context->frameImage);
    } else {
      ConvertPixels(*slot, &context->frameImage);
    }
    context->imageConverted.store(1, std::memory_order_relaxed);
    done = true;
  }
  return done ? 1 : 0;
}

BaseImage* GetTheoraFrameImage(TheoraMovieContext* context) { return &context->frameImage; }

}  // namespace qz
