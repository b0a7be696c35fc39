// PNG decoding through libpng: the reader pulls bytes from the image stream,
// every image is transformed to 8-bit samples in blue-green-red order, and
// libpng's errors return here by longjmp and come back as -1.
#include <png.h>

#include <cstring>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/image_limits.h"
#include "image/image_stream_io.h"

namespace qz {

namespace {

constexpr png_uint_32 kMaxPngSide = static_cast<png_uint_32>(kMaxImageSide);
// Deflate gives at most 258 bytes for a two-bit code.
constexpr std::int64_t kDeflateMaxExpansion = 1032;

struct PngReadState {
  ImageStream* stream;
  std::int64_t end;  // stream position of the last byte plus one
};

// Everything the error path must release. Trivially destructible: libpng
// leaves through longjmp, which runs no destructors.
struct PngDecode {
  png_structp png;
  png_infop info;
  PngReadState read;
  png_bytep* rows;
  std::uint8_t* pixels;
};

// libpng's own handlers print every refusal, and the dispatcher hands each
// file that is not a PNG to this decoder on its way to the next one.
[[noreturn]] void PngQuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngQuietWarning(png_structp, png_const_charp) {}

void PngStreamReadCallback(png_structp png, png_bytep buffer, png_size_t length) {
  auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
  const StreamFunctionTable& functions = state->stream->functions;
  const std::int64_t position = functions.Tell(state->stream->handle);
  if (position < 0 || state->end - position < static_cast<std::int64_t>(length)) png_error(png, "Read Error");
  if (length == 0) return;
  if (functions.Read(buffer, length, 1, state->stream->handle) != 1) png_error(png, "Read Error");
}

// Measures the bytes from the current position to the end, then hands libpng
// the read function. -1 when the stream cannot tell or seek.
int InstallPngReadCallback(png_structp png, PngReadState* state, ImageStream* stream) {
  const std::int64_t end = MeasureStreamEnd(stream);
  if (end < 0) return -1;
  state->stream = stream;
  state->end = end;
  png_set_read_fn(png, state, PngStreamReadCallback);
  return 0;
}

void SetPngFormat(PngDecode* decode, int colorType, bool expanded, png_size_t rowBytes, png_uint_32 width,
                  BaseImage* image) {
  PixelFormatDescriptor& format = image->format;
  if (colorType == PNG_COLOR_TYPE_PALETTE && !expanded) {
    SetColorDescPalette8(&format);
    std::memset(format.palette, 0, sizeof(format.palette));
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(decode->png, decode->info, &palette, &count) != 0) {
      for (int i = 0; i < count && i < 256; ++i) {
        format.palette[i] = PaletteEntry{palette[i].blue, palette[i].green, palette[i].red, 0};
      }
    }
  } else if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (rowBytes / 2 >= width) {
      // Grey and alpha: red, green and blue all read the grey byte.
      SetColorDescFromMasks(&format, 16, 0xFF, 0xFF, 0xFF, 0xFF00);
    } else {
      SetColorDescGray8(&format);
    }
  } else if (png_get_channels(decode->png, decode->info) == 4) {
    SetColorDescARGB8(&format);
  } else {
    SetColorDescRGB24(&format);
  }
}

// The decode proper; libpng errors leave it by longjmp to DecodePngImage.
[[gnu::noinline]] int ReadPng(PngDecode* decode, ImageStream* stream, BaseImage* image) {
  png_structp png = decode->png;
  png_infop info = decode->info;
  if (InstallPngReadCallback(png, &decode->read, stream) != 0) return -1;
  png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
  // libpng allocates a text or profile chunk's whole claimed length before
  // reading it, so a few bytes claiming 1.5 GiB of text cost 1.5 GiB. Only
  // the header, palette, transparency and pixels are used: every other
  // chunk is skipped as it is read.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(png, info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colorType = 0;
  int interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  // The filtered rows the compressed data must hold (more when interlaced),
  // against the bytes left in the stream: a header claiming a picture its
  // data cannot cover is refused before the pixels are allocated.
  const std::int64_t storedRowBytes =
      (std::int64_t{width} * png_get_channels(png, info) * bitDepth + 7) / 8 + 1;
  const std::int64_t position = stream->functions.Tell(stream->handle);
  if (position < 0 ||
      !StoredDataCanCover(storedRowBytes * height, decode->read.end - position, kDeflateMaxExpansion)) {
    return -1;
  }

  png_set_strip_16(png);
  png_set_packing(png);
  png_set_packswap(png);
  bool expanded = false;
  if ((colorType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
    png_set_expand(png);
    expanded = true;
  }
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const png_size_t rowBytes = png_get_rowbytes(png, info);
  const std::uint64_t total = std::uint64_t{rowBytes} * height;
  if (width == 0 || height == 0 || rowBytes == 0 || total > static_cast<std::uint64_t>(kMaxImageBytes)) return -1;

  // Rows are read straight into the image's block: no second copy.
  decode->pixels = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(total)));
  decode->rows = static_cast<png_bytep*>(QZ_ALLOC(sizeof(png_bytep) * height));
  if (decode->pixels == nullptr || decode->rows == nullptr) return -1;
  for (png_uint_32 y = 0; y < height; ++y) decode->rows[y] = decode->pixels + std::size_t{y} * rowBytes;
  png_read_image(png, decode->rows);
  QZ_FREE(decode->rows);
  decode->rows = nullptr;
  png_read_end(png, nullptr);

  BaseImage result;
  std::memset(&result, 0, sizeof(result));
  SetPngFormat(decode, colorType, expanded, rowBytes, width, &result);
  result.width = width;
  result.height = height;
  result.pitch = static_cast<std::uint32_t>(rowBytes);
  result.pixels = decode->pixels;
  decode->pixels = nullptr;
  *image = result;
  return 0;
}

void ReleasePngDecode(PngDecode* decode) {
  if (decode->rows != nullptr) QZ_FREE(decode->rows);
  if (decode->pixels != nullptr) QZ_FREE(decode->pixels);
  decode->rows = nullptr;
  decode->pixels = nullptr;
  png_destroy_read_struct(&decode->png, decode->info != nullptr ? &decode->info : nullptr, nullptr);
}

}  // namespace

int DecodePngImage(ImageStream* stream, BaseImage* image) {
  if (stream == nullptr || image == nullptr) return -1;
  PngDecode decode;
  std::memset(&decode, 0, sizeof(decode));
  decode.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngQuietError, PngQuietWarning);
  if (decode.png == nullptr) return -1;
  decode.info = png_create_info_struct(decode.png);
  if (decode.info == nullptr) {
    ReleasePngDecode(&decode);
    return -1;
  }
  if (setjmp(png_jmpbuf(decode.png)) != 0) {
    ReleasePngDecode(&decode);
    return -1;
  }
  const int result = ReadPng(&decode, stream, image);
  ReleasePngDecode(&decode);
  return result;
}

}  // namespace qz
