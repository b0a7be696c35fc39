// A frame's rasterising split over worker threads: draws and row tasks are
// recorded as they come and run by every worker for its own band of the
// target's rows, in the order they were recorded, so the pixels are those of
// one thread running them all.
#pragma once

#include <functional>
#include <memory>

#include "platform/d3d9_raster.h"

namespace plat::raster {

// The workers a new device rasterises with: QZ_RASTER_THREADS when set (0 and
// 1: none, the calling thread draws), otherwise the processors this process
// may run on, at most 8.
int RasterWorkerCount();
// Tests: the count for devices made from now on (0: the environment's again).
void SetRasterWorkerCountForTests(int workers);

class BandWorkers {
 public:
  // Starts `workers` threads (at least 2).
  explicit BandWorkers(int workers);
  // Finishes what is recorded and stops the threads.
  ~BandWorkers();
  BandWorkers(const BandWorkers&) = delete;
  BandWorkers& operator=(const BandWorkers&) = delete;

  int workers() const;

  // Checks a draw as DrawPrimitives does and records it with copies of its
  // vertices and indices; nothing is recorded unless kOk. The report holds
  // only what is known before drawing (the missing-texture flags). The
  // target's and the textures' pixels must stay until the draw is finished.
  Status RecordDraw(const Target& target, const State& state, const Draw& draw, Report* report);

  // Records body(top, bottom) for rows [top, bottom) of a target `height`
  // rows high: each worker runs it for the part inside its band.
  void RecordRows(int height, int top, int bottom, std::function<void(int top, int bottom)> body);

  // Returns once everything recorded so far is done.
  void Finish();

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};

// Finishes the recorded work of every BandWorkers alive: called before
// anything reads or changes pixels that recorded work may read or write.
void FinishAllRecordedWork();

}  // namespace plat::raster
