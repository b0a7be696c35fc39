// The Theora decode thread: it keeps the frames from the one on view onwards
// decoded in the frame stock, seeks from the nearest earlier key frame, and
// wraps to the file start at the end. The main thread only moves
// `currentFrame` and asks for seeks; the two meet through polled atomics.
//
// Writers: the main thread writes pauseRequest, stopRequest, seekTarget,
// currentFrame and the conversion markers and sets seekRequest; the decode thread
// writes threadState, endOfFile and the slots and clears seekRequest.
// pauseRequest and threadState use sequentially consistent order: the pause
// hand-shake is a store-then-load on both sides. Neither side polls: a side
// with nothing to do reads the other's counter before it looks at the shared
// fields and sleeps on the counter (a futex) until it moves, so a change
// made after the look still wakes it.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/memory.h"
#include "movie/theora_movie.h"

namespace qz {
namespace {

void SleepOneMillisecond() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

void Signal(std::atomic<std::uint32_t>& counter) {
  counter.fetch_add(1, std::memory_order_release);
  counter.notify_all();
}

void SignalRequest(TheoraMovieContext* context) { Signal(context->requests); }

// Every change of state is signalled: the main thread waits on Paused, Ended
// and the end of Seeking.
void SetThreadState(TheoraMovieContext* context, TheoraThreadState state) {
  if (context->threadState.exchange(state) != state) Signal(context->progress);
}

// Takes the next packet of the Theora stream, reading pages and file bytes as
// needed. False at the end of the file.
bool TakePacket(TheoraMovieContext* context) {
  for (;;) {
    const int taken = ogg_stream_packetout(&context->stream, &context->packet);
    if (taken > 0) return true;
    if (taken < 0) continue;  // a gap: the next packet follows it
    // A negative result skipped bytes that are no page: the pages after
    // them may already be read, so the synchroniser is asked again.
    const int paged = ogg_sync_pageout(&context->sync, &context->page);
    if (paged > 0) {
      ogg_stream_pagein(&context->stream, &context->page);
    } else if (paged == 0 && ReadTheoraStreamData(context, kTheoraReadSize) == 0) {
      return false;
    }
  }
}

// Gives the decoder the next frame packet, passing over header packets.
bool DecodeNextFrame(TheoraMovieContext* context) {
  for (;;) {
    if (!TakePacket(context)) return false;
    if (theora_packet_iskeyframe(&context->packet) < 0) continue;
    theora_decode_packetin(&context->decoder, &context->packet);
    return true;
  }
}

// Restarts reading at entry `start` of the page table; the first frame that
// will be completed.
std::int32_t RestartAtEntry(TheoraMovieContext* context, int start) {
  ogg_sync_reset(&context->sync);
  ogg_stream_reset(&context->stream);
  const TheoraPageEntry& entry = context->pages[start];
  context->fileFunctions.Seek(context->file, entry.fileOffset, 0);
  std::int32_t first = entry.firstFrame;
  if (start != 0) {
    for (;;) {
      const int paged = ogg_sync_pageout(&context->sync, &context->page);
      if (paged > 0) break;
      if (paged == 0 && ReadTheoraStreamData(context, kTheoraReadSize) == 0) return first;
    }
    // The packet that this page ends began on a page the reset stream never saw.
    if (ogg_page_continued(&context->page) != 0) ++first;
    ogg_stream_pagein(&context->stream, &context->page);
  }
  return first;
}

// Decodes frames first .. last; false when the file ended first.
bool DecodeFrameRange(TheoraMovieContext* context, std::int64_t first, std::int64_t last) {
  for (std::int64_t frame = first; frame <= last; ++frame) {
    if (!DecodeNextFrame(context)) return false;
  }
  return true;
}

// False when no entry holds the target (a movie without frames): the thread ends.
bool SeekPass(TheoraMovieContext* context) {
  SetThreadState(context, kTheoraSeeking);
  const std::int32_t target = context->seekTarget.load(std::memory_order_acquire);
  int entry = 0;
  while (entry < context->pageCount &&
         static_cast<std::int64_t>(context->pages[entry].firstFrame) + context->pages[entry].frames <= target) {
    ++entry;
  }
  if (entry >= context->pageCount) return false;
  // Start one entry before the last earlier entry with a key frame, so the
  // key frame's packet is complete however it was split across pages.
  int start = 0;
  if (entry > 0) {
    int p = entry - 1;
    while (p > 0 && context->pages[p].hasKeyFrame == 0) --p;
    start = p > 0 ? p - 1 : 0;
  }
  const std::int32_t first = RestartAtEntry(context, start);
  const bool complete = DecodeFrameRange(context, first, target);
  for (int i = 0; i < context->frameStockCount; ++i) context->frameStock[i].used.store(0, std::memory_order_release);
  context->decodedFrame = target;
  // A damaged file that ends before the target leaves no picture to store.
  context->endOfFile.store(complete ? 0 : 1, std::memory_order_release);
  context->seekRequest.store(0, std::memory_order_release);
  Signal(context->progress);
  return true;
}

// The stock window: frames cur .. cur + stock - 1, wrapping past the end.
struct StockWindow {
  std::int64_t cur;
  std::int64_t lim;
  std::int64_t frames;
  bool Holds(std::int64_t frame) const {
    return (frame >= cur && frame < lim) || (lim > frames && frame < lim - frames);
  }
};

int FindUsedSlot(const TheoraMovieContext* context, std::int64_t frame) {
  for (int i = 0; i < context->frameStockCount; ++i) {
    const FrameStockSlot& slot = context->frameStock[i];
    if (slot.used.load(std::memory_order_acquire) != 0 && slot.frame.load(std::memory_order_relaxed) == frame) {
      return i;
    }
  }
  return -1;
}

// A plane copy kept top row first. False when the buffer cannot be had.
bool CopyPlane(std::uint8_t** buffer, int stride, int height, const unsigned char* source, int sourceStride) {
  if (*buffer == nullptr) {
    *buffer = static_cast<std::uint8_t*>(AllocTracked(static_cast<std::size_t>(stride) * height, __FILE__, __LINE__));
    if (*buffer == nullptr) return false;
  }
  if (sourceStride == stride) {
    std::memcpy(*buffer, source, static_cast<std::size_t>(stride) * height);
  } else {
    // A bottom-up plane (negative stride) is turned top-down row by row.
    for (int row = 0; row < height; ++row) {
      std::memcpy(*buffer + static_cast<std::ptrdiff_t>(row) * stride,
                  source + static_cast<std::ptrdiff_t>(row) * sourceStride, static_cast<std::size_t>(stride));
    }
  }
  return true;
}

void ReplaceOnNewGeometry(std::uint8_t** buffer, std::int32_t* width, std::int32_t* height, std::int32_t* stride,
                          int newWidth, int newHeight, int newStride) {
  if (*width == newWidth && *height == newHeight && *stride == newStride) return;
  FreeTracked(*buffer);
  *buffer = nullptr;
  *width = newWidth;
  *height = newHeight;
  *stride = newStride;
}

// Stores the decoder's present output in a free slot; false when a plane
// buffer could not be allocated (the slot stays free).
bool StoreDecodedFrame(TheoraMovieContext* context, FrameStockSlot& slot) {
  yuv_buffer planes;
  if (theora_decode_YUVout(&context->decoder, &planes) != 0) return false;
  const int yStride = planes.y_stride < 0 ? -planes.y_stride : planes.y_stride;
  const int uvStride = planes.uv_stride < 0 ? -planes.uv_stride : planes.uv_stride;
  ReplaceOnNewGeometry(&slot.y, &slot.yWidth, &slot.yHeight, &slot.yStride, planes.y_width, planes.y_height, yStride);
  if (slot.uvWidth != planes.uv_width || slot.uvHeight != planes.uv_height || slot.uvStride != uvStride) {
    FreeTracked(slot.v);
    slot.v = nullptr;
  }
  ReplaceOnNewGeometry(&slot.u, &slot.uvWidth, &slot.uvHeight, &slot.uvStride, planes.uv_width, planes.uv_height,
                       uvStride);
  if (!CopyPlane(&slot.y, yStride, planes.y_height, planes.y, planes.y_stride) ||
      !CopyPlane(&slot.u, uvStride, planes.uv_height, planes.u, planes.uv_stride) ||
      !CopyPlane(&slot.v, uvStride, planes.uv_height, planes.v, planes.uv_stride)) {
    return false;
  }
  slot.frame.store(context->decodedFrame, std::memory_order_relaxed);
  slot.used.store(1, std::memory_order_release);
  Signal(context->progress);
  return true;
}

// Moves the decoder `step` frames on, through the end of the movie to its
// start when needed. False when the file ended first.
bool StepDecoder(TheoraMovieContext* context, std::int64_t step) {
  const std::int64_t next = context->decodedFrame + step;
  if (next < context->frameCount) return DecodeTheoraFramesForward(context, static_cast<int>(step)) >= 0;
  const std::int64_t wrapped = next - context->frameCount;
  RestartAtEntry(context, 0);
  if (!DecodeFrameRange(context, 0, wrapped)) return false;
  context->decodedFrame = static_cast<std::int32_t>(wrapped);
  return true;
}

// False when there is nothing to do until the main thread asks for more.
bool DecodePass(TheoraMovieContext* context) {
  // Nothing more can be decoded until a seek starts reading again. The state
  // leaves Seeking, which the conversion would wait out.
  if (context->endOfFile.load(std::memory_order_acquire) != 0) {
    SetThreadState(context, kTheoraDecoding);
    return false;
  }
  // A stock larger than the movie holds each frame once.
  const std::int64_t capacity = std::min<std::int64_t>(context->frameStockCount, context->frameCount);
  const std::int64_t cur = context->currentFrame.load(std::memory_order_acquire);
  const StockWindow window{cur, cur + capacity, context->frameCount};
  // Only frames inside the window are kept: a jump of the shown frame past
  // the end must free the stock, or the frame on view is never decoded.
  FrameStockSlot* free = nullptr;
  std::int64_t used = 0;
  for (int i = 0; i < context->frameStockCount; ++i) {
    FrameStockSlot& slot = context->frameStock[i];
    if (slot.used.load(std::memory_order_relaxed) != 0 && !window.Holds(slot.frame.load(std::memory_order_relaxed))) {
      slot.used.store(0, std::memory_order_release);
    }
    if (slot.used.load(std::memory_order_relaxed) != 0) {
      ++used;
    } else if (free == nullptr) {
      free = &slot;
    }
  }
  if (free == nullptr || used >= capacity) {
    // A full stock is frames ahead of the picture on view: a step frees a slot.
    SetThreadState(context, kTheoraStockFull);
    return false;
  }
  SetThreadState(context, kTheoraDecoding);

  const std::int64_t decoded = context->decodedFrame;
  const bool storeAsIs = window.Holds(decoded) && FindUsedSlot(context, decoded) < 0;
  if (!storeAsIs) {
    // Straight to the frame on view when the decoder's output is of no use,
    // skipping what a later key frame makes needless; else one frame on.
    std::int64_t step = 1;
    if (!window.Holds(decoded) && FindUsedSlot(context, window.cur) < 0) {
      step = ((window.cur - decoded) % window.frames + window.frames) % window.frames;
    }
    if (!StepDecoder(context, step)) {
      context->endOfFile.store(1, std::memory_order_release);
      Signal(context->progress);
      return false;
    }
  }
  // A plane buffer that could not be had is asked for again a little later.
  if (FindUsedSlot(context, context->decodedFrame) < 0 && !StoreDecodedFrame(context, *free)) SleepOneMillisecond();
  return true;
}

}  // namespace

int SeekTheoraFrame(TheoraMovieContext* context, int frame) {
  if (frame == context->currentFrame.load(std::memory_order_relaxed)) return 0;
  context->imageConverted.store(0, std::memory_order_relaxed);
  context->surfaceConverted.store(0, std::memory_order_relaxed);
  const std::int64_t last = context->frameCount > 0 ? context->frameCount - 1 : 0;
  const std::int32_t target = frame < 0 ? 0 : (frame > last ? static_cast<std::int32_t>(last) : frame);
  context->pauseRequest.store(1);
  SignalRequest(context);
  for (;;) {
    const std::uint32_t seen = context->progress.load(std::memory_order_acquire);
    const std::int32_t state = context->threadState.load();
    if (state == kTheoraPaused) break;
    if (state == kTheoraEnded) {
      // Nothing will seek any more; the conversion sees Ended and shows nothing new.
      context->currentFrame.store(target, std::memory_order_release);
      context->pauseRequest.store(0);
      return 0;
    }
    context->progress.wait(seen, std::memory_order_acquire);
  }
  context->currentFrame.store(target, std::memory_order_release);
  context->seekTarget.store(target, std::memory_order_release);
  context->seekRequest.store(1, std::memory_order_release);
  context->pauseRequest.store(0);
  SignalRequest(context);
  return 0;
}

int AdvanceTheoraFrames(TheoraMovieContext* context, int count) {
  if (count < 1) return 0;
  std::int64_t frame = static_cast<std::int64_t>(context->currentFrame.load(std::memory_order_relaxed)) + count;
  // A step of a whole movie or more wraps as often as it passes the end.
  if (context->frameCount > 0) frame %= context->frameCount;
  context->currentFrame.store(static_cast<std::int32_t>(frame), std::memory_order_release);
  context->imageConverted.store(0, std::memory_order_relaxed);
  context->surfaceConverted.store(0, std::memory_order_relaxed);
  SignalRequest(context);
  return 0;
}

void RequestTheoraStop(TheoraMovieContext* context) {
  context->stopRequest.store(1);
  SignalRequest(context);
}

void TheoraDecodeThreadProc(TheoraMovieContext* context) {
  while (context->stopRequest.load() == 0) {
    // Read before the shared fields: a request made after the look below
    // moves the counter, so the wait on it returns at once.
    const std::uint32_t seen = context->requests.load(std::memory_order_acquire);
    bool idle = false;
    if (context->pauseRequest.load() != 0) {
      SetThreadState(context, kTheoraPaused);
      idle = true;
    } else if (context->threadState.load() == kTheoraPaused) {
      // Leave Paused visibly before any work, so a pause asked for from now
      // on is waited for rather than taken as already granted.
      SetThreadState(context, kTheoraDecoding);
    } else if (context->seekRequest.load(std::memory_order_acquire) != 0) {
      if (!SeekPass(context)) break;
    } else {
      idle = !DecodePass(context);
    }
    if (idle && context->stopRequest.load() == 0) context->requests.wait(seen, std::memory_order_acquire);
  }
  SetThreadState(context, kTheoraEnded);
}

int DecodeTheoraFramesForward(TheoraMovieContext* context, int count) {
  std::int64_t lastKey = -1;
  for (int i = 0; i < count; ++i) {
    const std::int64_t frame = static_cast<std::int64_t>(context->decodedFrame) + i;
    if (frame < context->frameCount && context->keyFrames[frame] == 1) lastKey = frame;
  }
  for (int taken = 0; taken < count;) {
    if (!TakePacket(context)) return -1;
    if (theora_packet_iskeyframe(&context->packet) < 0) continue;
    if (lastKey == -1 || lastKey <= static_cast<std::int64_t>(context->decodedFrame) + 1) {
      theora_decode_packetin(&context->decoder, &context->packet);
    }
    ++context->decodedFrame;
    ++taken;
  }
  return theora_packet_iskeyframe(&context->packet) == 1 ? 1 : 0;
}

}  // namespace qz
