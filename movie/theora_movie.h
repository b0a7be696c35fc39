// The Theora road: one context per Ogg Theora movie, holding the libogg and
// libtheora states, the page and key-frame index made by one scan at open,
// the decode thread with its frame stock, and the converted frame image.
#pragma once

#include <theora/theora.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "core/file_access.h"
#include "image/base_image.h"
#include "platform/d3d9.h"

namespace qz {

enum TheoraThreadState : std::int32_t {
  kTheoraStockFull = 0,
  kTheoraDecoding = 1,
  kTheoraSeeking = 2,
  kTheoraEnded = 3,
  kTheoraPaused = 4,
};

// A run of frame packets completed after one page was read; runs follow one
// another, so an entry covers firstFrame .. firstFrame + frames - 1.
struct TheoraPageEntry {
  std::int64_t fileOffset;
  std::int32_t firstFrame;
  std::int32_t hasKeyFrame;
  std::int32_t frames;
};

// A decoded frame waiting to be shown: copies of the three planes in the
// decoder's row layout. The decode thread fills everything before it sets
// `used`, and rewrites a slot only after clearing it.
struct FrameStockSlot {
  std::atomic<std::int32_t> used;
  std::atomic<std::int32_t> frame;
  std::uint8_t* y;
  std::uint8_t* u;
  std::uint8_t* v;
  std::int32_t yWidth, yHeight, yStride;
  std::int32_t uvWidth, uvHeight, uvStride;
};

struct TheoraMovieInfo {
  double framesPerSecond;
  std::int32_t frameCount;
  std::int32_t width;  // the coded frame size
  std::int32_t height;
};

// Fields the two threads share are atomics: each has one writer (see
// theora_decode.cpp for who writes what); the others belong to whichever
// thread holds the libogg state at the time.
struct TheoraMovieContext {
  std::atomic<std::int32_t> threadState;
  std::atomic<std::int32_t> pauseRequest;
  std::atomic<std::int32_t> stopRequest;
  std::atomic<std::int32_t> seekRequest;
  std::atomic<std::int32_t> seekTarget;
  std::atomic<std::int32_t> endOfFile;
  std::thread thread;
  FileAccessTable fileFunctions;
  FileHandle file;
  ogg_sync_state sync;
  ogg_page page;
  ogg_stream_state stream;
  ogg_packet packet;
  theora_info info;
  theora_comment comment;
  theora_state decoder;
  bool decoderReady;  // theora_decode_init ran, so theora_clear may run
  std::int32_t serialNo;
  TheoraPageEntry* pages;
  std::int32_t pageCount;
  std::int32_t pageCapacity;
  std::uint8_t* keyFrames;
  std::int64_t keyFrameCapacity;
  std::int64_t frameCount;
  std::atomic<std::int32_t> currentFrame;
  std::int32_t decodedFrame;  // decode thread only, after the open
  std::int32_t headerPackets;
  FrameStockSlot* frameStock;
  std::int32_t frameStockCount;
  BaseImage frameImage;
  // A video surface of the device (the hardware path only), in the first of
  // YV12, YUY2 and UYVY the device offers; null and a zero code when none.
  plat::IDirect3DSurface9* yuvSurface;
  std::uint32_t yuvFourCC;
  // Main thread only: set by the conversion, cleared when the frame on view moves.
  std::atomic<std::int32_t> imageConverted;
  std::atomic<std::int32_t> surfaceConverted;
  // Wake-ups in place of sleeping polls. The main thread bumps `requests`
  // after each change the decode thread acts on (a step, a seek, a pause, the
  // stop); the decode thread bumps `progress` after each frame it stores and
  // each change of its state. Each side waits on the other's counter.
  std::atomic<std::uint32_t> requests;
  std::atomic<std::uint32_t> progress;
};

inline constexpr int kTheoraReadSize = 4096;

// Null when the file is no Theora movie, has no frame, or a resource fails
// (each resource failure is logged). Returns with frame 0 converted.
TheoraMovieContext* OpenTheoraMovie(const FileAccessTable* functions, FileHandle file, int frameStockCount);
// Ends the thread and frees everything; also the clean-up of a half-built context.
int CloseTheoraMovie(TheoraMovieContext* context);
// Feeds up to `count` bytes of the file to the page synchroniser; 0 at the end.
int ReadTheoraStreamData(TheoraMovieContext* context, int count);
// 1 when the three header packets were read, else -1.
int ReadTheoraHeaders(TheoraMovieContext* context);
int GetTheoraMovieInfo(const TheoraMovieContext* context, TheoraMovieInfo* info);
int GetTheoraCurrentFrame(const TheoraMovieContext* context);

// Decode thread and stepping (theora_decode.cpp).
// Asks the decode thread to end; CloseTheoraMovie joins it.
void RequestTheoraStop(TheoraMovieContext* context);
int SeekTheoraFrame(TheoraMovieContext* context, int frame);
int AdvanceTheoraFrames(TheoraMovieContext* context, int count);
void TheoraDecodeThreadProc(TheoraMovieContext* context);
// 1 when the last packet taken is a key frame, 0 when not, -1 at the end of the file.
int DecodeTheoraFramesForward(TheoraMovieContext* context, int count);

// Frame conversion (theora_convert.cpp): brings the frame on view into the
// frame image and/or the video surface. 1 when some asked work was done, 0
// when there was nothing to do, no frame can come, or the surface could not
// be written.
int ConvertTheoraFrame(TheoraMovieContext* context, int imageFlag, int surfaceFlag);
// The same image work written into `image` (32-bit X8R8G8B8, at most the
// coded size is written) in place of the frame image: the picture goes
// straight to where it is shown. The image marker then stands for `image`,
// so a movie's frames go either to its frame image or to one such target.
int ConvertTheoraFrameToImage(TheoraMovieContext* context, BaseImage* image);
BaseImage* GetTheoraFrameImage(TheoraMovieContext* context);
plat::IDirect3DSurface9* GetTheoraYuvSurface(TheoraMovieContext* context);

// The video surface (theora_yuv_surface.cpp). (Re)creates it on the graphics
// device while drawing goes through it; releases it otherwise.
void CreateTheoraYuvSurface(TheoraMovieContext* context);
void ReleaseTheoraYuvSurface(TheoraMovieContext* context);
// Locks the surface (re-creating it after a failed lock, three attempts) and
// writes the slot's planes in its layout. False when no lock succeeded.
bool WriteTheoraYuvSurface(TheoraMovieContext* context, const FrameStockSlot& slot);

}  // namespace qz
