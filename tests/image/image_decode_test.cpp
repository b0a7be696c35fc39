// Decoding dispatch: decoder order and rewinding, files and memory blocks,
// mirroring, and "_a" alpha companions (names, sizes, result codes), with
// every stream closed and every block freed on each path.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "image/decoded_file_memo.h"
#include "image/image_decode.h"
#include "image/image_decoder_table.h"
#include "image/decoded_image_test.h"
#include "image/png_jpeg_writer.h"
#include "support/scratch_folder.h"

namespace qz {
namespace {

using testing::AsString;
using testing::EncodePng;
using testing::PngSpec;

int OpenDescriptorCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

class ImageDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetRememberedDecodes();
    blocks_ = GetTrackedBlockCount();
    descriptors_ = OpenDescriptorCount();
  }
  // What the memo of decoded files keeps is counted too: each test starts
  // with it empty and empties it before it counts.
  void TearDown() override {
    ForgetRememberedDecodes();
    EXPECT_EQ(GetTrackedBlockCount(), blocks_) << "a tracked block was left behind";
    EXPECT_EQ(OpenDescriptorCount(), descriptors_) << "a file was left open";
  }

 private:
  int blocks_ = 0;
  int descriptors_ = 0;
};

// An RGB image whose pixel x of row y has red x * 40 + y, green 7, blue 200.
std::vector<std::uint8_t> RgbPng(int width, int height) {
  std::vector<std::uint8_t> rows;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      rows.insert(rows.end(), {static_cast<std::uint8_t>(x * 40 + y), 7, 200});
    }
  }
  return EncodePng(PngSpec(width, height, PNG_COLOR_TYPE_RGB, 8), rows);
}

// A grey image of the given level at every pixel.
std::vector<std::uint8_t> GreyPng(int width, int height, std::uint8_t level) {
  return EncodePng(PngSpec(width, height, PNG_COLOR_TYPE_GRAY, 8),
                   std::vector<std::uint8_t>(static_cast<std::size_t>(width * height), level));
}

struct FakeCall {
  std::int64_t position;
  bool recordZeroed;
};
std::vector<FakeCall> g_fakeCalls;

void NoteFakeCall(ImageStream* stream, BaseImage* image) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(image);
  bool zeroed = true;
  for (std::size_t i = 0; i < sizeof(*image); ++i) zeroed = zeroed && bytes[i] == 0;
  g_fakeCalls.push_back({stream->functions.Tell(stream->handle), zeroed});
}

int FakeRefusingDecoder(ImageStream* stream, BaseImage* image) {
  NoteFakeCall(stream, image);
  char scratch[3];
  stream->functions.Read(scratch, 1, sizeof(scratch), stream->handle);
  std::memset(image, 0xA5, sizeof(*image));
  return -1;
}

int FakeAcceptingDecoder(ImageStream* stream, BaseImage* image) {
  NoteFakeCall(stream, image);
  image->width = 77;
  return 0;
}

TEST_F(ImageDecodeTest, FirstAcceptingDecoderWinsOnARewoundStreamAndZeroedRecord) {
  const std::vector<std::uint8_t> bytes(16, 1);
  MemoryStream* memory = OpenMemoryStream(bytes.data(), bytes.size());
  ImageStream stream{*GetMemoryStreamInterface(), memory};
  BaseImage image;

  const ImageDecoder accepts[] = {FakeRefusingDecoder, FakeRefusingDecoder, FakeAcceptingDecoder,
                                  FakeAcceptingDecoder};
  g_fakeCalls.clear();
  EXPECT_EQ(DecodeImageStreamWith(accepts, 4, &stream, &image), 0);
  EXPECT_EQ(image.width, 77u);
  ASSERT_EQ(g_fakeCalls.size(), 3u) << "the decoder after the winner must not run";
  for (const FakeCall& call : g_fakeCalls) {
    EXPECT_EQ(call.position, 0);
    EXPECT_TRUE(call.recordZeroed);
  }

  const ImageDecoder refuses[] = {FakeRefusingDecoder, FakeRefusingDecoder};
  EXPECT_EQ(DecodeImageStreamWith(refuses, 2, &stream, &image), -1);
  CloseMemoryStream(memory);

  std::size_t count = 0;
  const ImageDecoder* builtIn = GetImageDecoderTable(&count);
  ASSERT_EQ(count, 6u);
  const ImageDecoder order[] = {DecodeBmpImage, DecodeJpegImage, DecodePngImage,
                                DecodeBgraImage, DecodeTgaImage, DecodeDdsImage};
  for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(builtIn[i], order[i]) << i;
}

TEST_F(ImageDecodeTest, MemoryBlocksAndFilesDecodeOrFailCleanly) {
  const std::vector<std::uint8_t> png = RgbPng(3, 2);
  const std::vector<std::uint8_t> jpeg =
      testing::EncodeJpeg(testing::JpegSpec(8, 8, 1, false), testing::GradientPixels(8, 8, 1));
  BaseImage image;
  ASSERT_EQ(DecodeImageBytesToBaseImage(nullptr, png.data(), png.size(), 1, &image, 0), 0);
  EXPECT_EQ(image.format.bytesPerPixel, 3);
  EXPECT_EQ(image.width, 3u);
  FreeBaseImagePixels(&image);
  ASSERT_EQ(DecodeImageBytesToBaseImage(nullptr, jpeg.data(), jpeg.size(), 1, &image, 0), 0);
  EXPECT_EQ(image.format.bytesPerPixel, 1);
  FreeBaseImagePixels(&image);

  BaseImage untouched;
  std::memset(&untouched, 0x5A, sizeof(untouched));
  image = untouched;
  const std::uint8_t none = 0;
  EXPECT_EQ(DecodeImageSourceToBaseImage(nullptr, &none, 0, 1, 0, &image), -1) << "empty block";
  EXPECT_EQ(DecodeImageSourceToBaseImage(nullptr, nullptr, 10, 1, 0, &image), -1) << "no block";
  const std::vector<std::uint8_t> cut(png.begin(), png.begin() + 30);
  EXPECT_EQ(DecodeImageSourceToBaseImage(nullptr, cut.data(), cut.size(), 1, 0, &image), -1) << "cut PNG";
  EXPECT_EQ(std::memcmp(&image, &untouched, sizeof(image)), 0) << "a failure must leave the record alone";

  testing::ScratchFolder folder;
  folder.Write("pic.png", AsString(png));
  folder.Write("junk.png", AsString(cut));
  ASSERT_EQ(DecodeImageSourceToBaseImage(folder.Library("pic.png").c_str(), nullptr, 0, 0, 0, &image), 0);
  EXPECT_EQ(image.height, 2u);
  FreeBaseImagePixels(&image);
  EXPECT_EQ(DecodeImageSourceToBaseImage(folder.Library("junk.png").c_str(), nullptr, 0, 0, 0, &image), -1);
  EXPECT_EQ(DecodeImageSourceToBaseImage(folder.Library("missing.png").c_str(), nullptr, 0, 0, 0, &image),
            kImageFileNotOpened);
  EXPECT_EQ(DecodeImageSourceToBaseImage(nullptr, nullptr, 0, 0, 0, &image), -1);
}

// Files read again are not decoded again while their bytes are unchanged:
// every read must still give the file's current picture, as a copy of its own.
TEST_F(ImageDecodeTest, FilesReadAgainGiveTheirCurrentPictureAsOwnCopies) {
  testing::ScratchFolder folder;
  const std::string name = folder.Library("again.png");
  folder.Write("again.png", AsString(RgbPng(3, 2)));
  BaseImage first, second;
  ASSERT_EQ(DecodeImageSourceToBaseImage(name.c_str(), nullptr, 0, 0, 0, &first), 0);
  ASSERT_EQ(DecodeImageSourceToBaseImage(name.c_str(), nullptr, 0, 0, 0, &second), 0);
  ASSERT_NE(first.pixels, second.pixels);
  ASSERT_EQ(first.pitch, second.pitch);
  EXPECT_EQ(std::memcmp(first.pixels, second.pixels, first.pitch * first.height), 0);
  const std::uint8_t redOfPixel2 = second.pixels[2 * 3 + 2];
  EXPECT_EQ(redOfPixel2, 80);
  first.pixels[2 * 3 + 2] = 0;  // a caller's change stays in its copy

  BaseImage mirrored;
  ASSERT_EQ(DecodeImageSourceToBaseImage(name.c_str(), nullptr, 0, 0, 1, &mirrored), 0);
  EXPECT_EQ(mirrored.pixels[2], 80) << "the mirror flag is part of what was decoded";
  BaseImage third;
  ASSERT_EQ(DecodeImageSourceToBaseImage(name.c_str(), nullptr, 0, 0, 0, &third), 0);
  EXPECT_EQ(third.pixels[2 * 3 + 2], 80);

  folder.Write("again.png", AsString(GreyPng(3, 2, 90)));
  BaseImage rewritten;
  ASSERT_EQ(DecodeImageSourceToBaseImage(name.c_str(), nullptr, 0, 0, 0, &rewritten), 0);
  EXPECT_EQ(rewritten.format.bytesPerPixel, 1);
  EXPECT_EQ(rewritten.pixels[0], 90);
  for (BaseImage* image : {&first, &second, &mirrored, &third, &rewritten}) FreeBaseImagePixels(image);
}

// A reader that only reads is lent the memo's pixels on a second read of the
// same bytes: the same block for every borrower, never the block of a copy,
// and alive while lent after the memo replaced or dropped its entry.
TEST_F(ImageDecodeTest, LentDecodesShareTheKeptPixelsAndOutliveTheirEntry) {
  testing::ScratchFolder folder;
  folder.Write("lent.png", AsString(RgbPng(3, 2)));
  const std::string name = folder.Library("lent.png");
  BaseImage fresh, first, second;
  LentPixels freshLent, firstLent, secondLent;
  ASSERT_EQ(DecodeImageFileForReading(name.c_str(), 0, &fresh, nullptr, &freshLent, nullptr), 1);
  EXPECT_EQ(freshLent, nullptr) << "a first read decodes into the caller's own pixels";
  FreeBaseImagePixels(&fresh);
  ASSERT_EQ(DecodeImageFileForReading(name.c_str(), 0, &first, nullptr, &firstLent, nullptr), 1);
  ASSERT_EQ(DecodeImageFileForReading(name.c_str(), 0, &second, nullptr, &secondLent, nullptr), 1);
  ASSERT_NE(firstLent, nullptr);
  EXPECT_EQ(first.pixels, firstLent.get());
  EXPECT_EQ(second.pixels, first.pixels) << "borrowers share one block";
  EXPECT_EQ(first.pixels[2 * 3 + 2], 80);

  BaseImage copy;
  ASSERT_EQ(DecodeImageSourceToBaseImage(name.c_str(), nullptr, 0, 0, 0, &copy), 0);
  EXPECT_NE(copy.pixels, first.pixels) << "a caller that may write gets a copy";
  copy.pixels[2 * 3 + 2] = 0;
  EXPECT_EQ(first.pixels[2 * 3 + 2], 80) << "a copy's change never reaches the lent pixels";
  FreeBaseImagePixels(&copy);

  BaseImage mirrored;
  LentPixels mirroredLent;
  ASSERT_EQ(DecodeImageFileForReading(name.c_str(), 1, &mirrored, nullptr, &mirroredLent, nullptr), 1);
  EXPECT_EQ(mirroredLent, nullptr) << "the mirror flag is part of what was decoded";
  EXPECT_EQ(mirrored.pixels[2], 80);
  FreeBaseImagePixels(&mirrored);

  // New bytes under the same name replace the entry; the old pixels stay
  // whole for their borrowers, and stay after the memo forgets everything.
  folder.Write("lent.png", AsString(GreyPng(3, 2, 90)));
  for (int read = 0; read < 2; ++read) {
    BaseImage rewritten;
    LentPixels rewrittenLent;
    ASSERT_EQ(DecodeImageFileForReading(name.c_str(), 0, &rewritten, nullptr, &rewrittenLent, nullptr), 1);
    EXPECT_EQ(rewrittenLent != nullptr, read == 1);
    EXPECT_EQ(rewritten.pixels[0], 90);
    if (rewrittenLent == nullptr) FreeBaseImagePixels(&rewritten);
  }
  ForgetRememberedDecodes();
  EXPECT_EQ(first.pixels[2 * 3 + 2], 80);
  EXPECT_EQ(second.pixels[1 * 3 + 2], 40);
  firstLent.reset();
  EXPECT_EQ(second.pixels[1 * 3 + 2], 40) << "the last borrower keeps the block";
  secondLent.reset();
}

// A lent alpha companion of the main image's size is handed out with it; one
// of another size is given back, as an own one is freed.
TEST_F(ImageDecodeTest, LentAlphaCompanionsOnlyAtTheMainImagesSize) {
  testing::ScratchFolder folder;
  folder.Write("item.png", AsString(RgbPng(4, 2)));
  folder.Write("item_a.png", AsString(GreyPng(4, 2, 99)));
  folder.Write("wide.png", AsString(RgbPng(4, 2)));
  folder.Write("wide_a.png", AsString(GreyPng(5, 2, 1)));
  for (const char* file : {"item.png", "wide.png"}) {
    const bool sameSize = std::string(file) == "item.png";
    SCOPED_TRACE(file);
    const std::string name = folder.Library(file);
    for (int read = 0; read < 2; ++read) {
      BaseImage image, alpha;
      std::memset(&alpha, 0x5A, sizeof(alpha));
      LentPixels lent, alphaLent;
      ASSERT_EQ(DecodeImageFileForReading(name.c_str(), 0, &image, &alpha, &lent, &alphaLent), sameSize ? 0 : 1);
      EXPECT_EQ(lent != nullptr, read == 1);
      EXPECT_EQ(alphaLent != nullptr, sameSize && read == 1);
      if (sameSize) {
        EXPECT_EQ(alpha.pixels[0], 99);
        if (alphaLent == nullptr) FreeBaseImagePixels(&alpha);
      } else {
        EXPECT_EQ(alpha.width, 0x5A5A5A5Au) << "no alpha image may be handed out";
      }
      if (lent == nullptr) FreeBaseImagePixels(&image);
    }
  }
}

// The memo's copies of a decoded file are library memory: the counts show
// them after the caller freed its own copy, and forgetting them gives them back.
TEST_F(ImageDecodeTest, RememberedFilesAreCountedWithTheLibrarysMemory) {
  ForgetRememberedDecodes();
  const std::int64_t bytesBefore = GetTrackedByteTotal();
  const int blocksBefore = GetTrackedBlockCount();
  testing::ScratchFolder folder;
  const std::string file = AsString(RgbPng(64, 32));
  folder.Write("counted.png", file);
  const std::string name = folder.Library("counted.png");
  for (int read = 0; read < 2; ++read) {
    BaseImage image;
    ASSERT_EQ(DecodeImageSourceToBaseImage(name.c_str(), nullptr, 0, 0, 0, &image), 0);
    const std::int64_t pixelBytes = std::int64_t{image.pitch} * image.height;
    FreeBaseImagePixels(&image);
    EXPECT_GE(GetTrackedByteTotal() - bytesBefore, pixelBytes + static_cast<std::int64_t>(file.size()))
        << "read " << read;
    EXPECT_EQ(GetTrackedBlockCount(), blocksBefore + 2) << "read " << read;
  }
  ForgetRememberedDecodes();
  EXPECT_EQ(GetTrackedByteTotal(), bytesBefore);
  EXPECT_EQ(GetTrackedBlockCount(), blocksBefore);
}

// The memo keeps at most 48 MiB of pixels: of four 20 MiB images the last two
// stay. Each image dropped to make room or replaced by new bytes under its
// name gives its share of the room back, or every later one would push all
// the others out.
TEST_F(ImageDecodeTest, TheMemoKeepsTheNewestImagesItHasRoomFor) {
  constexpr std::uint32_t kRow = 5u << 20, kRows = 4;
  std::vector<std::uint8_t> pixels(std::size_t{kRow} * kRows, 17);
  BaseImage image{};
  image.width = kRow / 4;
  image.height = kRows;
  image.pitch = kRow;
  image.pixels = pixels.data();
  const std::vector<std::string> names = {"a.png", "b.png", "c.png", "d.png"};
  const auto bytesOf = [](const std::string& name) { return std::vector<std::uint8_t>(name.begin(), name.end()); };
  RememberDecode(names[0], {1, 2, 3}, 0, image);
  for (const std::string& name : names) RememberDecode(name, bytesOf(name), 0, image);
  for (std::size_t at = 0; at < names.size(); ++at) {
    BaseImage kept;
    LentPixels lent;
    EXPECT_EQ(LendRememberedDecode(names[at], bytesOf(names[at]), 0, &kept, &lent), at >= 2) << names[at];
    if (lent != nullptr) {
      EXPECT_EQ(kept.pixels[kRow * kRows - 1], 17);
    }
  }
}

TEST_F(ImageDecodeTest, MirrorSwapsPixelsOfEveryWidth) {
  for (std::uint16_t bytesPerPixel = 1; bytesPerPixel <= 4; ++bytesPerPixel) {
    SCOPED_TRACE(bytesPerPixel);
    // Two rows "ABC" and "DEF", each pixel filled with its letter; a padded pitch.
    const std::uint32_t pitch = 3u * bytesPerPixel + 2;
    std::vector<std::uint8_t> pixels(pitch * 2, '.');
    for (std::uint32_t y = 0; y < 2; ++y) {
      for (std::uint32_t x = 0; x < 3; ++x) {
        std::memset(&pixels[y * pitch + x * bytesPerPixel], 'A' + static_cast<int>(y * 3 + x), bytesPerPixel);
      }
    }
    BaseImage image{};
    image.format.bytesPerPixel = bytesPerPixel;
    image.width = 3;
    image.height = 2;
    image.pitch = pitch;
    image.pixels = pixels.data();
    ASSERT_EQ(MirrorBaseImageHorizontal(&image), 0);
    std::string want;
    for (const char* row : {"CBA", "FED"}) {
      for (int x = 0; x < 3; ++x) want += std::string(bytesPerPixel, row[x]);
      want += "..";
    }
    EXPECT_EQ(std::string(pixels.begin(), pixels.end()), want);
  }

  BaseImage empty{};
  empty.format.bytesPerPixel = 1;
  EXPECT_EQ(MirrorBaseImageHorizontal(&empty), -1);
}

// An 8 x 4 DXT1 file: a red block on the left, a blue block on the right.
std::vector<std::uint8_t> RedBlueDxt1() {
  // Flags and size as tools write them: the linear size given.
  return testing::WriteDds({.width = 8, .flags = 0x1007 | 0x80000, .pitch = 16, .fourCc = testing::FourCc("DXT1"),
                            .data = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00,  //
                                     0x00, 0xF8, 0x1F, 0x00, 0x55, 0x55, 0x55, 0x55}});
}

TEST_F(ImageDecodeTest, MirrorFlagMirrorsDecodedImagesAndExpandsBlocksFirst) {
  const std::vector<std::uint8_t> png = RgbPng(3, 1);
  BaseImage image;
  ASSERT_EQ(DecodeImageBytesToBaseImage(nullptr, png.data(), png.size(), 1, &image, 1), 0);
  EXPECT_EQ(image.pixels[2], 80) << "red of the last pixel comes first";
  EXPECT_EQ(image.pixels[8], 0);
  FreeBaseImagePixels(&image);

  const std::vector<std::uint8_t> dds = RedBlueDxt1();
  ASSERT_EQ(DecodeImageBytesToBaseImage(nullptr, dds.data(), dds.size(), 1, &image, 0), 0);
  EXPECT_EQ(image.format.dxtKind, 1u) << "without mirroring block data stays compressed";
  EXPECT_EQ(MirrorBaseImageHorizontal(&image), -1) << "block data cannot be mirrored bytewise";
  FreeBaseImagePixels(&image);
  ASSERT_EQ(DecodeImageBytesToBaseImage(nullptr, dds.data(), dds.size(), 1, &image, 1), 0);
  ASSERT_EQ(image.format.dxtKind, 0u);
  ASSERT_EQ(image.format.bytesPerPixel, 4);
  EXPECT_EQ(image.pixels[0], 255) << "blue now on the left";
  EXPECT_EQ(image.pixels[2], 0);
  EXPECT_EQ(image.pixels[7 * 4 + 2], 255) << "red now on the right";
  FreeBaseImagePixels(&image);
}

TEST_F(ImageDecodeTest, AlphaNamesInsertBeforeTheLastDot) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\\data_en\\pat_item.png", "\\data_en\\pat_item_a.png"},
      {"noext", "noext_a"},
      {"", "_a"},
      {"dir.v1\\image", "dir_a.v1\\image"},
      {"enemy_\xE3\x83\x8B\xE3\x83\xBC\xE3\x83\x89\xE3\x83\xAB.png",
       "enemy_\xE3\x83\x8B\xE3\x83\xBC\xE3\x83\x89\xE3\x83\xAB_a.png"},
      {"\x83\x5C\x83\x74\x83\x67.bmp", "\x83\x5C\x83\x74\x83\x67_a.bmp"},
  };
  for (const auto& [name, want] : cases) {
    std::vector<char> out(name.size() + 3, 'x');
    ASSERT_EQ(MakeAlphaImageFileName(out.data(), out.size(), name.c_str()), 0) << name;
    EXPECT_EQ(std::string(out.data()), want);
  }
  char small[8];
  EXPECT_EQ(MakeAlphaImageFileName(small, sizeof(small), "abcd.png"), -1) << "needs 11 bytes";
  EXPECT_STREQ(small, "");
  EXPECT_EQ(MakeAlphaImageFileName(small, sizeof(small), "ab.png"), -1) << "one byte short";
  EXPECT_EQ(MakeAlphaImageFileName(small, sizeof(small), "a.png"), 0) << "fits exactly";
  EXPECT_STREQ(small, "a_a.png");
}

TEST_F(ImageDecodeTest, AlphaCompanionFilesGiveZeroOnlyWhenDecodedAtTheSameSize) {
  testing::ScratchFolder folder;
  folder.Write("data/item.png", AsString(RgbPng(4, 2)));
  folder.Write("data/item_a.png", AsString(GreyPng(4, 2, 99)));
  folder.Write("data/bare.png", AsString(RgbPng(4, 2)));
  folder.Write("data/junk.png", AsString(RgbPng(4, 2)));
  folder.Write("data/junk_a.png", "not an image at all");
  folder.Write("data/wide.png", AsString(RgbPng(4, 2)));
  folder.Write("data/wide_a.png", AsString(GreyPng(5, 2, 1)));
  folder.Write("pack.v1/image", AsString(RgbPng(2, 2)));
  folder.Write("pack_a.v1/image", AsString(GreyPng(2, 2, 5)));
  // Longer than any fixed 260-byte path buffer.
  const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(40, 'f');
  folder.Write(deep + "/long.png", AsString(RgbPng(3, 3)));
  folder.Write(deep + "/long_a.png", AsString(GreyPng(3, 3, 42)));

  struct Case {
    std::string name;
    int result;
    int alphaLevel;
  };
  const std::vector<Case> cases = {{"data/item.png", 0, 99},  {"data/bare.png", 1, -1}, {"data/junk.png", 1, -1},
                                   {"data/wide.png", 1, -1},  {"pack.v1/image", 0, 5},  {deep + "/long.png", 0, 42},
                                   {"data/junk_a.png", -1, -1}, {"data/none.png", kImageFileNotOpened, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.Library(c.name);
    ASSERT_GT(path.size(), 0u);
    BaseImage image;
    BaseImage alpha;
    std::memset(&alpha, 0x5A, sizeof(alpha));
    EXPECT_EQ(DecodeImageAndAlphaImage(path.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0), c.result);
    if (c.result == 0) {
      EXPECT_EQ(alpha.width, image.width);
      EXPECT_EQ(alpha.pixels[0], c.alphaLevel);
      FreeBaseImagePixels(&alpha);
    } else {
      EXPECT_EQ(alpha.width, 0x5A5A5A5Au) << "no alpha image may be handed out";
    }
    if (c.result >= 0) FreeBaseImagePixels(&image);
  }
}

TEST_F(ImageDecodeTest, AlphaCompanionBlocksFromMemory) {
  const std::vector<std::uint8_t> main = RgbPng(3, 1);
  const std::vector<std::uint8_t> same = GreyPng(3, 1, 10);
  const std::vector<std::uint8_t> other = GreyPng(1, 3, 10);
  BaseImage image;
  BaseImage alpha;

  ASSERT_EQ(DecodeImageAndAlphaImage(nullptr, main.data(), main.size(), 1, same.data(), same.size(), 1, &image,
                                     &alpha, 1),
            0);
  EXPECT_EQ(image.pixels[2], 80) << "the mirror flag applies to the main image";
  FreeBaseImagePixels(&image);
  FreeBaseImagePixels(&alpha);

  EXPECT_EQ(DecodeImageAndAlphaImage(nullptr, main.data(), main.size(), 1, other.data(), other.size(), 1, &image,
                                     &alpha, 0),
            1);
  FreeBaseImagePixels(&image);
  EXPECT_EQ(DecodeImageAndAlphaImage(nullptr, main.data(), main.size(), 1, same.data(), same.size(), 2, &image,
                                     &alpha, 0),
            1)
      << "an unknown alpha mode decodes the main image only";
  FreeBaseImagePixels(&image);
  EXPECT_EQ(DecodeImageAndAlphaImage(nullptr, same.data(), 0, 1, same.data(), same.size(), 1, &image, &alpha, 0),
            -1);

  // Mode 0 with a main image from memory takes the companion from the name.
  testing::ScratchFolder folder;
  folder.Write("m_a.png", AsString(same));
  const std::string name = folder.Library("m.png");
  ASSERT_EQ(DecodeImageAndAlphaImage(name.c_str(), main.data(), main.size(), 1, nullptr, 0, 0, &image, &alpha, 0), 0);
  FreeBaseImagePixels(&image);
  FreeBaseImagePixels(&alpha);
}

// Inputs the dispatch fuzzer turned up, kept so they keep decoding safely.
TEST_F(ImageDecodeTest, FuzzFindingsDecodeWithinTheirBlocks) {
  // A DXT2 file 8 pixels wide and 3 high: no whole block row, so no block data.
  const std::vector<std::uint8_t> thinDxt = {
      0x44, 0x44, 0x53, 0x30, 0x7C, 0x00, 0x00, 0x00, 0x07, 0x10, 0x08, 0xFD, 0x03, 0x00, 0x00, 0x00,
      0x08, 0x00, 0x00, 0x00, 0x21, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x60, 0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0xE7, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00,
      0xDB, 0x00, 0x43, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x10, 0x00, 0x00, 0x00, 0x7C, 0xB5,
      0xFF, 0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00,
      0x04, 0x00, 0x00, 0x00, 0x44, 0x58, 0x54, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x89,
      0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0xAB, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
      0x00, 0x00, 0x00, 0xF7, 0x79, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x50, 0x4E, 0x47,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x52, 0x52, 0x52, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19,
      0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
  };
  for (int mirror : {0, 1}) {
    BaseImage image;
    ASSERT_EQ(DecodeImageBytesToBaseImage(nullptr, thinDxt.data(), thinDxt.size(), 1, &image, mirror), 0);
    EXPECT_EQ(image.width, 8u);
    EXPECT_EQ(image.height, 3u);
    if (mirror == 1) {
      EXPECT_EQ(image.format.dxtKind, 0u);
      EXPECT_EQ(image.pixels[GetBaseImageDataSize(&image) - 1], 0) << "edge pixels without a block are zero";
    }
    FreeBaseImagePixels(&image);
  }
}

}  // namespace
}  // namespace qz
