// Pixel format conversion: every fast loop against a slow reference written
// straight from the conversion formulas on random images, formats and
// options; the colour-key, mirror, alpha-image and dither behaviour; the
// palette cases; refused arguments; and the clipped base-image copy.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "core/memory.h"
#include "image/base_image.h"
#include "image/pixel_convert.h"

namespace qz {
namespace {

struct Options {
  int mirror = 0;
  int keyToAlpha = 0;
  std::uint32_t key = 0;
  int dither = 0;
  int alphaOnly = 0;
  int redAsAlpha = 0;
  int skipKey = 0;
  int remap = 0;  // 8-bit to 8-bit only
};

// The routine under `o`; an alpha image only when one is given.
int Convert(void* dst, int dstPitch, const PixelFormatDescriptor& to, const void* src, int srcPitch,
            const PixelFormatDescriptor& from, const Rect& r, const Options& o = {}, int dx = 0, int dy = 0,
            const void* alpha = nullptr, int alphaPitch = 0, const PixelFormatDescriptor* alphaFormat = nullptr) {
  return ConvertColorFormatBlit(dst, dstPitch, &to, src, srcPitch, &from, alpha, alphaPitch, alphaFormat, dx, dy, &r,
                                o.mirror, o.keyToAlpha, o.key, o.dither, o.alphaOnly, o.redAsAlpha, o.skipKey, o.remap);
}

PixelFormatDescriptor FromMasks(int depth, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  PixelFormatDescriptor d{};
  SetColorDescFromMasks(&d, depth, r, g, b, a);
  return d;
}

PixelFormatDescriptor Preset(int (*set)(PixelFormatDescriptor*)) {
  PixelFormatDescriptor d{};
  set(&d);
  return d;
}

// ---- Slow reference, one pixel at a time from the formulas ----

std::uint32_t RefScale(std::uint32_t v, int from, int to) {
  if (from > to) return v >> (from - to);
  if (from == to) return v;
  if (from == 0) return 0;
  const std::uint64_t d = to - from;
  return static_cast<std::uint32_t>((std::uint64_t{v} << d) + v * ((1ull << d) - 1) / ((1ull << from) - 1));
}

std::uint32_t RefField(std::uint32_t v, std::uint32_t mask, int shift) { return (v & mask) >> shift; }

std::uint32_t RefRead(const PixelFormatDescriptor& f, const std::uint8_t* p) {
  switch (f.bitDepth) {
    case 8: {
      const PaletteEntry& e = f.palette[p[0]];
      return e.blue | (e.green << 8) | (e.red << 16) | (std::uint32_t{e.alpha} << 24);
    }
    case 16:
      return p[0] | (p[1] << 8);
    case 24:
      return p[0] | (p[1] << 8) | (p[2] << 16);
    default:
      return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
  }
}

std::uint32_t RefKeyField(std::uint32_t keyChannel, int width) {
  return width <= 8 ? keyChannel >> (8 - width) : keyChannel << (width - 8);
}

constexpr int kMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Deep destinations only (the 8-bit destination cases are tested on their own).
void Reference(std::uint8_t* dst, int dstPitch, const PixelFormatDescriptor& df, const std::uint8_t* src,
               int srcPitch, const PixelFormatDescriptor& sf, const std::uint8_t* alphaImage, int alphaPitch,
               const PixelFormatDescriptor& af, int dx, int dy, const Rect& rect, const Options& o) {
  const bool dstAlpha = df.alphaMask != 0;
  const int mode = dstAlpha && sf.alphaMask != 0 ? 1 : (dstAlpha && alphaImage != nullptr ? 2 : 0);
  const bool key = o.keyToAlpha && mode == 0 && dstAlpha && !o.redAsAlpha;
  const bool skip = o.skipKey && !o.mirror;
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  const int sb = sf.bitDepth / 8, db = df.bitDepth / 8;
  if (sf.bitDepth == df.bitDepth && sf.redMask == df.redMask && sf.greenMask == df.greenMask &&
      sf.blueMask == df.blueMask && sf.alphaMask == df.alphaMask && !key && alphaImage == nullptr && !o.alphaOnly &&
      !o.redAsAlpha) {
    for (int row = 0; row < h; ++row) {
      for (int col = 0; col < w; ++col) {
        const int x = o.mirror ? dx + w - 1 - col : dx + col;
        std::memcpy(dst + (dy + row) * dstPitch + x * db, src + (rect.top + row) * srcPitch + (rect.left + col) * sb,
                    sb);
      }
    }
    return;
  }
  const std::uint32_t keyFields[3] = {RefKeyField((o.key >> 16) & 0xFF, sf.redWidth),
                                      RefKeyField((o.key >> 8) & 0xFF, sf.greenWidth),
                                      RefKeyField(o.key & 0xFF, sf.blueWidth)};
  const std::uint32_t depthMask = sf.bitDepth == 32 ? 0xFFFFFFFFu : (1u << sf.bitDepth) - 1;
  const std::uint32_t skipMask =
      sb == 1 ? 0xFFu : depthMask & (sf.redMask | sf.greenMask | sf.blueMask | sf.alphaMask);
  const int sw[3] = {sf.redWidth, sf.greenWidth, sf.blueWidth};
  const int dw[3] = {df.redWidth, df.greenWidth, df.blueWidth};
  const bool narrows = sw[0] > dw[0] || sw[1] > dw[1] || sw[2] > dw[2];
  const std::uint32_t full = (df.alphaMask & df.alphaMask) >> df.alphaShift;
  std::uint64_t carry[3] = {0, 0, 0};
  for (int row = 0; row < h; ++row) {
    for (int col = 0; col < w; ++col) {
      const int x = o.mirror ? dx + w - 1 - col : dx + col;
      const int y = dy + row;
      const std::uint8_t* sp = src + (rect.top + row) * srcPitch + (rect.left + col) * sb;
      if (skip) {
        std::uint32_t raw = sb == 1 ? sp[0] : RefRead(sf, sp);
        if ((raw & skipMask) == (o.key & skipMask)) continue;
      }
      const std::uint32_t v = RefRead(sf, sp);
      const std::uint32_t raw[3] = {RefField(v, sf.redMask, sf.redShift), RefField(v, sf.greenMask, sf.greenShift),
                                    RefField(v, sf.blueMask, sf.blueShift)};
      std::uint32_t a;
      if (key) {
        a = raw[0] == keyFields[0] && raw[1] == keyFields[1] && raw[2] == keyFields[2] ? 0 : full;
      } else if (mode == 2) {
        const std::uint32_t av = RefRead(af, alphaImage + (rect.top + row) * alphaPitch + (rect.left + col) * (af.bitDepth / 8));
        a = RefScale(RefField(av, af.redMask, af.redShift), af.redWidth, df.alphaWidth);
      } else if (mode == 1) {
        a = RefScale(RefField(v, sf.alphaMask, sf.alphaShift), sf.alphaWidth, df.alphaWidth);
      } else {
        a = full;
      }
      if (o.redAsAlpha) a = RefScale(raw[0], sf.redWidth, df.alphaWidth);
      std::uint32_t c[3];
      for (int k = 0; k < 3; ++k) c[k] = RefScale(raw[k], sw[k], dw[k]);
      if (o.dither != 0 && narrows && !o.alphaOnly) {
        for (int k = 0; k < 3; ++k) {
          const int d = sw[k] - dw[k];
          if (d <= 0) continue;
          const std::uint32_t lost = raw[k] & ((1u << d) - 1);
          bool up;
          if (o.dither == 1) {
            up = lost > ((1u << d) * kMatrix[y & 3][x & 3]) / 16;
          } else {
            carry[k] += lost;
            up = carry[k] > (1u << d) - 1;
            if (up) carry[k] -= 1u << d;
          }
          if (up && c[k] < (1u << dw[k]) - 1) ++c[k];
        }
      }
      if (o.alphaOnly) c[0] = c[1] = c[2] = 0;
      std::uint32_t out = (c[0] << df.redShift) | (c[1] << df.greenShift) | (c[2] << df.blueShift) |
                          (a << df.alphaShift);
      if (db == 2 || db == 4) out |= df.unusedMask;
      std::uint8_t* dp = dst + y * dstPitch + x * db;
      for (int k = 0; k < db; ++k) dp[k] = static_cast<std::uint8_t>(out >> (8 * k));
    }
  }
}

// ---- Differential test ----

struct NamedFormat {
  const char* name;
  PixelFormatDescriptor format;
};

std::vector<NamedFormat> DeepFormats() {
  return {
      {"XRGB8", Preset(SetColorDescXRGB8)},
      {"ARGB8", Preset(SetColorDescARGB8)},
      {"RGB24", Preset(SetColorDescRGB24)},
      {"R5G6B5", FromMasks(16, 0xF800, 0x07E0, 0x001F, 0)},
      {"X1R5G5B5", FromMasks(16, 0x7C00, 0x03E0, 0x001F, 0)},
      {"A1R5G5B5", FromMasks(16, 0x7C00, 0x03E0, 0x001F, 0x8000)},
      {"A4R4G4B4", FromMasks(16, 0x0F00, 0x00F0, 0x000F, 0xF000)},
      {"XBGR8", FromMasks(32, 0xFF, 0xFF00, 0xFF0000, 0)},
      {"A2R10G10B10", FromMasks(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000)},
      {"GreyAlpha16", FromMasks(16, 0xFF, 0xFF, 0xFF, 0xFF00)},
      {"RGB24FromMasks", FromMasks(24, 0xFF0000, 0xFF00, 0xFF, 0)},
  };
}

struct Image {
  int width, height, pitch;
  PixelFormatDescriptor format;
  std::vector<std::uint8_t> bytes;
};

// Pixels drawn from a few values so that key colours actually occur.
Image RandomImage(std::mt19937& rng, const PixelFormatDescriptor& f, int width, int height) {
  Image image{width, height, width * (f.bitDepth / 8) + 3, f, {}};
  image.bytes.resize(static_cast<std::size_t>(image.pitch) * height);
  std::uint32_t pool[5];
  for (auto& v : pool) v = rng();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width * (f.bitDepth / 8); x += f.bitDepth / 8) {
      const std::uint32_t v = rng() % 3 == 0 ? rng() : pool[rng() % 5];
      for (int k = 0; k < f.bitDepth / 8; ++k) image.bytes[y * image.pitch + x + k] = std::uint8_t(v >> (8 * k));
    }
  }
  if (f.bitDepth == 8) {
    for (auto& e : image.format.palette) {
      const std::uint32_t v = rng() % 4 == 0 ? pool[0] : rng();
      e = PaletteEntry{std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
    }
  }
  return image;
}

// A key that hits: either a pixel's raw value or its colour scaled to 8 bits.
std::uint32_t PickKey(std::mt19937& rng, const Image& source, const Rect& rect) {
  const int x = rect.left + static_cast<int>(rng() % (rect.right - rect.left));
  const int y = rect.top + static_cast<int>(rng() % (rect.bottom - rect.top));
  const PixelFormatDescriptor& f = source.format;
  const std::uint8_t* p = source.bytes.data() + y * source.pitch + x * (f.bitDepth / 8);
  if (f.bitDepth == 8 && rng() % 2 == 0) return p[0];
  const std::uint32_t v = RefRead(f, p);
  if (rng() % 2 == 0) return v & 0xFFFFFF;
  auto eight = [](std::uint32_t field, int width) { return width <= 8 ? field << (8 - width) : field >> (width - 8); };
  return (eight(RefField(v, f.redMask, f.redShift), f.redWidth) << 16) |
         (eight(RefField(v, f.greenMask, f.greenShift), f.greenWidth) << 8) |
         eight(RefField(v, f.blueMask, f.blueShift), f.blueWidth);
}

TEST(PixelConvertTest, EveryLoopMatchesTheReferenceOnRandomImages) {
  std::mt19937 rng(1234);
  std::vector<NamedFormat> sources = DeepFormats();
  PixelFormatDescriptor palette = Preset(SetColorDescPalette8);
  palette.alphaMask = 0;
  sources.push_back({"Palette8", palette});
  const std::vector<NamedFormat> destinations = DeepFormats();
  const PixelFormatDescriptor alphaFormats[2] = {Preset(SetColorDescGray8), Preset(SetColorDescXRGB8)};
  for (const NamedFormat& s : sources) {
    for (const NamedFormat& d : destinations) {
      for (int trial = 0; trial < 24; ++trial) {
        const bool large = trial % 2 == 0;
        const int w = large ? 40 + static_cast<int>(rng() % 30) : 1 + static_cast<int>(rng() % 12);
        const int h = large ? 30 + static_cast<int>(rng() % 10) : 1 + static_cast<int>(rng() % 6);
        const Image source = RandomImage(rng, s.format, w + 3, h + 2);
        const Rect rect{static_cast<int>(rng() % 4), static_cast<int>(rng() % 3), 0, 0};
        const Rect r{rect.left, rect.top, rect.left + w, rect.top + h};
        const Image alpha = RandomImage(rng, alphaFormats[trial % 2], w + 3, h + 2);
        const bool withAlpha = rng() % 4 == 0;
        Options o;
        o.mirror = rng() % 4 == 0;
        o.keyToAlpha = rng() % 3 == 0;
        o.skipKey = rng() % 4 == 0;
        o.key = PickKey(rng, source, r);
        o.dither = static_cast<int>(rng() % 3);
        o.alphaOnly = rng() % 8 == 0;
        o.redAsAlpha = rng() % 8 == 0;
        const int dx = static_cast<int>(rng() % 5), dy = static_cast<int>(rng() % 4);
        Image expected = RandomImage(rng, d.format, w + 6, h + 5);
        Image actual = expected;
        Reference(expected.bytes.data(), expected.pitch, d.format, source.bytes.data(), source.pitch, source.format,
                  withAlpha ? alpha.bytes.data() : nullptr, alpha.pitch, alpha.format, dx, dy, r, o);
        ASSERT_EQ(Convert(actual.bytes.data(), actual.pitch, d.format, source.bytes.data(), source.pitch, source.format,
                          r, o, dx, dy, withAlpha ? alpha.bytes.data() : nullptr, alpha.pitch,
                          withAlpha ? &alpha.format : nullptr),
                  0);
        ASSERT_EQ(actual.bytes, expected.bytes)
            << s.name << " -> " << d.name << " trial " << trial << " size " << w << "x" << h << " mirror "
            << o.mirror << " key " << o.keyToAlpha << "/" << o.skipKey << " dither " << o.dither << " alphaOnly "
            << o.alphaOnly << " redAsAlpha " << o.redAsAlpha << " alphaImage " << withAlpha;
      }
    }
  }
}

// `size` bytes that end where an unreadable page begins: a read past them
// faults in any build, not only under the address sanitizer.
class BytesBeforeAGuardPage {
 public:
  explicit BytesBeforeAGuardPage(std::size_t size) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    mappedSize_ = (size + page - 1) / page * page + page;
    void* mapped = mmap(nullptr, mappedSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(mapped, MAP_FAILED);
    mapped_ = static_cast<std::uint8_t*>(mapped);
    EXPECT_EQ(mprotect(mapped_ + mappedSize_ - page, page, PROT_NONE), 0);
    bytes_ = mapped_ + mappedSize_ - page - size;
  }
  ~BytesBeforeAGuardPage() { munmap(mapped_, mappedSize_); }
  BytesBeforeAGuardPage(const BytesBeforeAGuardPage&) = delete;
  BytesBeforeAGuardPage& operator=(const BytesBeforeAGuardPage&) = delete;
  std::uint8_t* data() { return bytes_; }

 private:
  std::uint8_t* mapped_ = nullptr;
  std::uint8_t* bytes_ = nullptr;
  std::size_t mappedSize_ = 0;
};

// 24-bit rows are read four bytes at a time but for their last pixel, or
// sixteen bytes for four pixels while six are left: a source whose last row
// ends the block converts without reading past it, at every width around
// those steps, and writes nothing past a row's last pixel.
TEST(PixelConvertTest, TightTwentyFourBitRowsConvertUpToTheirLastByte) {
  const PixelFormatDescriptor rgb = Preset(SetColorDescRGB24);
  const PixelFormatDescriptor xrgb = Preset(SetColorDescXRGB8);
  constexpr std::uint32_t kUntouched = 0xDEADBEEFu;
  for (int w = 1; w <= 14; ++w) {
    SCOPED_TRACE(w);
    const int h = 2;
    const auto sourceSize = static_cast<std::size_t>(w * 3 * h);
    BytesBeforeAGuardPage guarded(sourceSize);
    std::uint8_t* const source = guarded.data();
    for (std::size_t i = 0; i < sourceSize; ++i) source[i] = static_cast<std::uint8_t>(17 * i + 3);
    // One pixel more per row than converted, which must stay as it was.
    const int outWidth = w + 1;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(outWidth * h), kUntouched);
    const Rect r{0, 0, w, h};
    ASSERT_EQ(Convert(out.data(), outWidth * 4, xrgb, source, w * 3, rgb, r), 0);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = &source[static_cast<std::size_t>((y * w + x) * 3)];
        EXPECT_EQ(out[y * outWidth + x], 0xFF000000u | p[0] | (p[1] << 8) | (p[2] << 16)) << x << "," << y;
      }
      EXPECT_EQ(out[y * outWidth + w], kUntouched) << "row " << y;
    }
  }
}

// ---- Behaviour of the options ----

std::uint32_t ConvertOne(const PixelFormatDescriptor& to, const PixelFormatDescriptor& from, std::uint32_t value,
                         int dither = 0) {
  std::uint32_t in = value, out = 0;
  EXPECT_EQ(Convert(&out, 4, to, &in, 4, from, Rect{0, 0, 1, 1}, {.dither = dither}), 0);
  return out;
}

TEST(PixelConvertTest, WidthsWidenToFullAndNarrowByTruncation) {
  const PixelFormatDescriptor xrgb = Preset(SetColorDescXRGB8);
  const PixelFormatDescriptor r5g6b5 = FromMasks(16, 0xF800, 0x07E0, 0x001F, 0);
  EXPECT_EQ(ConvertOne(xrgb, r5g6b5, 0xFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(ConvertOne(xrgb, r5g6b5, 0x8410), 0xFF838183u);
  EXPECT_EQ(ConvertOne(r5g6b5, xrgb, 0x00FF8040), 0xFC08u);
  // A source without alpha gives a destination with alpha its full value.
  EXPECT_EQ(ConvertOne(Preset(SetColorDescARGB8), r5g6b5, 0x001F), 0xFF0000FFu);
}

TEST(PixelConvertTest, ColourKeyGivesAlphaOrLeavesPixels) {
  const PixelFormatDescriptor xrgb = Preset(SetColorDescXRGB8);
  const PixelFormatDescriptor argb = Preset(SetColorDescARGB8);
  const std::uint32_t source[3] = {0xFF00FF00, 0xFF00FE00, 0x0000FF00};
  std::uint32_t out[3] = {0, 0, 0};
  const Rect r{0, 0, 3, 1};
  ASSERT_EQ(Convert(out, 12, argb, source, 12, xrgb, r, {.keyToAlpha = 1, .key = 0x00FF00}), 0);
  EXPECT_EQ(std::to_array(out), (std::array{0x0000FF00u, 0xFF00FE00u, 0x0000FF00u}));

  // The key is packed into a narrow source's own widths before comparing.
  const PixelFormatDescriptor r5g6b5 = FromMasks(16, 0xF800, 0x07E0, 0x001F, 0);
  const std::uint16_t narrow[2] = {0x07E0, 0x07C0};
  const Rect r2{0, 0, 2, 1};
  ASSERT_EQ(Convert(out, 12, argb, narrow, 4, r5g6b5, r2, {.keyToAlpha = 1, .key = 0x00FF00}), 0);
  EXPECT_EQ(out[0] >> 24, 0u);
  EXPECT_EQ(out[1] >> 24, 0xFFu);

  // Skip key leaves the key pixels' destination as it was.
  std::uint32_t kept[3] = {0x11111111, 0x22222222, 0x33333333};
  ASSERT_EQ(Convert(kept, 12, argb, source, 12, xrgb, r, {.key = 0x00FF00, .skipKey = 1}), 0);
  EXPECT_EQ(std::to_array(kept), (std::array{0x11111111u, 0xFF00FE00u, 0x33333333u}));
}

TEST(PixelConvertTest, MirrorAlphaImageAndSingleChannelOutput) {
  const PixelFormatDescriptor xrgb = Preset(SetColorDescXRGB8);
  const PixelFormatDescriptor rgb = Preset(SetColorDescRGB24);
  const std::uint32_t abc[3] = {0xFF0000AA, 0xFF0000BB, 0xFF0000CC};
  const Rect r{0, 0, 3, 1};
  for (const PixelFormatDescriptor* from : {&xrgb, &rgb}) {
    std::uint8_t packed[12];
    for (int i = 0; i < 3; ++i) std::memcpy(packed + i * (from->bitDepth / 8), &abc[i], from->bitDepth / 8);
    std::uint32_t out[3] = {0, 0, 0};
    ASSERT_EQ(Convert(out, 12, xrgb, packed, 12, *from, r, {.mirror = 1}), 0);
    EXPECT_EQ(std::to_array(out), (std::array{0xFF0000CCu, 0xFF0000BBu, 0xFF0000AAu}));
  }

  // The alpha image's red channel becomes the alpha.
  const PixelFormatDescriptor argb = Preset(SetColorDescARGB8);
  const PixelFormatDescriptor gray = Preset(SetColorDescGray8);
  const std::uint8_t mask[3] = {0, 0x80, 0xFF};
  std::uint32_t out[3] = {0, 0, 0};
  ASSERT_EQ(Convert(out, 12, argb, abc, 12, xrgb, r, {.keyToAlpha = 1, .key = 0xBB}, 0, 0, mask, 4, &gray), 0);
  EXPECT_EQ(std::to_array(out), (std::array{0x000000AAu, 0x800000BBu, 0xFF0000CCu}));

  // The software renderer's single-channel form: alpha-only with red as alpha.
  const PixelFormatDescriptor single = FromMasks(8, 0, 0, 0, 0xFF);
  const std::uint32_t reds[3] = {0x00120000, 0x00340000, 0x00FE0000};
  std::uint8_t bytes[3] = {0, 0, 0};
  ASSERT_EQ(Convert(bytes, 3, single, reds, 12, xrgb, r, {.alphaOnly = 1, .redAsAlpha = 1}), 0);
  EXPECT_EQ(std::to_array(bytes), (std::array<std::uint8_t, 3>{0x12, 0x34, 0xFE}));
}

TEST(PixelConvertTest, DitherSpreadsTheLostBits) {
  const PixelFormatDescriptor rgb = Preset(SetColorDescRGB24);
  const PixelFormatDescriptor r5g6b5 = FromMasks(16, 0xF800, 0x07E0, 0x001F, 0);
  // Red 0x84 is 16.5 in five bits.
  std::vector<std::uint8_t> flat(8 * 8 * 3);
  for (std::size_t i = 0; i < flat.size(); i += 3) flat[i + 2] = 0x84;
  const Rect r{0, 0, 8, 8};

  // Ordered: exactly half of each 4 x 4 tile rounds up, wherever the tile lies.
  for (int origin : {0, 1, 3}) {
    std::vector<std::uint16_t> out(12 * 12, 0);
    ASSERT_EQ(Convert(out.data(), 24, r5g6b5, flat.data(), 24, rgb, r, {.dither = kDitherOrdered}, origin, origin), 0);
    for (int ty = 0; ty < 8; ty += 4) {
      for (int tx = 0; tx < 8; tx += 4) {
        int up = 0;
        for (int y = 0; y < 4; ++y) {
          for (int x = 0; x < 4; ++x) {
            const int red = out[(origin + ty + y) * 12 + origin + tx + x] >> 11;
            ASSERT_TRUE(red == 16 || red == 17);
            up += red == 17;
          }
        }
        EXPECT_EQ(up, 8);
      }
    }
  }

  // Carry: every second pixel rounds up, and the sum runs on into the next row.
  std::vector<std::uint16_t> out(3 * 2, 0);
  const Rect small{0, 0, 3, 2};
  ASSERT_EQ(Convert(out.data(), 6, r5g6b5, flat.data(), 24, rgb, small, {.dither = kDitherCarry}), 0);
  const int expected[6] = {16, 17, 16, 17, 16, 17};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i] >> 11, expected[i]) << i;

  // Rounding up never overflows a channel.
  EXPECT_EQ(ConvertOne(r5g6b5, rgb, 0xFFFFFF, kDitherOrdered), 0xFFFFu);
}

TEST(PixelConvertTest, EightBitDestinations) {
  PixelFormatDescriptor from = Preset(SetColorDescPalette8);
  PixelFormatDescriptor to = Preset(SetColorDescPalette8);
  for (int i = 0; i < 256; ++i) {
    from.palette[i] = PaletteEntry{std::uint8_t(i), 0, 0, 0};
    to.palette[i] = PaletteEntry{std::uint8_t(255 - i), 0, 0, 0};
  }
  const std::uint8_t indices[4] = {3, 200, 7, 0};
  std::uint8_t out[4] = {0, 0, 0, 0};
  const Rect r{0, 0, 4, 1};
  // A plain copy returns the largest index.
  EXPECT_EQ(Convert(out, 4, to, indices, 4, from, r), 200);
  EXPECT_EQ(out[1], 200);
  // Remapping looks each colour up in the destination palette.
  EXPECT_EQ(Convert(out, 4, to, indices, 4, from, r, {.remap = 1}), 0);
  EXPECT_EQ(out[0], 252);
  EXPECT_EQ(out[1], 55);
  EXPECT_EQ(out[3], 255);
  // Identical palettes need no remap: a plain copy.
  EXPECT_EQ(Convert(out, 4, from, indices, 4, from, r, {.remap = 1}), 200);

  // Deep colour into a palette is matched at 8 bits per channel: 16-bit
  // white is white, not the dark grey its raw 5- and 6-bit fields resemble.
  PixelFormatDescriptor pal = Preset(SetColorDescPalette8);
  for (auto& e : pal.palette) e = PaletteEntry{0, 0, 0, 0};
  pal.palette[1] = PaletteEntry{255, 255, 255, 0};
  pal.palette[2] = PaletteEntry{31, 63, 31, 0};
  const PixelFormatDescriptor r5g6b5 = FromMasks(16, 0xF800, 0x07E0, 0x001F, 0);
  const std::uint16_t white = 0xFFFF;
  EXPECT_EQ(Convert(out, 4, pal, &white, 2, r5g6b5, Rect{0, 0, 1, 1}), 0);
  EXPECT_EQ(out[0], 1);
}

TEST(PixelConvertTest, BadArgumentsAreRefusedWithoutWriting) {
  const PixelFormatDescriptor xrgb = Preset(SetColorDescXRGB8);
  std::uint32_t in[4] = {1, 2, 3, 4}, out[4] = {9, 9, 9, 9};
  auto convert = [&](const PixelFormatDescriptor& to, const PixelFormatDescriptor& from, const Rect& r, int dx) {
    return Convert(out, 16, to, in, 16, from, r, {}, dx);
  };
  EXPECT_EQ(convert(xrgb, xrgb, Rect{1, 0, 1, 1}, 0), -1);
  EXPECT_EQ(convert(xrgb, xrgb, Rect{0, 1, 4, 1}, 0), -1);
  EXPECT_EQ(convert(xrgb, xrgb, Rect{2, 0, 1, 1}, 0), -1);
  EXPECT_EQ(convert(xrgb, xrgb, Rect{-1, 0, 1, 1}, 0), -1);
  EXPECT_EQ(convert(xrgb, xrgb, Rect{0, 0, 1, 1}, -1), -1);
  PixelFormatDescriptor odd = xrgb;
  odd.bitDepth = 12;
  EXPECT_EQ(convert(xrgb, odd, Rect{0, 0, 1, 1}, 0), -1);
  PixelFormatDescriptor dxt = xrgb;
  dxt.dxtKind = 1;
  EXPECT_EQ(convert(dxt, xrgb, Rect{0, 0, 1, 1}, 0), -1);
  const Rect r{0, 0, 1, 1};
  EXPECT_EQ(ConvertColorFormatBlit(nullptr, 16, &xrgb, in, 16, &xrgb, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0,
                                   0, 0),
            -1);
  EXPECT_EQ(ConvertColorFormatBlit(out, 16, &xrgb, in, 16, &xrgb, nullptr, 0, nullptr, 0, 0, nullptr, 0, 0, 0, 0, 0,
                                   0, 0, 0),
            -1);
  for (std::uint32_t v : out) EXPECT_EQ(v, 9u);
}

TEST(PixelConvertTest, BaseImageCopyClipsToBothImages) {
  const int blocks = GetTrackedBlockCount();
  BaseImage source{}, destination{};
  ASSERT_EQ(AllocXRGB8BaseImage(10, 10, &source), 0);
  ASSERT_EQ(AllocARGB8BaseImage(100, 100, &destination), 0);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) SetBaseImagePixel(&source, x, y, x, y, 7, 0);
  }
  auto pixel = [](BaseImage& image, int x, int y) {
    std::uint32_t v;
    std::memcpy(&v, image.pixels + y * image.pitch + x * 4, 4);
    return v;
  };
  auto clear = [&] { std::memset(destination.pixels, 0, destination.pitch * destination.height); };

  clear();
  ASSERT_EQ(BlitBaseImageRect(0, 0, 10, 10, -3, 0, &source, &destination), 0);
  EXPECT_EQ(pixel(destination, 0, 0), 0xFF030007u);
  EXPECT_EQ(pixel(destination, 6, 9), 0xFF090907u);
  EXPECT_EQ(pixel(destination, 7, 0), 0u);

  // A negative source corner moves the destination; the far edges cut the size.
  clear();
  ASSERT_EQ(BlitBaseImageRect(-2, -1, 10, 10, 95, 0, &source, &destination), 0);
  EXPECT_EQ(pixel(destination, 97, 1), 0xFF000007u);
  EXPECT_EQ(pixel(destination, 99, 9), 0xFF020807u);
  EXPECT_EQ(pixel(destination, 96, 1), 0u);
  EXPECT_EQ(pixel(destination, 97, 0), 0u);

  clear();
  EXPECT_EQ(BlitBaseImageRect(0, 0, 10, 10, 100, 0, &source, &destination), 0);
  EXPECT_EQ(BlitBaseImageRect(0, 0, 10, 10, -10, 0, &source, &destination), 0);
  EXPECT_EQ(BlitBaseImageRect(12, 0, 10, 10, 0, 0, &source, &destination), 0);
  for (std::uint32_t y = 0; y < destination.height; ++y) {
    for (std::uint32_t x = 0; x < destination.width; ++x) ASSERT_EQ(pixel(destination, x, y), 0u);
  }
  FreeBaseImagePixels(&source);
  FreeBaseImagePixels(&destination);
  EXPECT_EQ(GetTrackedBlockCount(), blocks);
}

}  // namespace
}  // namespace qz
