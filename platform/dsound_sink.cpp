// Where the mixer's output goes. The SDL audio device pulls periods from its
// own thread; the null sink's thread mixes as much as the clock says has
// passed (in 10 ms steps, so cursors move as a card's do) and discards it;
// the manual sink mixes only when a test renders. Any sink can keep what it
// mixed for a test to take.
#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <thread>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/dsound_internal.h"

namespace plat {
namespace {

constexpr int kDevicePeriodFrames = 1024;
constexpr int kNullPeriodMilliseconds = 10;
// A stall longer than this (a stopped debugger, a jump of virtual time) is
// dropped, as a card that underruns drops it.
constexpr std::int64_t kLongestNullStepFrames = kMixRate / 10;

AudioSinkKind gRequestedSink = AudioSinkKind::kDevice;
AudioSinkKind gActiveSink = AudioSinkKind::kNull;
bool gSinkOpen = false;
SDL_AudioDeviceID gDevice = 0;

std::thread gNullThread;
std::mutex gNullStopMutex;
std::condition_variable gNullStopSignal;
bool gNullStopping = false;

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

void RunNullSink() {
  std::int64_t last = NowNanoseconds();
  std::int64_t carried = 0;  // frames x 1e9 not yet mixed
  std::unique_lock<std::mutex> stopLock(gNullStopMutex);
  while (!gNullStopSignal.wait_for(stopLock, std::chrono::milliseconds(kNullPeriodMilliseconds),
                                   [] { return gNullStopping; })) {
    const std::int64_t now = NowNanoseconds();
    // A step longer than one mixing burst is dropped anyway; capping it first
    // keeps a big (virtual) clock jump from overflowing the product.
    carried += std::min<std::int64_t>(now - last, 1000000000) * kMixRate;
    last = now;
    std::int64_t frames = carried / 1000000000;
    carried -= frames * 1000000000;
    frames = std::min(frames, kLongestNullStepFrames);
    if (frames == 0) continue;
    std::lock_guard<std::mutex> guard(MixerMutex());
    gScratch.resize(static_cast<std::size_t>(frames) * kMixChannels);
    MixAndKeep(gScratch.data(), static_cast<int>(frames));
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
    gNullThread = std::thread(RunNullSink);
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
