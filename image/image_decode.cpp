// Image decoding dispatch: reads a file whole (a large one as a stream) or
// takes a memory block, tries every built-in decoder in order, mirrors on
// request and loads the "_a" alpha companion; a file whose bytes match a
// recent decode is copied from the memo, or lent to a caller that only reads
// it. Nothing is logged here; callers log the file name.
#include <cstring>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "image/decoded_file_memo.h"
#include "image/image_decoder_table.h"

namespace qz {

namespace {

constexpr ImageDecoder kImageDecoders[] = {DecodeBmpImage, DecodeJpegImage, DecodePngImage,
                                           DecodeBgraImage, DecodeTgaImage, DecodeDdsImage};

// Exchanges pixel x with pixel width-1-x in every row.
void MirrorRows(BaseImage* image, std::size_t bytesPerPixel) {
  const std::size_t width = image->width;
  for (std::uint32_t y = 0; y < image->height; ++y) {
    std::uint8_t* row = image->pixels + static_cast<std::size_t>(y) * image->pitch;
    for (std::size_t x = 0; x < width / 2; ++x) {
      std::uint8_t* left = row + x * bytesPerPixel;
      std::uint8_t* right = row + (width - 1 - x) * bytesPerPixel;
      for (std::size_t b = 0; b < bytesPerPixel; ++b) {
        const std::uint8_t keep = left[b];
        left[b] = right[b];
        right[b] = keep;
      }
    }
  }
}

// Files up to this size are read whole, so that their bytes can be matched
// against the memo before any decoding; larger ones are decoded as streamed.
constexpr std::int64_t kLargestFileReadWhole = std::int64_t{16} << 20;

bool ReadWholeSmallFile(FileHandle file, std::vector<std::uint8_t>* bytes) {
  if (FileAccessSeek(file, 0, 2) != 0) return false;
  const std::int64_t size = FileAccessTell(file);
  if (FileAccessSeek(file, 0, 0) != 0) return false;
  if (size < 0 || size > kLargestFileReadWhole) return false;
  bytes->resize(static_cast<std::size_t>(size));
  bytes->resize(size > 0 ? ReadFileBytes(bytes->data(), bytes->size(), file) : 0);
  return true;
}

}  // namespace

const ImageDecoder* GetImageDecoderTable(std::size_t* count) {
  *count = sizeof(kImageDecoders) / sizeof(kImageDecoders[0]);
  return kImageDecoders;
}

int DecodeImageStreamWith(const ImageDecoder* decoders, std::size_t count, ImageStream* stream, BaseImage* image) {
  std::memset(image, 0, sizeof(*image));
  for (std::size_t i = 0; i < count; ++i) {
    stream->functions.Seek(stream->handle, 0, 0);
    std::memset(image, 0, sizeof(*image));
    if (decoders[i](stream, image) == 0) return 0;
  }
  return -1;
}

int DecodeImageStream(ImageStream* stream, BaseImage* image) {
  if (stream == nullptr || image == nullptr) return -1;
  std::size_t count;
  const ImageDecoder* decoders = GetImageDecoderTable(&count);
  return DecodeImageStreamWith(decoders, count, stream, image);
}

namespace {

int DecodeStreamMirrored(ImageStream* stream, int mirror, BaseImage* image) {
  BaseImage decoded;
  if (DecodeImageStream(stream, &decoded) != 0) return -1;
  if (mirror == 1) {
    // Block data is expanded first: whole 4x4 blocks cannot be mirrored bytewise.
    if (DecompressDxtBaseImage(&decoded) != 0) {
      FreeBaseImagePixels(&decoded);
      return -1;
    }
    MirrorBaseImageHorizontal(&decoded);
  }
  *image = decoded;
  return 0;
}

int DecodeMemoryBlock(const void* block, std::size_t size, int mirror, BaseImage* image) {
  MemoryStream* memoryStream = OpenMemoryStream(block, size);
  if (memoryStream == nullptr) return -1;
  ImageStream stream{*GetMemoryStreamInterface(), memoryStream};
  const int result = DecodeStreamMirrored(&stream, mirror, image);
  stream.functions.Close(stream.handle);
  return result;
}

// A memo hit is copied into `image`, or lent when `lent` is given.
int DecodeSource(const char* fileName, const void* block, std::size_t blockSize, int memory, int mirror,
                 BaseImage* image, LentPixels* lent) {
  if (image == nullptr) return -1;
  if (memory) return DecodeMemoryBlock(block, blockSize, mirror, image);
  if (fileName == nullptr) return -1;
  const FileHandle file = OpenFileForRead(fileName, 0);
  if (file == 0) return kImageFileNotOpened;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeSmallFile(file, &bytes)) {
    ImageStream stream{*GetFileStreamInterface(), reinterpret_cast<void*>(file)};
    const int result = DecodeStreamMirrored(&stream, mirror, image);
    FileAccessClose(file);
    return result;
  }
  FileAccessClose(file);
  if (lent != nullptr ? LendRememberedDecode(fileName, bytes, mirror, image, lent)
                      : CopyRememberedDecode(fileName, bytes, mirror, image)) {
    return 0;
  }
  if (DecodeMemoryBlock(bytes.data(), bytes.size(), mirror, image) != 0) return -1;
  RememberDecode(fileName, bytes, mirror, *image);
  return 0;
}

// Gives back a decoded image's pixels: lent ones to the memo, own ones freed.
void ReleaseDecoded(BaseImage* image, LentPixels* lent) {
  if (lent != nullptr && *lent != nullptr) {
    lent->reset();
    *image = BaseImage{};
    return;
  }
  FreeBaseImagePixels(image);
}

int DecodeWithAlpha(const char* fileName, const void* block, std::size_t blockSize, int memory,
                    const void* alphaBlock, std::size_t alphaBlockSize, int alphaMode, BaseImage* image,
                    BaseImage* alphaImage, int mirror, LentPixels* lent, LentPixels* alphaLent) {
  const int main = DecodeSource(fileName, block, blockSize, memory, mirror, image, lent);
  if (main != 0) return main;
  if (alphaImage == nullptr) return 1;

  BaseImage alpha;
  int result = -1;
  if (alphaMode == 0) {
    if (fileName == nullptr) return 1;
    // Sized from the name: a long path is never cut to a fixed buffer.
    std::string alphaName(std::strlen(fileName) + 3, '\0');
    if (MakeAlphaImageFileName(alphaName.data(), alphaName.size(), fileName) != 0) return 1;
    result = DecodeSource(alphaName.c_str(), nullptr, 0, 0, mirror, &alpha, alphaLent);
  } else if (alphaMode == 1) {
    result = DecodeSource(nullptr, alphaBlock, alphaBlockSize, 1, mirror, &alpha, nullptr);
  }
  if (result != 0) return 1;
  // Every user reads the alpha image over the main image's rectangle: a
  // companion of another size would be read outside its pixels.
  if (alpha.width != image->width || alpha.height != image->height) {
    ReleaseDecoded(&alpha, alphaLent);
    return 1;
  }
  *alphaImage = alpha;
  return 0;
}

}  // namespace

int DecodeImageSourceToBaseImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                                 int mirror, BaseImage* image) {
  return DecodeSource(fileName, block, blockSize, memory, mirror, image, nullptr);
}

int DecodeImageBytesToBaseImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                                BaseImage* image, int mirror) {
  return DecodeImageSourceToBaseImage(fileName, block, blockSize, memory, mirror, image);
}

int DecodeImageAndAlphaImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                             const void* alphaBlock, std::size_t alphaBlockSize, int alphaMode, BaseImage* image,
                             BaseImage* alphaImage, int mirror) {
  return DecodeWithAlpha(fileName, block, blockSize, memory, alphaBlock, alphaBlockSize, alphaMode, image,
                         alphaImage, mirror, nullptr, nullptr);
}

int DecodeImageFileForReading(const char* fileName, int mirror, BaseImage* image, BaseImage* alphaImage,
                              LentPixels* lent, LentPixels* alphaLent) {
  return DecodeWithAlpha(fileName, nullptr, 0, 0, nullptr, 0, 0, image, alphaImage, mirror, lent, alphaLent);
}

int MakeAlphaImageFileName(char* out, std::size_t outSize, const char* fileName) {
  if (out == nullptr || fileName == nullptr) return -1;
  const std::size_t length = std::strlen(fileName);
  if (length + 3 > outSize) {
    if (outSize > 0) out[0] = '\0';
    return -1;
  }
  // A plain byte scan: paths here are UTF-8, where a lead-byte walk could pair
  // the last character with the "." that follows it.
  const char* lastDot = std::strrchr(fileName, '.');
  const std::size_t split = lastDot != nullptr ? static_cast<std::size_t>(lastDot - fileName) : length;
  std::memcpy(out, fileName, split);
  out[split] = '_';
  out[split + 1] = 'a';
  std::memcpy(out + split + 2, fileName + split, length - split + 1);
  return 0;
}

int MirrorBaseImageHorizontal(BaseImage* image) {
  if (image == nullptr || image->width == 0 || image->height == 0 || image->pixels == nullptr) return -1;
  // Block data would need its 4x4 blocks rearranged; only the decode path,
  // which expands it first, mirrors it.
  if (image->format.dxtKind != 0) return -1;
  const std::size_t bytesPerPixel = image->format.bytesPerPixel;
  if (bytesPerPixel < 1 || bytesPerPixel > 4) return 0;
  MirrorRows(image, bytesPerPixel);
  return 0;
}

}  // namespace qz
