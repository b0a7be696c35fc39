// JPEG decoding through libjpeg: our own source manager pulls bytes from the
// image stream (a missing tail reads as an end-of-image marker), and library
// errors return here by longjmp and come back as -1.
#include <csetjmp>
#include <cstdio>
#include <cstring>

// Our headers first: libjpeg defines TRUE and FALSE as macros, which would
// break the stand-in's constants of the same names.
#include "core/memory.h"
#include "image/image_decode.h"
#include "image/image_limits.h"
#include "image/image_stream_io.h"

#include <jpeglib.h>
#include <jerror.h>

namespace qz {

namespace {

constexpr JDIMENSION kMaxJpegSide = static_cast<JDIMENSION>(kMaxImageSide);
// Every 8 x 8 block codes its DC term in at least one bit: a byte of data
// covers at most 512 pixels.
constexpr std::int64_t kJpegMaxPixelsPerByte = 512;
// Whole-image buffers of progressive files beyond this fail instead of
// growing without bound; a small file can ask for gigabytes.
constexpr long kJpegLibraryMemory = 512L << 20;
// Real files have a dozen scans; thousands of tiny ones only burn time.
constexpr int kMaxJpegScans = 256;
constexpr std::size_t kJpegSourceBufferSize = 4096;

struct JpegErrorManager {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

struct JpegSourceManager {
  jpeg_source_mgr manager;
  JOCTET* buffer;
  boolean startOfFile;
  ImageStream* stream;
  std::int64_t end;  // stream position of the last byte plus one
};

// Everything the error path must release. Trivially destructible: libjpeg
// leaves through longjmp, which runs no destructors.
struct JpegDecode {
  jpeg_decompress_struct info;
  JpegErrorManager error;
  jpeg_progress_mgr progress;
  std::uint8_t* pixels;
};

// The library's own output prints every refusal, and the dispatcher hands
// each file that is not a JPEG to this decoder on its way to the next one.
void JpegQuietMessage(j_common_ptr) {}

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
  (*info->err->output_message)(info);
  std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

void JpegLimitScans(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxJpegScans) ERREXIT(info, JERR_BAD_PROGRESSION);
}

void JpegInitSource(j_decompress_ptr info) {
  reinterpret_cast<JpegSourceManager*>(info->src)->startOfFile = TRUE;
}

boolean JpegFillInputBuffer(j_decompress_ptr info) {
  auto* source = reinterpret_cast<JpegSourceManager*>(info->src);
  ImageStream* stream = source->stream;
  const std::int64_t position = stream->functions.Tell(stream->handle);
  const std::int64_t left = position < 0 || position > source->end ? 0 : source->end - position;
  const std::size_t wanted = left < static_cast<std::int64_t>(kJpegSourceBufferSize) ? static_cast<std::size_t>(left)
                                                                                      : kJpegSourceBufferSize;
  std::size_t count = wanted != 0 ? stream->functions.Read(source->buffer, 1, wanted, stream->handle) : 0;
  if (count > wanted) count = wanted;
  if (count == 0) {
    if (source->startOfFile) ERREXIT(info, JERR_INPUT_EMPTY);
    WARNMS(info, JWRN_JPEG_EOF);
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    count = 2;
  }
  source->manager.next_input_byte = source->buffer;
  source->manager.bytes_in_buffer = count;
  source->startOfFile = FALSE;
  return TRUE;
}

void JpegSkipInputData(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = info->src;
  while (count > static_cast<long>(source->bytes_in_buffer)) {
    count -= static_cast<long>(source->bytes_in_buffer);
    JpegFillInputBuffer(info);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void JpegTermSource(j_decompress_ptr) {}

// Installs the source manager (made once per decompressor in its permanent
// pool) over the stream, measured from its position to its end.
int JpegSetupStreamSource(j_decompress_ptr info, ImageStream* stream) {
  const std::int64_t end = MeasureStreamEnd(stream);
  if (end < 0) return -1;

  if (info->src == nullptr) {
    auto* made = static_cast<JpegSourceManager*>(
        (*info->mem->alloc_small)(reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, sizeof(JpegSourceManager)));
    made->buffer = static_cast<JOCTET*>(
        (*info->mem->alloc_small)(reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, kJpegSourceBufferSize));
    info->src = &made->manager;
  }
  auto* source = reinterpret_cast<JpegSourceManager*>(info->src);
  source->manager.init_source = JpegInitSource;
  source->manager.fill_input_buffer = JpegFillInputBuffer;
  source->manager.skip_input_data = JpegSkipInputData;
  source->manager.resync_to_restart = jpeg_resync_to_restart;
  source->manager.term_source = JpegTermSource;
  source->manager.bytes_in_buffer = 0;
  source->manager.next_input_byte = nullptr;
  source->stream = stream;
  source->end = end;
  return 0;
}

// The decode proper; libjpeg errors leave it by longjmp to DecodeJpegImage.
[[gnu::noinline]] int ReadJpeg(JpegDecode* decode, ImageStream* stream, BaseImage* image) {
  j_decompress_ptr info = &decode->info;
  jpeg_create_decompress(info);
  info->mem->max_memory_to_use = kJpegLibraryMemory;
  decode->progress.progress_monitor = JpegLimitScans;
  info->progress = &decode->progress;
  if (JpegSetupStreamSource(info, stream) != 0) return -1;
  jpeg_read_header(info, TRUE);
  if (info->image_width > kMaxJpegSide || info->image_height > kMaxJpegSide) return -1;
  // A missing tail reads as the end of the image, so a header alone would
  // make a whole picture: one its data cannot cover is refused here, before
  // the decoder's buffers and the pixels are allocated.
  const auto* source = reinterpret_cast<const JpegSourceManager*>(info->src);
  const std::int64_t position = stream->functions.Tell(stream->handle);
  const std::int64_t unread = position < 0 ? 0 : source->end - position;
  const std::int64_t left = unread + static_cast<std::int64_t>(source->manager.bytes_in_buffer);
  const std::int64_t pixels = std::int64_t{info->image_width} * info->image_height;
  if (!StoredDataCanCover(pixels * info->num_components, left, kJpegMaxPixelsPerByte * info->num_components)) {
    return -1;
  }
  // Colour is written blue, green, red straight into the image's rows.
  if (info->out_color_space == JCS_RGB) {
    info->out_color_space = JCS_EXT_BGR;
  } else if (info->out_color_space != JCS_GRAYSCALE) {
    return -1;
  }
  jpeg_start_decompress(info);
  const std::uint64_t stride = static_cast<std::uint64_t>(info->output_components) * info->output_width;
  const std::uint64_t total = stride * info->output_height;
  if (total == 0 || total > static_cast<std::uint64_t>(kMaxImageBytes)) return -1;
  decode->pixels = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(total)));
  if (decode->pixels == nullptr) return -1;
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = decode->pixels + stride * info->output_scanline;
    jpeg_read_scanlines(info, &row, 1);
  }
  jpeg_finish_decompress(info);

  BaseImage result;
  std::memset(&result, 0, sizeof(result));
  if (info->output_components == 1) {
    SetColorDescGray8(&result.format);
  } else {
    SetColorDescRGB24(&result.format);
  }
  result.width = info->output_width;
  result.height = info->output_height;
  result.pitch = static_cast<std::uint32_t>(stride);
  result.pixels = decode->pixels;
  decode->pixels = nullptr;
  *image = result;
  return 0;
}

void ReleaseJpegDecode(JpegDecode* decode) {
  if (decode->pixels != nullptr) QZ_FREE(decode->pixels);
  decode->pixels = nullptr;
  jpeg_destroy_decompress(&decode->info);
}

}  // namespace

int DecodeJpegImage(ImageStream* stream, BaseImage* image) {
  if (stream == nullptr || image == nullptr) return -1;
  JpegDecode decode;
  std::memset(&decode, 0, sizeof(decode));
  decode.info.err = jpeg_std_error(&decode.error.manager);
  decode.error.manager.error_exit = JpegErrorExit;
  decode.error.manager.output_message = JpegQuietMessage;
  if (setjmp(decode.error.jump) != 0) {
    ReleaseJpegDecode(&decode);
    return -1;
  }
  const int result = ReadJpeg(&decode, stream, image);
  ReleaseJpegDecode(&decode);
  return result;
}

}  // namespace qz
