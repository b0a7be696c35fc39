// Opening and closing Theora movies: the "OggS" test, the three header
// packets, one scan of the whole file into the page and key-frame tables,
// the frame image and stock, and the start of the decode thread.
#include <cstring>
#include <new>
#include <system_error>

#include "core/log.h"
#include "core/memory.h"
#include "movie/movie_log_text.h"
#include "movie/theora_movie.h"

namespace qz {
namespace {

constexpr int kTableGrowth = 1000;
// Larger frames are taken for damaged headers: the decoder and the frame
// image would need gigabytes.
constexpr ogg_uint32_t kMaxFrameSide = 8192;

// Takes the next page from the synchroniser, reading as needed; counts every
// byte the synchroniser consumed (pages of any stream and skipped garbage) in
// `offset`, and gives the page's own offset in `pageOffset`. False at the end.
bool TakeCountedPage(TheoraMovieContext* context, std::int64_t* offset, std::int64_t* pageOffset) {
  for (;;) {
    const long result = ogg_sync_pageseek(&context->sync, &context->page);
    if (result > 0) {
      *pageOffset = *offset;
      *offset += result;
      return true;
    }
    if (result < 0) {
      *offset -= result;
      continue;
    }
    if (ReadTheoraStreamData(context, kTheoraReadSize) == 0) return false;
  }
}

bool GrowPageTable(TheoraMovieContext* context) {
  if (context->pageCount < context->pageCapacity) return true;
  const std::size_t capacity = static_cast<std::size_t>(context->pageCapacity) + kTableGrowth;
  void* grown = ReallocTracked(context->pages, capacity * sizeof(TheoraPageEntry), __FILE__, __LINE__);
  if (grown == nullptr) return false;
  context->pages = static_cast<TheoraPageEntry*>(grown);
  context->pageCapacity = static_cast<std::int32_t>(capacity);
  return true;
}

bool GrowKeyFrameTable(TheoraMovieContext* context) {
  if (context->frameCount < context->keyFrameCapacity) return true;
  const std::int64_t capacity = context->keyFrameCapacity + kTableGrowth;
  void* grown = ReallocTracked(context->keyFrames, static_cast<std::size_t>(capacity), __FILE__, __LINE__);
  if (grown == nullptr) return false;
  context->keyFrames = static_cast<std::uint8_t*>(grown);
  context->keyFrameCapacity = capacity;
  return true;
}

// One pass over the file as playback will read it: an entry for each page
// after which frame packets were completed, and a key-frame byte per frame.
// The log line of a failed growth, or null.
const char* ScanTheoraFile(TheoraMovieContext* context) {
  std::int64_t offset = 0;
  std::int64_t lastPageOffset = 0;
  bool pageRead = false;
  for (;;) {
    const int taken = ogg_stream_packetout(&context->stream, &context->packet);
    if (taken == 0) {
      if (!TakeCountedPage(context, &offset, &lastPageOffset)) return nullptr;
      pageRead = true;
      ogg_stream_pagein(&context->stream, &context->page);
      continue;
    }
    if (taken < 0) continue;  // a gap in the stream: the packets after it still count
    const int key = theora_packet_iskeyframe(&context->packet);
    if (key < 0) continue;
    // A frame count that no longer fits the 32-bit frame numbers ends the index.
    if (context->frameCount >= 0x7FFFFFFF - kTableGrowth) return nullptr;
    if (pageRead) {
      if (!GrowPageTable(context)) return text::kTheoraPageTableAllocFailed;
      context->pages[context->pageCount++] = {lastPageOffset, static_cast<std::int32_t>(context->frameCount), 0, 0};
      pageRead = false;
    }
    if (!GrowKeyFrameTable(context)) return text::kTheoraKeyTableAllocFailed;
    TheoraPageEntry& entry = context->pages[context->pageCount - 1];
    if (key == 1) entry.hasKeyFrame = 1;
    context->keyFrames[context->frameCount] = key == 1 ? 1 : 0;
    ++context->frameCount;
    ++entry.frames;
  }
}

// The page step of the header reader: a ready page goes to the stream, bytes
// that are no page are skipped, otherwise more bytes are read. False at the
// end of the file.
bool HeaderPageStep(TheoraMovieContext* context) {
  const int paged = ogg_sync_pageout(&context->sync, &context->page);
  if (paged > 0) ogg_stream_pagein(&context->stream, &context->page);
  return paged != 0 || ReadTheoraStreamData(context, kTheoraReadSize) != 0;
}

// Finds the Theora stream among the beginning-of-stream pages.
void FindTheoraStream(TheoraMovieContext* context) {
  for (;;) {
    if (ReadTheoraStreamData(context, kTheoraReadSize) == 0) return;
    // A negative result skipped bytes that are no page; the search goes on.
    for (int paged; (paged = ogg_sync_pageout(&context->sync, &context->page)) != 0;) {
      if (paged < 0) continue;
      if (ogg_page_bos(&context->page) == 0) {
        // No effect while no Theora stream was found: the stream is still zeroed.
        ogg_stream_pagein(&context->stream, &context->page);
        return;
      }
      ogg_stream_state candidate;
      ogg_stream_init(&candidate, ogg_page_serialno(&context->page));
      ogg_stream_pagein(&candidate, &context->page);
      if (ogg_stream_packetout(&candidate, &context->packet) > 0 &&
          theora_decode_header(&context->info, &context->comment, &context->packet) == 0) {
        context->stream = candidate;
        context->serialNo = ogg_page_serialno(&context->page);
        context->headerPackets = 1;
        return;
      }
      ogg_stream_clear(&candidate);
    }
  }
}

template <typename T>
T* AllocTable(std::size_t count) {
  return static_cast<T*>(AllocTrackedZeroed(count * sizeof(T), __FILE__, __LINE__));
}

TheoraMovieContext* FailOpen(TheoraMovieContext* context, const char* line) {
  if (line != nullptr) AppendLogText(line);
  CloseTheoraMovie(context);
  return nullptr;
}

}  // namespace

int ReadTheoraStreamData(TheoraMovieContext* context, int count) {
  char* buffer = ogg_sync_buffer(&context->sync, count);
  if (buffer == nullptr) return 0;  // out of memory reads as the end of the file
  const std::size_t read = context->fileFunctions.Read(buffer, 1, static_cast<std::size_t>(count), context->file);
  ogg_sync_wrote(&context->sync, static_cast<long>(read));
  return static_cast<int>(read);
}

int ReadTheoraHeaders(TheoraMovieContext* context) {
  FindTheoraStream(context);
  while (context->headerPackets < 3) {
    int taken;
    while (context->headerPackets < 3 && (taken = ogg_stream_packetout(&context->stream, &context->packet)) != 0) {
      if (taken < 0) return -1;
      if (theora_decode_header(&context->info, &context->comment, &context->packet) != 0) return -1;
      ++context->headerPackets;
    }
    // Also once after the third packet: header pages at the very end of the
    // file leave no movie.
    if (!HeaderPageStep(context)) return -1;
  }
  return context->headerPackets != 0 ? 1 : -1;
}

TheoraMovieContext* OpenTheoraMovie(const FileAccessTable* functions, FileHandle file, int frameStockCount) {
  char magic[4] = {};
  if (functions->Read(magic, 1, 4, file) != 4 || std::memcmp(magic, "OggS", 4) != 0) return nullptr;
  functions->Seek(file, 0, 0);

  void* block = AllocTrackedZeroed(sizeof(TheoraMovieContext), __FILE__, __LINE__);
  if (block == nullptr) {
    AppendLogText(text::kTheoraContextAllocFailed);
    return nullptr;
  }
  TheoraMovieContext* context = new (block) TheoraMovieContext{};
  context->currentFrame.store(-1);
  ogg_sync_init(&context->sync);
  theora_info_init(&context->info);
  theora_comment_init(&context->comment);
  context->fileFunctions = *functions;
  context->file = file;
  if (ReadTheoraHeaders(context) != 1 || context->info.width > kMaxFrameSide ||
      context->info.height > kMaxFrameSide) {
    return FailOpen(context, nullptr);
  }

  // Held in Paused until the seek to frame 0: the scan below owns the libogg
  // state and the file meanwhile.
  context->pauseRequest.store(1);
  try {
    context->thread = std::thread(TheoraDecodeThreadProc, context);
  } catch (const std::system_error&) {
    return FailOpen(context, text::kTheoraThreadCreateFailed);
  }
  if (theora_decode_init(&context->decoder, &context->info) != 0) return FailOpen(context, nullptr);
  context->decoderReady = true;

  ogg_sync_reset(&context->sync);
  ogg_stream_reset(&context->stream);
  functions->Seek(file, 0, 0);
  context->pages = AllocTable<TheoraPageEntry>(kTableGrowth);
  if (context->pages == nullptr) return FailOpen(context, text::kTheoraPageTableAllocFailed);
  context->pageCapacity = kTableGrowth;
  context->keyFrames = AllocTable<std::uint8_t>(kTableGrowth);
  if (context->keyFrames == nullptr) return FailOpen(context, text::kTheoraKeyTableAllocFailed);
  context->keyFrameCapacity = kTableGrowth;
  if (const char* failure = ScanTheoraFile(context); failure != nullptr) return FailOpen(context, failure);
  // A stream without a frame would leave nothing to show and nothing to
  // divide the clock by; the handle layer tries the other road instead.
  if (context->frameCount == 0) return FailOpen(context, nullptr);
  context->pages[0].fileOffset = 0;

  CreateTheoraYuvSurface(context);
  if (AllocXRGB8BaseImage(static_cast<int>(context->info.width), static_cast<int>(context->info.height),
                          &context->frameImage) != 0) {
    return FailOpen(context, text::kTheoraFrameImageAllocFailed);
  }
  context->frameStock = AllocTable<FrameStockSlot>(static_cast<std::size_t>(frameStockCount < 1 ? 1 : frameStockCount));
  if (context->frameStock == nullptr) return FailOpen(context, text::kTheoraFrameStockAllocFailed);
  context->frameStockCount = frameStockCount < 1 ? 1 : frameStockCount;

  SeekTheoraFrame(context, 0);
  ConvertTheoraFrame(context, 1, 1);
  return context;
}

int CloseTheoraMovie(TheoraMovieContext* context) {
  if (context == nullptr) return 0;
  if (context->thread.joinable()) {
    RequestTheoraStop(context);
    context->thread.join();
  }
  if (context->frameStock != nullptr) {
    for (int i = 0; i < context->frameStockCount; ++i) {
      FrameStockSlot& slot = context->frameStock[i];
      FreeTracked(slot.y);
      FreeTracked(slot.u);
      FreeTracked(slot.v);
    }
    FreeTracked(context->frameStock);
  }
  ReleaseTheoraYuvSurface(context);
  FreeTracked(context->pages);
  FreeTracked(context->keyFrames);
  FreeBaseImagePixels(&context->frameImage);
  ogg_stream_clear(&context->stream);
  if (context->decoderReady) theora_clear(&context->decoder);
  theora_comment_clear(&context->comment);
  theora_info_clear(&context->info);
  ogg_sync_clear(&context->sync);
  context->~TheoraMovieContext();
  FreeTracked(context);
  return 0;
}

int GetTheoraMovieInfo(const TheoraMovieContext* context, TheoraMovieInfo* info) {
  const double numerator = static_cast<std::uint32_t>(context->info.fps_numerator);
  const double denominator = static_cast<std::uint32_t>(context->info.fps_denominator);
  info->framesPerSecond = numerator / denominator;
  info->frameCount = static_cast<std::int32_t>(context->frameCount);
  info->width = static_cast<std::int32_t>(context->info.width);
  info->height = static_cast<std::int32_t>(context->info.height);
  return 0;
}

int GetTheoraCurrentFrame(const TheoraMovieContext* context) { return context->currentFrame.load(); }

}  // namespace qz
