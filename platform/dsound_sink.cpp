// Where the mixer's output goes. The SDL audio device pulls periods from its
// own thread; the null sink's thread mixes as much as the clock says has
// passed (in 10 ms steps, so cursors move as a card's do) and discards it;
// under virtual time the thread that moves the clock mixes instead, so a
// sound ends at the same virtual moment however busy the machine is; the
// manual sink mixes only when a test renders. Any sink can keep what it
// mixed for a test to take.
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <thread>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/clock_internal.h"
#include "platform/debug_output.h"
#include "platform/dsound_internal.h"

namespace plat {
namespace {

constexpr int kDevicePeriodFrames = 1024;
constexpr int kNullPeriodMilliseconds = 10;
// A stall longer than this (a stopped debugger) is dropped, as a card that
// underruns drops it.
constexpr std::int64_t kLongestNullStepFrames = kMixRate / 10;
constexpr std::uint64_t kNanosPerSecond = 1000000000;
constexpr std::uint64_t kNullPeriodNanos = kNullPeriodMilliseconds * std::uint64_t{1000000};
// Virtual time passes in whole seconds at a sleep; a jump longer than this
// (a test skipping hours) is dropped beyond it.
constexpr std::uint64_t kLongestVirtualStepNanos = 10 * kNanosPerSecond;

AudioSinkKind gRequestedSink = AudioSinkKind::kDevice;
AudioSinkKind gActiveSink = AudioSinkKind::kNull;
bool gSinkOpen = false;
SDL_AudioDeviceID gDevice = 0;

std::thread gNullThread;
std::mutex gNullStopMutex;
std::condition_variable gNullStopSignal;
bool gNullStopping = false;

// Virtual time mixed up to (0: not since virtual time began), under the
// mixer mutex; the atomic copy lets the clock's readers skip the lock.
std::uint64_t gVirtualMixedNanos = 0;
std::atomic<std::uint64_t> gVirtualNextMixNanos{0};
thread_local bool tMixingForClock = false;

bool gCapturing = false;
std::vector<std::int16_t> gCaptured;
std::vector<std::int16_t> gScratch;

// Caller holds the mixer mutex.
void MixAndKeep(std::int16_t* output, int frames) {
  MixFramesLocked(output, frames);
  if (gCapturing) gCaptured.insert(gCaptured.end(), output, output + static_cast<std::size_t>(frames) * kMixChannels);
}

void DeviceCallback(void*, Uint8* stream, int length) {
  std::lock_guard<std::mutex> guard(MixerMutex());
  MixAndKeep(reinterpret_cast<std::int16_t*>(stream), length / static_cast<int>(sizeof(std::int16_t) * kMixChannels));
}

std::int64_t NowNanoseconds() {
  std::int64_t count = 0;
  QueryPerformanceCounter(&count);
  return count;
}

void MixNullFrames(std::int64_t frames) {
  gScratch.resize(static_cast<std::size_t>(frames) * kMixChannels);
  MixAndKeep(gScratch.data(), static_cast<int>(frames));
}

// The null sink under virtual time: whichever thread moves the clock mixes
// what has passed, in whole 10 ms periods. A thread already mixing, or one
// that finds the mixer busy, leaves it to the next move. The time the mover
// was told is stale by the time it holds the mixer (other threads may have
// moved the clock and mixed past it meanwhile), so the clock is read again
// under the lock: the mark then only goes back when the clock itself did.
void MixForVirtualTime(std::uint64_t movedTo) {
  if (tMixingForClock || !IsVirtualTime() || movedTo < gVirtualNextMixNanos.load(std::memory_order_acquire)) return;
  std::unique_lock<std::mutex> guard(MixerMutex(), std::try_to_lock);
  if (!guard.owns_lock()) return;
  tMixingForClock = true;
  const std::uint64_t now = PeekElapsedNanos();
  if (gVirtualMixedNanos == 0 || now < gVirtualMixedNanos) {
    gVirtualMixedNanos = now;  // virtual time began, or was taken back
  } else {
    const std::uint64_t periods = (now - gVirtualMixedNanos) / kNullPeriodNanos;
    if (periods * kNullPeriodNanos > kLongestVirtualStepNanos) gVirtualMixedNanos = now - kLongestVirtualStepNanos;
    for (; gVirtualMixedNanos + kNullPeriodNanos <= now; gVirtualMixedNanos += kNullPeriodNanos) {
      MixNullFrames(kMixRate * kNullPeriodMilliseconds / 1000);
    }
  }
  gVirtualNextMixNanos.store(gVirtualMixedNanos + kNullPeriodNanos, std::memory_order_release);
  tMixingForClock = false;
}

void RunNullSink() {
  std::int64_t last = 0;
  std::int64_t carried = 0;  // frames x 1e9 not yet mixed
  bool starting = true;      // at the start, or back from virtual time
  std::unique_lock<std::mutex> stopLock(gNullStopMutex);
  while (!gNullStopSignal.wait_for(stopLock, std::chrono::milliseconds(kNullPeriodMilliseconds),
                                   [] { return gNullStopping; })) {
    // Under virtual time the clock's movers mix; reading the clock here
    // would move it on from this thread.
    if (IsVirtualTime()) {
      starting = true;
      continue;
    }
    if (starting) {
      starting = false;
      last = NowNanoseconds();
      std::lock_guard<std::mutex> guard(MixerMutex());
      gVirtualMixedNanos = 0;
      gVirtualNextMixNanos.store(0, std::memory_order_release);
      continue;
    }
    const std::int64_t now = NowNanoseconds();
    // A step longer than one mixing burst is dropped anyway; capping it first
    // keeps a long stall from overflowing the product.
    carried += std::min<std::int64_t>(now - last, 1000000000) * kMixRate;
    last = now;
    std::int64_t frames = carried / 1000000000;
    carried -= frames * 1000000000;
    frames = std::min(frames, kLongestNullStepFrames);
    if (frames == 0) continue;
    std::lock_guard<std::mutex> guard(MixerMutex());
    MixNullFrames(frames);
  }
}

bool OpenDevice() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    OutputDebugStringA("SDL audio could not start; sound goes to the null sink\n");
    return false;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(kMixRate);
  wanted.format = AUDIO_S16SYS;
  wanted.channels = kMixChannels;
  wanted.samples = kDevicePeriodFrames;
  wanted.callback = DeviceCallback;
  SDL_AudioSpec obtained{};
  gDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (gDevice == 0) {
    OutputDebugStringA("SDL audio device could not open; sound goes to the null sink\n");
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(gDevice, 0);
  return true;
}

// A process may end through exit() without closing the sink (a library it
// calls ends it): the null sink's thread must not meet the static
// destructors still joinable, nor either sink mix from state they free.
void CloseAudioSinkAtExit() { CloseAudioSink(); }

}  // namespace

void OpenAudioSink() {
  [[maybe_unused]] static const int closedAtExit = std::atexit(CloseAudioSinkAtExit);
  if (gSinkOpen) CloseAudioSink();
  AudioSinkKind kind = gRequestedSink;
  if (kind == AudioSinkKind::kDevice && (GetBackendKind() != BackendKind::kDesktop || !OpenDevice())) {
    kind = AudioSinkKind::kNull;
  }
  if (kind == AudioSinkKind::kNull) {
    gNullStopping = false;
    {
      std::lock_guard<std::mutex> guard(MixerMutex());
      gVirtualMixedNanos = IsVirtualTime() ? PeekElapsedNanos() : 0;
      gVirtualNextMixNanos.store(gVirtualMixedNanos + kNullPeriodNanos, std::memory_order_release);
    }
    gNullThread = std::thread(RunNullSink);
    SetVirtualTimeListener(MixForVirtualTime);
  }
  gActiveSink = kind;
  gSinkOpen = true;
}

void CloseAudioSink() {
  if (!gSinkOpen) return;
  if (gActiveSink == AudioSinkKind::kDevice) {
    SDL_CloseAudioDevice(gDevice);
    gDevice = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  } else if (gActiveSink == AudioSinkKind::kNull) {
    SetVirtualTimeListener(nullptr);
    {
      std::lock_guard<std::mutex> guard(gNullStopMutex);
      gNullStopping = true;
    }
    gNullStopSignal.notify_all();
    gNullThread.join();
  }
  gSinkOpen = false;
}

void SetAudioSinkForTest(AudioSinkKind kind) { gRequestedSink = kind; }

AudioSinkKind GetActiveAudioSink() { return gActiveSink; }

std::vector<std::int16_t> RenderAudioForTest(int frames) {
  std::vector<std::int16_t> output;
  if (!gSinkOpen || gActiveSink != AudioSinkKind::kManual || frames <= 0) return output;
  output.resize(static_cast<std::size_t>(frames) * kMixChannels);
  std::lock_guard<std::mutex> guard(MixerMutex());
  MixAndKeep(output.data(), frames);
  return output;
}

void SetAudioCaptureForTest(bool enabled) {
  std::lock_guard<std::mutex> guard(MixerMutex());
  gCapturing = enabled;
  if (!enabled) gCaptured.clear();
}

std::vector<std::int16_t> TakeCapturedAudioForTest() {
  std::lock_guard<std::mutex> guard(MixerMutex());
  std::vector<std::int16_t> taken;
  taken.swap(gCaptured);
  return taken;
}

}  // namespace plat
