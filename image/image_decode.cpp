// Image decoding dispatch: opens a file or a memory block as a read stream,
// tries every built-in decoder in order, mirrors on request and loads the
// "_a" alpha companion. Nothing is logged here; callers log the file name.
#include <cstring>
#include <string>

#include "core/file_access.h"
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

int DecodeImageSourceToBaseImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                                 int mirror, BaseImage* image) {
  if (image == nullptr) return -1;
  ImageStream stream;
  if (memory) {
    MemoryStream* memoryStream = OpenMemoryStream(block, blockSize);
    if (memoryStream == nullptr) return -1;
    stream = ImageStream{*GetMemoryStreamInterface(), memoryStream};
  } else {
    if (fileName == nullptr) return -1;
    const FileHandle file = OpenFileForRead(fileName, 0);
    if (file == 0) return -1;
    stream = ImageStream{*GetFileStreamInterface(), reinterpret_cast<void*>(file)};
  }
  const auto closeStream = [&stream, memory] {
    if (memory) {
      stream.functions.Close(stream.handle);
    } else {
      FileAccessClose(reinterpret_cast<FileHandle>(stream.handle));
    }
  };

  BaseImage decoded;
  if (DecodeImageStream(&stream, &decoded) != 0) {
    closeStream();
    return -1;
  }
  closeStream();
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

int DecodeImageBytesToBaseImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                                BaseImage* image, int mirror) {
  return DecodeImageSourceToBaseImage(fileName, block, blockSize, memory, mirror, image);
}

int DecodeImageAndAlphaImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                             const void* alphaBlock, std::size_t alphaBlockSize, int alphaMode, BaseImage* image,
                             BaseImage* alphaImage, int mirror) {
  if (DecodeImageSourceToBaseImage(fileName, block, blockSize, memory, mirror, image) != 0) return -1;
  if (alphaImage == nullptr) return 1;

  BaseImage alpha;
  int result = -1;
  if (alphaMode == 0) {
    if (fileName == nullptr) return 1;
    // Sized from the name: a long path is never cut to a fixed buffer.
    std::string alphaName(std::strlen(fileName) + 3, '\0');
    if (MakeAlphaImageFileName(alphaName.data(), alphaName.size(), fileName) != 0) return 1;
    result = DecodeImageSourceToBaseImage(alphaName.c_str(), nullptr, 0, 0, mirror, &alpha);
  } else if (alphaMode == 1) {
    result = DecodeImageSourceToBaseImage(nullptr, alphaBlock, alphaBlockSize, 1, mirror, &alpha);
  }
  if (result != 0) return 1;
  // Every user reads the alpha image over the main image's rectangle: a
  // companion of another size would be read outside its pixels.
  if (alpha.width != image->width || alpha.height != image->height) {
    FreeBaseImagePixels(&alpha);
    return 1;
  }
  *alphaImage = alpha;
  return 0;
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
