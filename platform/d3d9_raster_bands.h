// A frame's rasterising split over worker threads: draws and row tasks are
// recorded as they come and run by every worker for its own band of the
// target's rows, in the order they were recorded, so the pixels are those of
// one thread running them all.
//
// Each draw is checked and prepared on the calling thread and recorded with
// copies of its vertices and indices; clears and the present's copy into the
// window (when it makes one) are recorded as row tasks. Each band is an equal
// share of the target's rows, and its pieces run clipped to it (every path's
// result for a pixel depends on its position alone, never on where the clip
// starts). A band wholly missed by a sprite pair passes over it after reading
// its heights, and a long triangle list notes as it is recorded the bands
// each pair of its triangles reaches (with the pixel to spare a band's own
// test keeps), so a band passes over the other pairs without reading their
// vertices. A band is taken one recorded command at a time: a worker runs its
// own band's commands, then one of a band no one is running before it looks
// at its own again; the calling thread, while it waits, takes adjacent bands
// no worker is running as one. So a worker the system stops between commands
// holds nothing up, and a frame whose workers get no processor costs about
// one thread's. The copies of vertices and indices go into buffers that
// draws every band has run give back (grown by powers of two, never shrunk).
// Sleeping workers are woken for a draw of many primitives, a row task, or
// every few light draws. The ring of commands is shared through atomics: the
// published count, which the workers wait on, and each band's progress word
// (count and a running bit), which the main thread waits on; waits spin
// first (a worker about a hundred microseconds, the main thread about a
// millisecond: waking a sleeping thread on a virtual machine often takes
// longer), then sleep on the futex.
// Each surface's and texture level's pixels note the workers whose recorded
// work uses them (`RecordedUses`): a lock, read-back, copy or fill of those
// pixels finishes that work first, and is refused on another thread while it
// is unfinished (pixels no recorded work uses may be locked anywhere, as a
// loader thread would). Pixels going away wait for the work that uses them.
// A present, a change of render target or depth surface and the device's end
// finish everything recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/d3d9_raster.h"

namespace plat::raster {

// The workers a new device rasterises with: QZ_RASTER_THREADS when set (0 and
// 1: none, the calling thread draws), otherwise the processors this process
// may run on, at most 8.
int RasterWorkerCount();
// Tests: the count for devices made from now on (0: the environment's again).
void SetRasterWorkerCountForTests(int workers);

class RecordedUses;

// Workers belong to the thread that makes them, their device's: recording
// and finishing touch state of that thread's alone, so calls from another
// thread are refused and change nothing.
class BandWorkers {
 public:
  // Starts `workers` threads (at least 2) for the calling thread.
  explicit BandWorkers(int workers);
  // Finishes what is recorded and stops the threads; from any thread, as
  // whoever ends the device holds its last reference.
  ~BandWorkers();
  BandWorkers(const BandWorkers&) = delete;
  BandWorkers& operator=(const BandWorkers&) = delete;

  int workers() const;
  // Whether the calling thread is the one the workers belong to.
  bool OnOwnerThread() const;

  // Checks a draw as DrawPrimitives does and records it with copies of its
  // vertices and indices; nothing is recorded unless kOk. The report holds
  // only what is known before drawing (the missing-texture flags). The
  // target's and the textures' pixels must stay until the draw is finished.
  // kWrongThread from another thread.
  Status RecordDraw(const Target& target, const State& state, const Draw& draw, Report* report);

  // Records body(top, bottom) for rows [top, bottom) of a target `height`
  // rows high: each worker runs it for the part inside its band. False,
  // nothing recorded, from another thread.
  [[nodiscard]] bool RecordRows(int height, int top, int bottom, std::function<void(int top, int bottom)> body);

  // Returns once everything recorded so far is done; false at once from
  // another thread.
  [[nodiscard]] bool Finish();

 private:
  friend class RecordedUses;
  struct Shared;
  struct Progress;
  std::unique_ptr<Shared> shared_;
  std::shared_ptr<Progress> progress_;
};

// The band workers whose recorded commands read or write one set of pixels
// (a surface's, a texture level's), and how far each must get before the
// pixels may be read, changed or freed by anyone else.
class RecordedUses {
 public:
  RecordedUses() = default;
  // Pixels going away wait for the commands that use them: those of the
  // calling thread's workers are finished, those of another thread's are
  // waited for while its workers run them (a release cannot be refused).
  ~RecordedUses();
  RecordedUses(const RecordedUses&) = delete;
  RecordedUses& operator=(const RecordedUses&) = delete;

  // The workers' thread, once it has recorded a command using the pixels.
  void Add(const BandWorkers& workers);

  // Finishes the workers with unfinished commands using the pixels. False
  // when some belong to another thread: their commands may still run, and
  // the caller must leave the pixels alone.
  [[nodiscard]] bool Finish();

  // A wait, callable from any thread and more than once, for the commands
  // recorded so far that use the pixels, as the destructor waits: for pixels
  // handed on while those commands may still run.
  std::function<void()> Waiter();

 private:
  struct Use {
    std::shared_ptr<BandWorkers::Progress> progress;
    std::uint64_t through;  // the count of the workers' commands that must be done
  };
  static void Await(const Use& use);

  std::mutex mutex_;
  std::vector<Use> uses_;
};

}  // namespace plat::raster
