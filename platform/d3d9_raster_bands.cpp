// Worker threads of a split frame: a ring of recorded commands that the
// recording thread fills and the workers read in order, band by band, each
// run drawing only inside its band's rows. Waits spin first, then sleep on
// the counter they wait for (futex). Only the thread that made the workers
// records and finishes; pixels note the workers whose commands use them.
#include "platform/d3d9_raster_bands.h"

#include <emmintrin.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cstring>
#include <limits>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/d3d9_raster_internal.h"

namespace plat::raster {
namespace {

constexpr int kMostWorkersByDefault = 8;
constexpr int kMostWorkers = 64;
constexpr std::uint32_t kRingSize = 256;  // a power of two
constexpr std::uint32_t kStopBit = 0x80000000u;
constexpr std::uint32_t kCountMask = 0x7FFFFFFFu;
// About a hundred microseconds: a frame's next draw usually comes sooner than
// a sleeping thread wakes (on a virtual machine, often later than that).
constexpr int kSpins = 4000;
// The recording thread, once it waits for a band a worker is drawing, has
// nothing else to do: it spins longer (about a millisecond) before sleeping,
// since a wake-up would come later than the band's end.
constexpr int kWaitingSpins = 40000;
// Waking sleeping workers costs the recording thread a system call, worth it
// for a draw of many primitives or a row task, or for a few light draws.
constexpr int kHeavyPrimitives = 64;
constexpr int kLightCommandsPerWake = 8;

std::atomic<int> gTestWorkerCount{0};

int AvailableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

struct Band {
  int top;
  int bottom;
};

// Equal shares of the target's rows; the outer bands reach past its edges,
// so every row belongs to exactly one band.
Band BandOf(int height, int worker, int workers) {
  const long long rows = height;
  return {worker == 0 ? INT_MIN : static_cast<int>(rows * worker / workers),
          worker == workers - 1 ? INT_MAX : static_cast<int>(rows * (worker + 1) / workers)};
}

struct Command {
  bool isDraw = false;
  int height = 0;  // rows of the target the bands divide
  DrawSetup setup;
  Draw draw;  // vertices and indices point into the copies below
  std::vector<std::uint8_t> vertices;
  std::vector<std::uint8_t> indices;
  // Triangle-list draws: the first and last band each pair of triangles may
  // reach; empty when every band runs the whole draw.
  std::vector<std::pair<std::uint8_t, std::uint8_t>> pairBands;
  int top = 0;
  int bottom = 0;
  std::function<void(int, int)> rows;
};

// Runs triangle pairs first .. last - 1 of a triangle-list draw: a run of
// the draw's own primitives, since list triangles stand alone.
void RunPairs(const DrawSetup& setup, const Draw& draw, std::size_t first, std::size_t last) {
  Draw part = draw;
  const auto firstTriangle = static_cast<long long>(2 * first);
  const long long endTriangle = std::min<long long>(static_cast<long long>(2 * last), draw.primitiveCount);
  part.primitiveCount = static_cast<int>(endTriangle - firstTriangle);
  if (draw.indices != nullptr) {
    part.indices = static_cast<const std::uint8_t*>(draw.indices) + 3 * firstTriangle * draw.indexBytes;
  } else {
    part.vertices = static_cast<const std::uint8_t*>(draw.vertices) + 3 * firstTriangle * draw.stride;
    part.vertexCount = static_cast<int>(draw.vertexCount - 3 * firstTriangle);
  }
  Report report;
  RunPreparedDraw(setup, part, &report);
}

// Runs a command for bands first .. last, which together cover `band`.
void RunForBands(const Command& command, const Band& band, int first, int last) {
  if (command.isDraw) {
    // Each worker draws from its own copy: the set-up caches texel factors.
    DrawSetup setup = command.setup;
    setup.clip.top = std::max(setup.clip.top, band.top);
    setup.clip.bottom = std::min(setup.clip.bottom, band.bottom);
    if (setup.clip.top >= setup.clip.bottom) return;
    setup.bandOnly = true;
    if (!command.pairBands.empty()) {
      // Runs of consecutive pairs that reach these bands are drawn as one.
      const auto reaches = [&](std::size_t pair) {
        return command.pairBands[pair].first <= last && command.pairBands[pair].second >= first;
      };
      const std::size_t pairs = command.pairBands.size();
      for (std::size_t pair = 0; pair < pairs;) {
        if (!reaches(pair)) {
          ++pair;
          continue;
        }
        const std::size_t runFirst = pair;
        while (pair < pairs && reaches(pair)) ++pair;
        RunPairs(setup, command.draw, runFirst, pair);
      }
      return;
    }
    Report report;
    RunPreparedDraw(setup, command.draw, &report);
    return;
  }
  const int top = std::max(command.top, band.top), bottom = std::min(command.bottom, band.bottom);
  if (top < bottom) command.rows(top, bottom);
}

// Bytes of one vertex that ReadVertex reads.
std::size_t VertexBytesRead(const VertexLayout& layout) {
  int end = 16;
  if (layout.diffuseOffset >= 0) end = std::max(end, layout.diffuseOffset + 4);
  if (layout.specularOffset >= 0) end = std::max(end, layout.specularOffset + 4);
  for (int set = 0; set < layout.coordSetCount; ++set) {
    end = std::max(end, layout.coordOffset[static_cast<std::size_t>(set)] +
                            4 * layout.coordFloats[static_cast<std::size_t>(set)]);
  }
  return static_cast<std::size_t>(end);
}

// Copies a draw's bytes into a command's buffer, one given back by an
// earlier command when it has none. Buffers grow by powers of two and never
// shrink: draws of a little different sizes take turns with them, and a
// buffer sized to each would be freed and faulted in again.
void CopyInto(std::vector<std::uint8_t>* buffer, std::vector<std::vector<std::uint8_t>>* spare, const void* bytes,
              std::uint64_t count) {
  if (buffer->capacity() == 0 && !spare->empty()) {
    buffer->swap(spare->back());
    spare->pop_back();
  }
  if (buffer->capacity() < count) {
    buffer->clear();
    buffer->reserve(std::bit_ceil(count));
  }
  const auto* first = static_cast<const std::uint8_t*>(bytes);
  buffer->assign(first, first + count);
}

// The lowest and highest y of a triangle pair's six vertices; false when one
// is not a number (every band then runs the pair).
bool PairRows(const Draw& draw, std::uint32_t pair, float* top, float* bottom) {
  const auto* vertices = static_cast<const std::uint8_t*>(draw.vertices);
  const auto* indices = static_cast<const std::uint8_t*>(draw.indices);
  *top = std::numeric_limits<float>::infinity();
  *bottom = -*top;
  if (indices == nullptr) {
    // A list's own order: the six are consecutive.
    const std::uint8_t* at = vertices + static_cast<std::ptrdiff_t>(6LL * pair) * draw.stride + 4;
    for (int i = 0; i < 6; ++i, at += draw.stride) {
      float y;
      std::memcpy(&y, at, 4);
      if (!(y == y)) return false;
      *top = std::min(*top, y);
      *bottom = std::max(*bottom, y);
    }
    return true;
  }
  for (long long i = 6LL * pair; i < 6LL * pair + 6; ++i) {
    std::uint32_t index = static_cast<std::uint32_t>(i);
    if (indices != nullptr && draw.indexBytes == 2) {
      std::uint16_t small;
      std::memcpy(&small, indices + 2 * i, 2);
      index = small;
    } else if (indices != nullptr) {
      std::memcpy(&index, indices + 4 * i, 4);
    }
    float y;
    std::memcpy(&y, vertices + static_cast<std::ptrdiff_t>(index) * draw.stride + 4, 4);
    if (!(y == y)) return false;
    *top = std::min(*top, y);
    *bottom = std::max(*bottom, y);
  }
  return true;
}

// Finds the bands each pair of a long triangle-list draw may reach, with the
// pixel to spare that a band's own test keeps, so a band passes over only
// pairs that test would pass over; a lone last triangle reaches every band.
void FindPairBands(Command* command, int workers) {
  command->pairBands.clear();
  const Draw& draw = command->draw;
  if (draw.primitiveType != D3DPT_TRIANGLELIST || draw.primitiveCount < kHeavyPrimitives) return;
  const auto pairs = static_cast<std::uint32_t>((draw.primitiveCount + 1) / 2);
  std::vector<Band> bands(static_cast<std::size_t>(workers));
  for (int b = 0; b < workers; ++b) bands[static_cast<std::size_t>(b)] = BandOf(command->height, b, workers);
  command->pairBands.resize(pairs);
  for (std::uint32_t pair = 0; pair < pairs; ++pair) {
    float top = 0, bottom = 0;
    int first = 0, last = workers - 1;
    if (2LL * pair + 1 < draw.primitiveCount && PairRows(draw, pair, &top, &bottom)) {
      // Bands are in order from the top: those the pair reaches are
      // consecutive. The search starts from the band of the pair's rows
      // (the bands are equal shares) and steps to the exact edge.
      const auto bandNear = [&](float y) {
        const float share = std::clamp(y, 0.0f, static_cast<float>(command->height)) * static_cast<float>(workers) /
                            static_cast<float>(std::max(command->height, 1));
        return std::clamp(static_cast<int>(share), 0, workers - 1);
      };
      const auto above = [&](int b) { return top > static_cast<float>(bands[static_cast<std::size_t>(b)].bottom) + 1.0f; };
      const auto below = [&](int b) { return bottom < static_cast<float>(bands[static_cast<std::size_t>(b)].top) - 1.0f; };
      first = bandNear(top);
      while (first > 0 && !above(first - 1)) --first;
      while (first < workers - 1 && above(first)) ++first;
      last = bandNear(bottom);
      while (last < workers - 1 && !below(last + 1)) ++last;
      while (last > 0 && below(last)) --last;
    }
    command->pairBands[pair] = {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(last)};
  }
}

}  // namespace

int RasterWorkerCount() {
  const int forTests = gTestWorkerCount.load();
  if (forTests > 0) return std::min(forTests, kMostWorkers);
  const char* text = std::getenv("QZ_RASTER_THREADS");
  if (text != nullptr && *text != '\0') {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && value >= 0) {
      return std::clamp(static_cast<int>(std::min<long>(value, kMostWorkers)), 1, kMostWorkers);
    }
  }
  return std::min(AvailableProcessors(), kMostWorkersByDefault);
}

void SetRasterWorkerCountForTests(int workers) { gTestWorkerCount.store(std::max(0, workers)); }

// Each band's progress word: the commands run for it, and whether a thread
// is running them now. Any thread may run a band that no one is running, so
// a worker the system has not scheduled holds nothing up: the others, and
// the recording thread when it waits, take its band.
struct BandWorkers::Shared {
  static constexpr std::uint32_t kRunning = 0x80000000u;

  struct alignas(64) BandProgress {
    std::atomic<std::uint32_t> word{0};
  };

  explicit Shared(int count)
      : workers(count), bands(new BandProgress[static_cast<std::size_t>(count)]), ring(kRingSize) {}

  // Whether a band that has run `done` commands has some before `until`
  // (which a worker may have read before the band got further).
  static bool Behind(std::uint32_t done, std::uint32_t until) {
    const std::uint32_t ahead = (until - done) & kCountMask;
    return ahead != 0 && ahead <= kRingSize;
  }

  // Runs the next command before `until` for bands b, b + 1, ... (at most
  // `most`), as one taller band, claiming each while it is idle and exactly
  // as far as band b; the count of bands run (0: none). Drawing adjacent
  // bands together gives the same pixels as drawing them apart. A band is
  // held for one command only: a thread the system stops between commands
  // holds none up, as any other may take the band's next.
  int TryRunBands(int b, int most, std::uint32_t until) {
    const std::uint32_t next = bands[b].word.load(std::memory_order_acquire);
    if ((next & kRunning) != 0 || !Behind(next, until)) return 0;
    int end = b;
    for (; end < workers && end - b < most; ++end) {
      std::uint32_t expected = next;
      if (!bands[end].word.compare_exchange_strong(expected, next | kRunning, std::memory_order_acquire)) break;
    }
    if (end == b) return 0;
    const Command& command = ring[next % kRingSize];
    RunForBands(command, {BandOf(command.height, b, workers).top, BandOf(command.height, end - 1, workers).bottom},
                b, end - 1);
    const std::uint32_t after = (next + 1) & kCountMask;
    for (int k = b; k < end; ++k) {
      bands[k].word.store(after, std::memory_order_release);
      bands[k].word.notify_all();
    }
    return end - b;
  }

  // The recording thread: until `ready` holds for every band's count, runs
  // any band no worker is running, and sleeps only when the bands left are
  // all being run by workers.
  template <typename Ready>
  void DriveBands(Ready ready) {
    for (int spin = 0;; ++spin) {
      int busy = -1;
      std::uint32_t busyWord = 0;
      bool ran = false;
      for (int b = 0; b < workers; ++b) {
        const std::uint32_t word = bands[b].word.load(std::memory_order_acquire);
        if (ready(word & kCountMask)) continue;
        if (unwoken > 0) WakeWorkers();  // they share what is left
        if ((word & kRunning) == 0) {
          // Bands no worker has started are run together: when the workers
          // get no processor, the frame costs what one thread's would.
          const int run = TryRunBands(b, workers, published);
          ran = ran || run > 0;
          b += std::max(run, 1) - 1;
        } else {
          busy = b;
          busyWord = word;
        }
      }
      if (ran) continue;
      if (busy < 0) {
        // Ready everywhere unless a worker let a band go since it was read.
        bool all = true;
        for (int b = 0; b < workers && all; ++b) {
          all = ready(bands[b].word.load(std::memory_order_acquire) & kCountMask);
        }
        if (all) return;
      } else if (spin < kWaitingSpins) {
        _mm_pause();
      } else {
        bands[busy].word.wait(busyWord, std::memory_order_acquire);
      }
    }
  }

  // The slot of the next command, once every band is past the command that
  // held it a ring ago.
  Command& NextSlot() {
    DriveBands([this](std::uint32_t done) { return ((published - done) & kCountMask) < kRingSize; });
    ReclaimBuffers();
    return ring[published % kRingSize];
  }

  // Takes the copy buffers of the commands every band has run since the
  // last call for the draws to come: the few draws in flight then share a
  // few buffers, where each of the ring's slots would fault in its own.
  void ReclaimBuffers() {
    std::uint32_t lag = 0;
    for (int b = 0; b < workers; ++b) {
      lag = std::max(lag, (published - (bands[b].word.load(std::memory_order_acquire) & kCountMask)) & kCountMask);
    }
    const std::uint32_t done = (published - lag) & kCountMask;
    for (; reclaimed != done; reclaimed = (reclaimed + 1) & kCountMask) {
      Command& command = ring[reclaimed % kRingSize];
      for (std::vector<std::uint8_t>* buffer : {&command.vertices, &command.indices}) {
        if (buffer->capacity() == 0) continue;
        spareBuffers.emplace_back();
        spareBuffers.back().swap(*buffer);
      }
    }
  }

  // Makes the next command visible. Sleeping workers are woken for a
  // command with much to draw, or once a few light ones are waiting; a
  // woken worker takes every command published by then.
  void Publish(bool heavy) {
    published = (published + 1) & kCountMask;
    signal.store(published, std::memory_order_release);
    if (heavy || ++unwoken >= kLightCommandsPerWake) WakeWorkers();
  }

  void WakeWorkers() {
    unwoken = 0;
    signal.notify_all();
  }

  void Finish() {
    DriveBands([this](std::uint32_t done) { return done == published; });
  }

  // Another thread: waits until every band has run the commands before
  // `until`, reading only the bands' words, while the workers run them.
  void AwaitFromAnotherThread(std::uint32_t until) {
    signal.notify_all();  // light commands may not have woken them
    for (int b = 0; b < workers; ++b) {
      for (;;) {
        const std::uint32_t word = bands[b].word.load(std::memory_order_acquire);
        if (!Behind(word & kCountMask, until)) break;
        bands[b].word.wait(word, std::memory_order_acquire);
      }
    }
  }

  // A worker: its own band first, then any other no one is running.
  void Run(int index) {
    for (;;) {
      const std::uint32_t seen = signal.load(std::memory_order_acquire);
      const std::uint32_t until = seen & kCountMask;
      bool ran = false;
      while (TryRunBands(index, 1, until) > 0) ran = true;
      // Then one command of a band no one is running, and its own again.
      for (int k = 1; k < workers && !ran; ++k) ran = TryRunBands((index + k) % workers, 1, until) > 0;
      if (ran) continue;
      if ((seen & kStopBit) != 0) return;
      std::uint32_t now = seen;
      for (int spin = 0; now == seen && spin < kSpins; ++spin) {
        _mm_pause();
        now = signal.load(std::memory_order_acquire);
      }
      if (now == seen) signal.wait(seen, std::memory_order_acquire);
    }
  }

  const int workers;
  std::unique_ptr<BandProgress[]> bands;
  std::vector<Command> ring;
  std::atomic<std::uint32_t> signal{0};  // the published count, and kStopBit to stop
  std::uint32_t published = 0;           // the recording thread's own copy
  std::uint32_t reclaimed = 0;           // commands before this have given back their buffers
  std::vector<std::vector<std::uint8_t>> spareBuffers;
  int unwoken = 0;                       // light commands published since the last wake
  std::vector<std::thread> threads;
};

// What pixels that recorded commands use need to know of the workers,
// shared with them so it outlives the workers.
struct BandWorkers::Progress {
  const std::thread::id owner = std::this_thread::get_id();
  std::uint64_t recorded = 0;  // commands recorded: the owner's alone
  // Commands known done: written by the owner as it finishes, read by anyone.
  std::atomic<std::uint64_t> finished{0};
  std::mutex mutex;          // keeps `shared` while another thread waits on it
  Shared* shared = nullptr;  // null once the workers have stopped

  bool OnOwnerThread() const { return std::this_thread::get_id() == owner; }

  // The owner, with the workers running.
  void FinishAll() {
    shared->Finish();
    finished.store(recorded, std::memory_order_release);
  }
};

BandWorkers::BandWorkers(int workers)
    : shared_(std::make_unique<Shared>(std::max(2, workers))), progress_(std::make_shared<Progress>()) {
  progress_->shared = shared_.get();
  for (int i = 0; i < shared_->workers; ++i) shared_->threads.emplace_back([this, i] { shared_->Run(i); });
}

BandWorkers::~BandWorkers() {
  {
    const std::lock_guard<std::mutex> lock(progress_->mutex);
    progress_->FinishAll();
    progress_->shared = nullptr;
  }
  shared_->signal.store(shared_->published | kStopBit, std::memory_order_release);
  shared_->signal.notify_all();
  for (std::thread& thread : shared_->threads) thread.join();
}

int BandWorkers::workers() const { return shared_->workers; }

bool BandWorkers::OnOwnerThread() const { return progress_->OnOwnerThread(); }

Status BandWorkers::RecordDraw(const Target& target, const State& state, const Draw& draw, Report* report) {
  Report local;
  Report* out = report != nullptr ? report : &local;
  *out = Report{};
  if (!progress_->OnOwnerThread()) return Status::kWrongThread;
  Command& command = shared_->NextSlot();
  // PrepareDraw expects a fresh set-up: a slot's last one holds another
  // draw's cached factors and pointers.
  command.setup = DrawSetup{};
  const Status status = PrepareCheckedDraw(target, state, draw, &command.setup, out);
  if (status != Status::kOk) {
    *out = Report{};
    return status;
  }
  const std::uint64_t needed =
      VerticesForPrimitives(draw.primitiveType, static_cast<std::uint64_t>(draw.primitiveCount));
  const std::uint64_t vertexCount = draw.indices != nullptr ? static_cast<std::uint64_t>(draw.vertexCount) : needed;
  CopyInto(&command.vertices, &shared_->spareBuffers, draw.vertices,
           (vertexCount - 1) * static_cast<std::uint64_t>(draw.stride) + VertexBytesRead(command.setup.layout));
  command.draw = draw;
  command.draw.vertices = command.vertices.data();
  if (draw.indices != nullptr) {
    CopyInto(&command.indices, &shared_->spareBuffers, draw.indices,
             needed * static_cast<std::uint64_t>(draw.indexBytes));
    command.draw.indices = command.indices.data();
  }
  command.isDraw = true;
  command.height = target.color.height;
  command.rows = nullptr;
  FindPairBands(&command, shared_->workers);
  shared_->Publish(draw.primitiveCount >= kHeavyPrimitives);
  ++progress_->recorded;
  return Status::kOk;
}

bool BandWorkers::RecordRows(int height, int top, int bottom, std::function<void(int, int)> body) {
  if (!progress_->OnOwnerThread()) return false;
  Command& command = shared_->NextSlot();
  command.isDraw = false;
  command.pairBands.clear();
  command.height = height;
  command.top = top;
  command.bottom = bottom;
  command.rows = std::move(body);
  shared_->Publish(true);
  ++progress_->recorded;
  return true;
}

bool BandWorkers::Finish() {
  if (!progress_->OnOwnerThread()) return false;
  progress_->FinishAll();
  return true;
}

void RecordedUses::Await(const Use& use) {
  BandWorkers::Progress& progress = *use.progress;
  if (progress.finished.load(std::memory_order_acquire) >= use.through) return;
  const std::lock_guard<std::mutex> lock(progress.mutex);
  if (progress.shared == nullptr) return;  // stopped, so finished
  if (progress.OnOwnerThread()) {
    progress.FinishAll();
  } else {
    progress.shared->AwaitFromAnotherThread(static_cast<std::uint32_t>(use.through) & kCountMask);
  }
}

RecordedUses::~RecordedUses() {
  for (const Use& use : uses_) Await(use);
}

std::function<void()> RecordedUses::Waiter() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return [uses = uses_] {
    for (const Use& use : uses) Await(use);
  };
}

void RecordedUses::Add(const BandWorkers& workers) {
  const std::uint64_t through = workers.progress_->recorded;
  const std::lock_guard<std::mutex> lock(mutex_);
  for (Use& use : uses_) {
    if (use.progress == workers.progress_) {
      use.through = through;
      return;
    }
  }
  // Workers done with the pixels, such as an earlier device's, drop out.
  std::erase_if(uses_, [](const Use& use) {
    return use.progress->finished.load(std::memory_order_acquire) >= use.through;
  });
  uses_.push_back({workers.progress_, through});
}

bool RecordedUses::Finish() {
  const std::lock_guard<std::mutex> lock(mutex_);
  bool all = true;
  std::erase_if(uses_, [&all](const Use& use) {
    BandWorkers::Progress& progress = *use.progress;
    if (progress.finished.load(std::memory_order_acquire) >= use.through) return true;
    if (!progress.OnOwnerThread()) {
      all = false;
      return false;
    }
    const std::lock_guard<std::mutex> workersLock(progress.mutex);
    if (progress.shared != nullptr) progress.FinishAll();
    return true;
  });
  return all;
}

}  // namespace plat::raster
