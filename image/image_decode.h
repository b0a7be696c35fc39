// Image decoding: one dispatcher tries the built-in decoders in a fixed order
// (BMP, JPEG, PNG, BGRA, TGA, DDS) on the same stream, whatever the name, and
// keeps the first result; an optional "_a" companion becomes the alpha.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/file_access.h"
#include "image/base_image.h"
#include "image/decoded_file_memo.h"

namespace qz {

// What each decoder reads through: the six stream operations and the handle.
struct ImageStream {
  StreamFunctionTable functions;
  void* handle;
};

// Each decoder returns 0 with the image decoded into the record (which then
// owns a tracked pixel block), or -1 with nothing left allocated.
using ImageDecoder = int (*)(ImageStream* stream, BaseImage* image);
int DecodeBmpImage(ImageStream* stream, BaseImage* image);
int DecodeJpegImage(ImageStream* stream, BaseImage* image);
int DecodePngImage(ImageStream* stream, BaseImage* image);
int DecodeBgraImage(ImageStream* stream, BaseImage* image);
int DecodeTgaImage(ImageStream* stream, BaseImage* image);
int DecodeDdsImage(ImageStream* stream, BaseImage* image);

int DecodeImageStream(ImageStream* stream, BaseImage* image);
// A named file that could not be opened, told apart from one that did not
// decode (-1) so that callers need not open it again to say which.
constexpr int kImageFileNotOpened = -2;
// 0 decoded; kImageFileNotOpened, or -1 for every other failure.
int DecodeImageSourceToBaseImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                                 int mirror, BaseImage* image);
int DecodeImageBytesToBaseImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                                BaseImage* image, int mirror);
// 0 main and alpha decoded, 1 main only, -1 main failed (kImageFileNotOpened:
// the main file could not be opened).
int DecodeImageAndAlphaImage(const char* fileName, const void* block, std::size_t blockSize, int memory,
                             const void* alphaBlock, std::size_t alphaBlockSize, int alphaMode, BaseImage* image,
                             BaseImage* alphaImage, int mirror);
// DecodeImageAndAlphaImage for a named file (alpha from its "_a" companion),
// for a caller that only reads the pixels: an image remembered from an
// earlier read of the same bytes is lent, not copied, and its `lent` (or
// `alphaLent`) is then set. A lent image is given back by resetting its
// holder, never freed through the record; the others are the caller's.
int DecodeImageFileForReading(const char* fileName, int mirror, BaseImage* image, BaseImage* alphaImage,
                              LentPixels* lent, LentPixels* alphaLent);
// The companion name: "_a" before the last "."; -1 when it does not fit.
int MakeAlphaImageFileName(char* out, std::size_t outSize, const char* fileName);
int MirrorBaseImageHorizontal(BaseImage* image);

// DXT block data expanded in place to ARGB8 (a no-op for uncompressed images).
int DecompressDxtBaseImage(BaseImage* image);

}  // namespace qz
