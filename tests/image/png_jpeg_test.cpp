// PNG and JPEG decoders: every PNG colour type and depth against libpng's
// simplified reader and PngSuite, JPEG against a plain libjpeg decode, and
// truncated or corrupt files refused without leaving a block behind.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/decoded_image_test.h"
#include "image/png_jpeg_writer.h"
#include "support/scratch_log.h"
#include "support/tool_paths.h"

namespace qz {
namespace {

using testing::Bytes;
using testing::EncodeJpeg;
using testing::EncodePng;
using testing::JpegSpec;
using testing::PatternBytes;
using testing::PngSpec;

struct Rgba {
  int r, g, b, a;
};

// Reads a pixel by the layouts the decoders promise, not through the
// base-image helpers, so the byte order is checked here.
Rgba PixelOf(const BaseImage& image, std::uint32_t x, std::uint32_t y) {
  const std::uint8_t* p = image.pixels + std::size_t{y} * image.pitch + std::size_t{x} * image.format.bytesPerPixel;
  switch (image.format.bytesPerPixel) {
    case 1: {
      const PaletteEntry& e = image.format.palette[p[0]];
      return {e.red, e.green, e.blue, 255};
    }
    case 2:
      return {p[0], p[0], p[0], p[1]};
    case 3:
      return {p[2], p[1], p[0], 255};
    default:
      return {p[2], p[1], p[0], p[3]};
  }
}

std::vector<std::uint8_t> ReferenceRgba(const std::vector<std::uint8_t>& png, std::uint32_t* width,
                                        std::uint32_t* height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) return {};
  *width = image.width;
  *height = image.height;
  return pixels;
}

using PngJpegTest = testing::DecodedImageTest;

std::vector<png_color> FullPalette(int bitDepth) {
  std::vector<png_color> palette(std::size_t{1} << bitDepth);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i] = png_color{static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 11)};
  }
  return palette;
}

TEST_F(PngJpegTest, PngEightBitAndBelowMatchReferenceDecoder) {
  struct Case {
    const char* name;
    PngSpec spec;
    int bytesPerPixel;
    std::uint32_t alphaMask;
  };
  std::vector<Case> cases;
  for (int depth : {1, 2, 4, 8}) {
    cases.push_back({"grey", PngSpec{13, 5, PNG_COLOR_TYPE_GRAY, depth, depth == 2}, 1, 0});
    PngSpec palette{11, 6, PNG_COLOR_TYPE_PALETTE, depth, depth == 4};
    palette.palette = FullPalette(depth);
    cases.push_back({"palette", palette, 1, 0});
  }
  PngSpec greyKey{9, 4, PNG_COLOR_TYPE_GRAY, 8};
  greyKey.greyTransparent = true;
  cases.push_back({"grey with tRNS", greyKey, 2, 0xFF00});
  PngSpec paletteAlpha{10, 7, PNG_COLOR_TYPE_PALETTE, 8, true};
  paletteAlpha.palette = FullPalette(8);
  paletteAlpha.paletteAlpha = {0, 10, 128, 255, 77};
  cases.push_back({"palette with tRNS", paletteAlpha, 4, 0xFF000000u});
  cases.push_back({"grey+alpha", PngSpec{7, 9, PNG_COLOR_TYPE_GRAY_ALPHA, 8}, 2, 0xFF00});
  cases.push_back({"grey+alpha interlaced", PngSpec{17, 11, PNG_COLOR_TYPE_GRAY_ALPHA, 8, true}, 2, 0xFF00});
  cases.push_back({"RGB", PngSpec{5, 3, PNG_COLOR_TYPE_RGB, 8}, 3, 0});
  cases.push_back({"RGB interlaced", PngSpec{19, 10, PNG_COLOR_TYPE_RGB, 8, true}, 3, 0});
  cases.push_back({"RGBA", PngSpec{6, 6, PNG_COLOR_TYPE_RGB_ALPHA, 8}, 4, 0xFF000000u});
  cases.push_back({"RGBA interlaced", PngSpec{9, 9, PNG_COLOR_TYPE_RGB_ALPHA, 8, true}, 4, 0xFF000000u});

  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " depth " + std::to_string(c.spec.bitDepth));
    std::vector<std::uint8_t> rows = PatternBytes(testing::PngRowBytes(c.spec) * c.spec.height, seed++);
    if (c.spec.greyTransparent) rows[0] = 0;  // at least one transparent pixel
    const std::vector<std::uint8_t> png = EncodePng(c.spec, rows);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::vector<std::uint8_t> reference = ReferenceRgba(png, &width, &height);
    ASSERT_FALSE(reference.empty());

    ASSERT_EQ(DecodeWith(DecodePngImage, png), 0);
    ASSERT_EQ(image_.width, width);
    ASSERT_EQ(image_.height, height);
    EXPECT_EQ(image_.format.bytesPerPixel, c.bytesPerPixel);
    EXPECT_EQ(image_.format.alphaMask, c.alphaMask);
    EXPECT_GE(image_.pitch, width * static_cast<std::uint32_t>(c.bytesPerPixel));
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < width; ++x) {
        const Rgba got = PixelOf(image_, x, y);
        const std::uint8_t* want = &reference[(std::size_t{y} * width + x) * 4];
        ASSERT_EQ(got.r, want[0]) << x << "," << y;
        ASSERT_EQ(got.g, want[1]) << x << "," << y;
        ASSERT_EQ(got.b, want[2]) << x << "," << y;
        ASSERT_EQ(got.a, want[3]) << x << "," << y;
      }
    }
  }
}

TEST_F(PngJpegTest, PngPaletteKeepsIndicesAndStoredEntriesOnly) {
  PngSpec spec{4, 1, PNG_COLOR_TYPE_PALETTE, 8};
  spec.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  ASSERT_EQ(DecodeWith(DecodePngImage, EncodePng(spec, {2, 0, 1, 2})), 0);
  EXPECT_EQ(image_.format.bytesPerPixel, 1);
  EXPECT_EQ(image_.pitch, 4u);
  EXPECT_EQ(std::vector<std::uint8_t>(image_.pixels, image_.pixels + 4), (std::vector<std::uint8_t>{2, 0, 1, 2}));
  const PaletteEntry& second = image_.format.palette[1];
  EXPECT_EQ((std::vector<int>{second.blue, second.green, second.red, second.alpha}), (std::vector<int>{60, 50, 40, 0}));
  const PaletteEntry& beyond = image_.format.palette[3];
  EXPECT_EQ((std::vector<int>{beyond.blue, beyond.green, beyond.red, beyond.alpha}), (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(PngJpegTest, PngSixteenBitSamplesKeepTheirHighBytes) {
  struct Case {
    int colorType;
    int bytesPerPixel;
    // Which 16-bit input sample lands in each output byte.
    std::vector<int> samples;
  };
  const std::vector<Case> cases = {
      {PNG_COLOR_TYPE_GRAY, 1, {0}},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 2, {0, 1}},
      {PNG_COLOR_TYPE_RGB, 3, {2, 1, 0}},
      {PNG_COLOR_TYPE_RGB_ALPHA, 4, {2, 1, 0, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colorType);
    PngSpec spec{5, 3, c.colorType, 16, c.colorType == PNG_COLOR_TYPE_RGB};
    const std::vector<std::uint8_t> rows = PatternBytes(testing::PngRowBytes(spec) * 3, 40u + c.colorType);
    ASSERT_EQ(DecodeWith(DecodePngImage, EncodePng(spec, rows)), 0);
    ASSERT_EQ(image_.format.bytesPerPixel, c.bytesPerPixel);
    const int channels = testing::PngChannels(c.colorType);
    for (std::uint32_t y = 0; y < 3; ++y) {
      for (std::uint32_t x = 0; x < 5; ++x) {
        for (std::size_t k = 0; k < c.samples.size(); ++k) {
          const std::size_t sample = (std::size_t{y} * 5 + x) * channels + c.samples[k];
          ASSERT_EQ(image_.pixels[y * image_.pitch + x * c.bytesPerPixel + k], rows[sample * 2]) << x << "," << y;
        }
      }
    }
  }
}

// Sets a chunk's CRC again after its bytes were changed.
void FixChunkCrc(std::vector<std::uint8_t>* png, std::size_t chunkStart) {
  const std::size_t length = (std::size_t{(*png)[chunkStart]} << 24) | ((*png)[chunkStart + 1] << 16) |
                             ((*png)[chunkStart + 2] << 8) | (*png)[chunkStart + 3];
  const uLong crc = crc32(0, png->data() + chunkStart + 4, static_cast<uInt>(length + 4));
  for (int i = 0; i < 4; ++i) (*png)[chunkStart + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
}

TEST_F(PngJpegTest, PngTruncatedOrCorruptIsRefused) {
  PngSpec spec{64, 64, PNG_COLOR_TYPE_RGB, 8};
  const std::vector<std::uint8_t> png = EncodePng(spec, PatternBytes(testing::PngRowBytes(spec) * 64, 3));
  Bytes badCrc = png;
  badCrc[20] ^= 1;  // IHDR height, CRC left as it was
  Bytes huge = png;
  huge[16] = 0x00;
  huge[17] = 0x01;  // width 65536 + 64
  FixChunkCrc(&huge, 8);
  Bytes notPng = png;
  notPng[1] = 'Q';
  ExpectRefused(DecodePngImage, {{"empty", Bytes{}},
                                 {"signature only", Bytes(png.begin(), png.begin() + 8)},
                                 {"inside IDAT", Bytes(png.begin(), png.begin() + png.size() / 2)},
                                 {"without IEND", Bytes(png.begin(), png.end() - 12)},
                                 {"IHDR CRC", badCrc},
                                 {"huge width", huge},
                                 {"signature", notPng}});
}

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST_F(PngJpegTest, PngSuiteMatchesItsReferencePixels) {
  const std::filesystem::path folder = std::filesystem::path(qz::testing::kSharedTestDataFolder) / "pngsuite";
  std::ifstream manifest(folder / "manifest.tsv");
  if (!manifest) GTEST_SKIP() << "PngSuite is not present";
  std::string line;
  std::getline(manifest, line);
  int checked = 0;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string file, width, height, reference, tolerance, note;
    std::getline(fields, file, '\t');
    std::getline(fields, width, '\t');
    std::getline(fields, height, '\t');
    std::getline(fields, reference, '\t');
    std::getline(fields, tolerance, '\t');
    std::getline(fields, note, '\t');
    SCOPED_TRACE(file);
    const int result = DecodeWith(DecodePngImage, ReadWholeFile(folder / file));
    if (note.rfind("corrupt", 0) == 0) {
      EXPECT_EQ(result, -1);
      continue;
    }
    ASSERT_EQ(result, 0);
    EXPECT_EQ(image_.width, static_cast<std::uint32_t>(std::stoul(width)));
    EXPECT_EQ(image_.height, static_cast<std::uint32_t>(std::stoul(height)));
    if (reference != "-") {
      const std::vector<std::uint8_t> want = ReadWholeFile(folder / reference);
      ASSERT_EQ(want.size(), std::size_t{image_.width} * image_.height * 4);
      const int slack = std::stoi(tolerance);
      int mismatches = 0;
      for (std::uint32_t y = 0; y < image_.height; ++y) {
        for (std::uint32_t x = 0; x < image_.width; ++x) {
          const Rgba got = PixelOf(image_, x, y);
          const std::uint8_t* w = &want[(std::size_t{y} * image_.width + x) * 4];
          if (std::abs(got.r - w[0]) > slack || std::abs(got.g - w[1]) > slack || std::abs(got.b - w[2]) > slack ||
              std::abs(got.a - w[3]) > slack) {
            ++mismatches;
          }
        }
      }
      EXPECT_EQ(mismatches, 0);
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

// The same bytes through a plain libjpeg decode, as interleaved R, G, B or grey.
std::vector<std::uint8_t> ReferenceJpeg(const std::vector<std::uint8_t>& jpeg, int* components) {
  jpeg_decompress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  *components = info.output_components;
  const std::size_t stride = std::size_t{info.output_width} * static_cast<std::size_t>(info.output_components);
  std::vector<std::uint8_t> pixels(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return pixels;
}

TEST_F(PngJpegTest, JpegBaselineProgressiveAndGreyMatchPlainLibjpeg) {
  const std::vector<JpegSpec> specs = {{37, 21, 3, false}, {40, 33, 3, true}, {13, 9, 1, false}, {16, 5, 1, true}};
  for (const JpegSpec& spec : specs) {
    SCOPED_TRACE(std::to_string(spec.components) + (spec.progressive ? " progressive" : " baseline"));
    const std::vector<std::uint8_t> jpeg =
        EncodeJpeg(spec, testing::GradientPixels(spec.width, spec.height, spec.components));
    int components = 0;
    const std::vector<std::uint8_t> want = ReferenceJpeg(jpeg, &components);
    ASSERT_EQ(DecodeWith(DecodeJpegImage, jpeg), 0);
    ASSERT_EQ(image_.width, static_cast<std::uint32_t>(spec.width));
    ASSERT_EQ(image_.height, static_cast<std::uint32_t>(spec.height));
    // Rows are packed: no rounding of the pitch.
    EXPECT_EQ(image_.pitch, static_cast<std::uint32_t>(spec.width * spec.components));
    EXPECT_EQ(image_.format.bytesPerPixel, spec.components);
    for (std::size_t i = 0; i + static_cast<std::size_t>(components) <= want.size(); i += components) {
      if (components == 1) {
        ASSERT_EQ(image_.pixels[i], want[i]) << i;
      } else {
        ASSERT_EQ(image_.pixels[i], want[i + 2]) << "blue at " << i;
        ASSERT_EQ(image_.pixels[i + 1], want[i + 1]) << "green at " << i;
        ASSERT_EQ(image_.pixels[i + 2], want[i]) << "red at " << i;
      }
    }
  }
}

TEST_F(PngJpegTest, JpegTruncatedTailStillDecodes) {
  const JpegSpec spec{32, 32, 3, false};
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(spec, testing::GradientPixels(32, 32, 3));
  for (std::size_t keep : {jpeg.size() * 3 / 4, jpeg.size() - 2}) {
    ASSERT_EQ(DecodeWith(DecodeJpegImage, Bytes(jpeg.begin(), jpeg.begin() + keep)), 0);
    EXPECT_EQ(image_.width, 32u);
    EXPECT_EQ(image_.height, 32u);
  }
}

TEST_F(PngJpegTest, JpegRefusesWhatItCannotDecode) {
  const JpegSpec spec{24, 16, 3, false};
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(spec, testing::GradientPixels(24, 16, 3));
  Bytes huge = jpeg;
  for (std::size_t i = 2; i + 8 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xEA;  // height 60000: far beyond any image we accept
      huge[i + 6] = 0x60;
      break;
    }
  }
  ExpectRefused(DecodeJpegImage,
                {{"empty", Bytes{}},
                 {"start of image only", Bytes{0xFF, 0xD8}},
                 {"not a JPEG", PatternBytes(300, 9)},
                 {"CMYK", EncodeJpeg(JpegSpec{8, 8, 4, false}, testing::GradientPixels(8, 8, 4))},
                 {"huge height", huge}});
}

// A grey progressive file of `dcBits` + 1 DC scans (refined a bit at a time)
// and four for each AC coefficient: 253 + `dcBits` scans.
JpegSpec ManyScans(int dcBits) {
  JpegSpec spec{8, 8, 1, false};
  for (int ah = 0; ah <= dcBits; ++ah) {
    spec.scans.push_back({1, {0}, 0, 0, ah == 0 ? 0 : dcBits - ah + 1, dcBits - ah});
  }
  for (int k = 1; k < 64; ++k) {
    for (int al = 3; al >= 0; --al) spec.scans.push_back({1, {0}, k, k, al == 3 ? 0 : al + 1, al});
  }
  return spec;
}

TEST_F(PngJpegTest, JpegSidesUpTo32768AndScansUpTo256Decode) {
  for (const auto& [width, height] : {std::pair{32768, 1}, std::pair{1, 32768}, std::pair{32769, 1}, std::pair{1, 32769}}) {
    const std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height, 0x40);
    const int result = DecodeWith(DecodeJpegImage, EncodeJpeg(JpegSpec{width, height, 1, false}, grey));
    EXPECT_EQ(result, width <= 32768 && height <= 32768 ? 0 : -1) << width << " x " << height;
  }
  // Thousands of tiny scans would only burn time.
  const std::vector<std::uint8_t> gradient = testing::GradientPixels(8, 8, 1);
  ASSERT_EQ(ManyScans(3).scans.size(), 256u);
  EXPECT_EQ(DecodeWith(DecodeJpegImage, EncodeJpeg(ManyScans(3), gradient)), 0);
  EXPECT_EQ(image_.width, 8u);
  EXPECT_EQ(DecodeWith(DecodeJpegImage, EncodeJpeg(ManyScans(4), gradient)), -1);
}

// The file with the size in its header changed: the IHDR chunk (and its
// CRC) of a PNG, the SOF0 segment of a JPEG.
std::vector<std::uint8_t> Resized(std::vector<std::uint8_t> file, std::uint32_t width, std::uint32_t height) {
  if (file[0] == 0x89) {
    for (int i = 0; i < 4; ++i) {
      file[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
      file[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    FixChunkCrc(&file, 8);
    return file;
  }
  for (std::size_t i = 2; i + 8 < file.size(); ++i) {
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
      file[i + 5] = static_cast<std::uint8_t>(height >> 8);
      file[i + 6] = static_cast<std::uint8_t>(height);
      file[i + 7] = static_cast<std::uint8_t>(width >> 8);
      file[i + 8] = static_cast<std::uint8_t>(width);
      break;
    }
  }
  return file;
}

TEST_F(PngJpegTest, HeadersClaimingMoreThanTheirDataCanHoldAreRefusedBeforeThePixelsAreAllocated) {
  // Flat pictures: about as small as each format makes a picture, and larger
  // than what any file may claim for free. They decode.
  const PngSpec flat{2048, 1024, PNG_COLOR_TYPE_RGB, 8};
  const std::vector<std::uint8_t> png =
      EncodePng(flat, std::vector<std::uint8_t>(testing::PngRowBytes(flat) * 1024, 0x80));
  const std::vector<std::uint8_t> jpeg =
      EncodeJpeg(JpegSpec{2048, 1024, 3, true}, std::vector<std::uint8_t>(2048 * 1024 * 3, 0x80));
  using Case = std::pair<ImageDecoder, std::vector<std::uint8_t>>;
  for (const auto& [decoder, file] : {Case{DecodePngImage, png}, Case{DecodeJpegImage, jpeg}}) {
    ASSERT_EQ(DecodeWith(decoder, file), 0);
    EXPECT_EQ(image_.width, 2048u);

    // The same data under a header claiming 8000 x 8000: within the largest
    // image, far beyond what the data can hold. No block of the picture's
    // size is made (a JPEG's missing tail would even decode as grey).
    testing::ScratchLog log;
    const TrackedMemoryOptions options = GetTrackedMemoryOptions();
    SetTrackedMemoryOptions({0, 8000 * 8000 * 3, 0, 0});
    ExpectRefused(decoder, {{"8000 square", Resized(file, 8000, 8000)}});
    SetTrackedMemoryOptions(options);
    EXPECT_EQ(log.Contents(), "") << "the picture's pixels were allocated";
  }
}

}  // namespace
}  // namespace qz
