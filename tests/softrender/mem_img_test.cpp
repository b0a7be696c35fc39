// Software image views: set-up rules (pitch, flags, buffers), sub-views and
// the shared block's lifetime, raw fills and the static descriptors.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "core/memory.h"
#include "softrender/mem_img.h"
#include "softrender/test_image.h"

namespace qz {
namespace {

using View = testing::Image;

struct PitchCase {
  int format, width, alpha, pitch, pitchLog2;
};

TEST(MemImgInit, DefaultPitchAndItsLog2) {
  const PitchCase cases[] = {
      {1, 100, 0, 400, -1}, {1, 128, 0, 512, 9}, {0, 125, 0, 256, 8},
      {0, 2, 0, 16, -1},    {0, 10, 1, 48, -1},  {0, 8, 0, 16, 4},
  };
  for (const PitchCase& c : cases) {
    View v;
    ASSERT_EQ(InitMemImgEx(&v.view, c.width, 3, -1, 0, c.format, 0, c.alpha, 0, nullptr), 0);
    EXPECT_EQ(v.view.block->pitch, c.pitch) << c.format << " " << c.width;
    EXPECT_EQ(v.view.block->pitchLog2, c.pitchLog2) << c.format << " " << c.width;
  }
  View given;
  ASSERT_EQ(InitMemImgEx(&given.view, 10, 3, 64, 0, 1, 0, 0, 0, nullptr), 0);
  EXPECT_EQ(given.view.block->pitch, 64);
  EXPECT_EQ(given.view.block->pitchLog2, 6);  // a given power of two always counts
}

TEST(MemImgInit, FlagsResolvedAndBuffersChosen) {
  const struct {
    const char* what;
    int width, format, pal, alpha, runs;  // as asked
    int palettised, hasAlpha, bpp;        // as resolved
    bool palette, runTable, alphaPlane;   // the buffers made
  } cases[] = {
      {"palettised drops alpha", 4, 1, 1, 1, 1, 1, 0, 1, true, true, false},
      {"mono8 takes neither flag nor runs", 4, 2, 1, 1, 1, 0, 0, 1, false, false, false},
      {"mono16 has runs, no alpha", 4, 3, 0, 1, 1, 0, 0, 2, false, true, false},
      {"RGB565 alpha gets its plane", 5, 0, 0, 1, 1, 0, 1, 4, false, true, true},
      {"alpha without runs gets neither", 5, 1, 0, 1, 0, 0, 1, 4, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    View v;
    ASSERT_EQ(InitMemImgEx(&v.view, c.width, 4, -1, 7, c.format, c.pal, c.alpha, c.runs, nullptr), 0);
    const MemImgPixelBlock* b = v.view.block;
    EXPECT_EQ(b->palettised, c.palettised);
    EXPECT_EQ(b->hasAlpha, c.hasAlpha);
    EXPECT_EQ(b->colorDesc, GetMemImgColorDesc(c.format, c.hasAlpha, c.palettised));
    EXPECT_EQ(b->colorDesc->bytesPerPixel, c.bpp);
    EXPECT_EQ(b->palette != nullptr, c.palette);
    EXPECT_EQ(b->runTable != nullptr, c.runTable);
    EXPECT_EQ(b->alphaPlane != nullptr, c.alphaPlane);
    EXPECT_EQ(v.view.alphaPlane, b->alphaPlane);
    EXPECT_EQ(b->refCount, 1);
    EXPECT_EQ(b->transColor, 7u);
    if (b->palette != nullptr) {
      EXPECT_EQ(b->paletteCopy, b->palette + 1024);
      for (int i = 0; i < 2048; ++i) ASSERT_EQ(b->palette[i], 0);
    }
  }
}

TEST(MemImgInit, RefusesValidViewsAndImpossibleSizes) {
  View v;
  ASSERT_EQ(InitMemImg(&v.view, 8, 8, 1), 0);
  const MEMIMG before = v.view;
  EXPECT_EQ(InitMemImgEx(&v.view, 4, 4, -1, 0, 0, 0, 0, 0, nullptr), -1);
  EXPECT_EQ(InitMemImg(&v.view, 4, 4, 0), -1);
  EXPECT_EQ(std::memcmp(&before, &v.view, sizeof(MEMIMG)), 0);
  EXPECT_EQ(v.view.block->refCount, 1);

  const struct {
    int w, h, pitch, format;
  } bad[] = {{-1, 4, -1, 1}, {4, -1, -1, 1}, {70000, 70000, -1, 1}, {10, 4, 8, 1}, {4, 4, -1, 4}, {4, 4, -2, 1}};
  for (const auto& c : bad) {
    MEMIMG img{};
    EXPECT_EQ(InitMemImgEx(&img, c.w, c.h, c.pitch, 0, c.format, 0, 0, 0, nullptr), -1) << c.w << "x" << c.h;
    EXPECT_EQ(IsMemImgValid(&img), 0);
    QZ_FREE(img.block);
  }
}

TEST(MemImgInit, AutomaticFormatFollowsTheCallersScreenDepth) {
  for (const auto& [depth, format] : {std::pair{16, 0}, std::pair{32, 1}}) {
    View v;
    ASSERT_EQ(InitMemImg(&v.view, 3, 3, -1, depth), 0);
    EXPECT_EQ(v.view.block->format, format) << depth;
  }
}

TEST(MemImgViews, SubViewsShareAndOutliveTheCreator) {
  const int blocksBefore = GetTrackedBlockCount();
  MEMIMG parent{};
  ASSERT_EQ(InitMemImgEx(&parent, 10, 6, -1, 0, 1, 0, 1, 1, nullptr), 0);
  MEMIMG whole{}, part{}, refused{};
  EXPECT_EQ(MakeSubMemImg(&whole, &parent, 0, 0, 10, 6), 0);
  EXPECT_EQ(MakeSubMemImg(&part, &parent, 3, 2, 4, 4), 0);
  EXPECT_EQ(part.pixels, parent.pixels + 2 * parent.block->pitch + 3 * 4);
  EXPECT_EQ(part.alphaPlane, parent.alphaPlane + 2 * parent.block->pitch + 3 * 4);
  EXPECT_EQ(parent.block->refCount, 3);

  const MEMIMG untouched = refused;
  EXPECT_EQ(MakeSubMemImg(&refused, &parent, 1, 0, 10, 6), -1);
  EXPECT_EQ(MakeSubMemImg(&refused, &parent, 0, 1, 10, 6), -1);
  EXPECT_EQ(MakeSubMemImg(&refused, &parent, -1, 0, 2, 2), -1);
  EXPECT_EQ(MakeSubMemImg(&refused, &parent, 0, 0, 0x7FFFFFFF, 1), -1);
  EXPECT_EQ(std::memcmp(&untouched, &refused, sizeof(MEMIMG)), 0);
  EXPECT_EQ(parent.block->refCount, 3);

  // A sub-view of a sub-view offsets from its own parent.
  MEMIMG nested{};
  EXPECT_EQ(MakeSubMemImg(&nested, &part, 1, 1, 2, 2), 0);
  EXPECT_EQ(nested.pixels, part.pixels + parent.block->pitch + 4);

  MemImgPixelBlock* block = parent.block;
  ReleaseMemImg(&parent);
  EXPECT_EQ(parent.magic, 0u);
  EXPECT_EQ(parent.block, nullptr);
  EXPECT_EQ(IsMemImgValid(&parent), 0);
  ReleaseMemImg(&parent);  // a second release does nothing
  EXPECT_EQ(block->refCount, 3);
  FillMemImgArea(&part, nullptr, 0xAABBCCDD);  // still writable
  ReleaseMemImg(&whole);
  ReleaseMemImg(&nested);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore + 4);  // block, pixels, plane, run table
  ReleaseMemImg(&part);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore);
}

TEST(MemImgViews, CallerMemoryIsNeverFreed) {
  std::vector<std::uint8_t> mine(64 * 4, 0x11);
  const int blocksBefore = GetTrackedBlockCount();
  MEMIMG v{};
  ASSERT_EQ(InitMemImgEx(&v, 16, 4, 64, 0, 1, 0, 0, 0, mine.data()), 0);
  EXPECT_EQ(v.pixels, mine.data());
  EXPECT_EQ(v.block->userMemory, 1);
  ReleaseMemImg(&v);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore);
  EXPECT_EQ(mine[0], 0x11);
}

TEST(MemImgViews, ValidityAndInsideBlockChecks) {
  View v;
  EXPECT_EQ(IsMemImgValid(&v.view), 0);
  EXPECT_FALSE(MemImgViewInsideBlock(&v.view));
  ASSERT_EQ(InitMemImg(&v.view, 8, 4, 0), 0);
  EXPECT_EQ(IsMemImgValid(&v.view), 1);
  EXPECT_TRUE(MemImgViewInsideBlock(&v.view));
  MEMIMG forged = v.view;
  forged.width = 9;  // one pixel past the block's row
  EXPECT_FALSE(MemImgViewInsideBlock(&forged));
  forged = v.view;
  forged.pixels += v.view.block->pitch;  // one row down, same height
  EXPECT_FALSE(MemImgViewInsideBlock(&forged));
}

template <class T>
T PixelAt(const MEMIMG& v, int x, int y) {
  T value;
  std::memcpy(&value, v.pixels + y * v.block->pitch + x * static_cast<int>(sizeof(T)), sizeof(T));
  return value;
}

TEST(MemImgFill, ClipsToTheViewAndWritesTheFormatsWidth) {
  View v32;
  ASSERT_EQ(InitMemImg(&v32.view, 8, 8, 1), 0);
  FillMemImgArea(&v32.view, nullptr, 0);
  const Rect corner{-5, -5, 3, 3};
  FillMemImgArea(&v32.view, &corner, 0x80402010u);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt<std::uint32_t>(v32.view, x, y), x < 3 && y < 3 ? 0x80402010u : 0u);
  }
  // An inner rectangle of several rows leaves the columns beside it alone.
  const Rect inner{2, 3, 6, 7};
  FillMemImgArea(&v32.view, &inner, 0x01020304u);
  for (int y = 3; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool in = x >= 2 && x < 6 && y < 7;
      EXPECT_EQ(PixelAt<std::uint32_t>(v32.view, x, y), in ? 0x01020304u : 0u) << x << "," << y;
    }
  }
  FillMemImgArea(&v32.view, nullptr, 0);
  const Rect empty{10, 10, 10, 20};
  FillMemImgArea(&v32.view, &empty, 0xFFFFFFFFu);
  const Rect reversed{5, 5, 2, 2};  // raised to empty by the clip
  FillMemImgArea(&v32.view, &reversed, 0xFFFFFFFFu);
  EXPECT_EQ(PixelAt<std::uint32_t>(v32.view, 4, 4), 0u);
  EXPECT_EQ(PixelAt<std::uint32_t>(v32.view, 7, 7), 0u);

  View v16;
  ASSERT_EQ(InitMemImgEx(&v16.view, 5, 2, -1, 0, 0, 0, 0, 0, nullptr), 0);
  std::memset(v16.view.block->pixels, 0xEE, static_cast<std::size_t>(v16.view.block->pitch) * 2);
  FillMemImgArea(&v16.view, nullptr, 0x12345678u);
  EXPECT_EQ(PixelAt<std::uint16_t>(v16.view, 4, 1), 0x5678);
  EXPECT_EQ(v16.view.pixels[10], 0xEE);  // row padding untouched

  View v8;
  ASSERT_EQ(InitMemImgEx(&v8.view, 3, 3, -1, 0, 1, 1, 0, 0, nullptr), 0);
  std::memset(v8.view.block->pixels, 0, static_cast<std::size_t>(v8.view.block->pitch) * 3);
  MEMIMG sub{};
  ASSERT_EQ(MakeSubMemImg(&sub, &v8.view, 1, 1, 2, 2), 0);
  FillMemImgArea(&sub, nullptr, 0x1FF);
  EXPECT_EQ(v8.view.pixels[0], 0);
  EXPECT_EQ(v8.view.pixels[v8.view.block->pitch + 1], 0xFF);
  EXPECT_EQ(v8.view.pixels[2 * v8.view.block->pitch + 2], 0xFF);
  ReleaseMemImg(&sub);

  MEMIMG unset{};
  FillMemImgArea(&unset, nullptr, 1);  // refused quietly
}

// A value of one repeated byte is written as bytes, any other as pixels; both
// fill exactly the rectangle, in views with and without a gap between rows.
TEST(MemImgFill, OneByteValuesFillTheSameAsOthers) {
  struct Case {
    int width, height, format;
    std::uint32_t value;
    std::uint32_t expected;  // the pixel as read back at its width
  };
  const Case cases[] = {
      {8, 4, 1, 0xFFFFFFFFu, 0xFFFFFFFFu}, {8, 4, 1, 0x7F7F7F7Fu, 0x7F7F7F7Fu}, {8, 4, 1, 0x7F7F7F7Eu, 0x7F7F7F7Eu},
      {8, 4, 1, 0u, 0u},                   {5, 3, 0, 0x00003333u, 0x3333u},     {5, 3, 0, 0xFFFF3334u, 0x3334u},
      {5, 3, 0, 0xABCD0000u, 0u},
      // Only the low half repeats: opaque black and its like are not byte fills.
      {8, 4, 1, 0xFF000000u, 0xFF000000u}, {8, 4, 1, 0x00000101u, 0x00000101u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "format " << c.format << " value " << std::hex << c.value);
    View v;
    ASSERT_EQ(InitMemImgEx(&v.view, c.width, c.height, -1, 0, c.format, 0, 0, 0, nullptr), 0);
    const int bpp = c.format == 1 ? 4 : 2;
    const std::size_t blockBytes = static_cast<std::size_t>(v.view.block->pitch) * c.height;
    for (const bool whole : {true, false}) {
      std::memset(v.view.block->pixels, 0xEE, blockBytes);
      const Rect inner{1, 1, c.width - 1, c.height};
      FillMemImgArea(&v.view, whole ? nullptr : &inner, c.value);
      for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
          const bool in = whole || (x >= 1 && x < c.width - 1 && y >= 1);
          const std::uint32_t got =
              bpp == 4 ? PixelAt<std::uint32_t>(v.view, x, y) : PixelAt<std::uint16_t>(v.view, x, y);
          EXPECT_EQ(got, in ? c.expected : (bpp == 4 ? 0xEEEEEEEEu : 0xEEEEu)) << x << "," << y << " whole " << whole;
        }
        // The padding past the row's pixels is left as it was.
        for (int b = c.width * bpp; b < v.view.block->pitch; ++b) {
          EXPECT_EQ(v.view.block->pixels[y * v.view.block->pitch + b], 0xEE) << "row " << y;
        }
      }
    }
  }
}

TEST(MemImgColorDesc, TenStaticDescriptors) {
  EXPECT_EQ(GetMemImgColorDesc(4, 0, 0), nullptr);
  EXPECT_EQ(GetMemImgColorDesc(-1, 0, 0), nullptr);
  EXPECT_EQ(GetMemImgColorDesc(0, 1, 0), GetMemImgColorDesc(0, 5, 0));
  EXPECT_EQ(GetMemImgColorDesc(2, 1, 1), GetMemImgColorDesc(2, 0, 0));

  const PixelFormatDescriptor* d = GetMemImgColorDesc(0, 1, 0);
  EXPECT_EQ(d->bitDepth, 32);
  EXPECT_EQ(d->bytesPerPixel, 4);
  EXPECT_EQ(d->redMask, 0xF800u);
  EXPECT_EQ(d->alphaMask, 0x00FF0000u);
  EXPECT_EQ(d->unusedMask, 0xFF000000u);
  EXPECT_EQ(GetMemImgColorDesc(0, 0, 0)->bytesPerPixel, 2);
  EXPECT_EQ(GetMemImgColorDesc(0, 1, 1)->bytesPerPixel, 1);
  const PixelFormatDescriptor* x = GetMemImgColorDesc(1, 0, 0);
  EXPECT_EQ(x->bytesPerPixel, 4);
  EXPECT_EQ(x->unusedMask, 0xFF000000u);
  EXPECT_EQ(GetMemImgColorDesc(1, 1, 0)->alphaMask, 0xFF000000u);

  const PixelFormatDescriptor* m8 = GetMemImgColorDesc(2, 0, 0);
  EXPECT_EQ(m8->bitDepth, 8);
  EXPECT_EQ(m8->bytesPerPixel, 1);
  EXPECT_EQ(m8->greenMask, 0xFFu);
  EXPECT_EQ(m8->alphaWidth, 8);
  EXPECT_EQ(m8->unusedMask, 0u);
  const PixelFormatDescriptor* m16 = GetMemImgColorDesc(3, 0, 0);
  EXPECT_EQ(m16->bytesPerPixel, 2);
  EXPECT_EQ(m16->blueMask, 0xFFFFu);
  EXPECT_EQ(m16->redWidth, 16);
  EXPECT_EQ(m16->redShift, 0);
}

}  // namespace
}  // namespace qz

namespace qz {
namespace {

// A screen-sized block made after one was released takes its memory while
// keeping is on; other sizes, small blocks and a store turned off do not.
TEST(MemImgKeptPixels, ReleasedScreenBlocksServeTheNextOfTheirSize) {
  const int blocksBefore = GetTrackedBlockCount();
  KeepReleasedMemImgPixels(true);
  MEMIMG screen{}, small{};
  ASSERT_EQ(InitMemImg(&screen, 640, 480, kMemImgFormatXrgb32), 0);
  ASSERT_EQ(InitMemImg(&small, 16, 16, kMemImgFormatXrgb32), 0);
  const std::uint8_t* screenPixels = screen.pixels;
  ReleaseMemImg(&screen);
  ReleaseMemImg(&small);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore + 1) << "only the large pixels are kept";

  MEMIMG other{}, again{};
  ASSERT_EQ(InitMemImg(&other, 320, 240, kMemImgFormatXrgb32), 0);
  EXPECT_NE(other.pixels, screenPixels);
  ASSERT_EQ(InitMemImg(&again, 640, 480, kMemImgFormatXrgb32), 0);
  EXPECT_EQ(again.pixels, screenPixels);
  FillMemImgArea(&again, nullptr, 0x00112233u);  // the whole block is writable
  ReleaseMemImg(&other);
  ReleaseMemImg(&again);

  KeepReleasedMemImgPixels(false);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore) << "turning keeping off frees what was kept";
  MEMIMG after{};
  ASSERT_EQ(InitMemImg(&after, 640, 480, kMemImgFormatXrgb32), 0);
  ReleaseMemImg(&after);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore);
}

}  // namespace
}  // namespace qz
