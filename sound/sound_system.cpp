// The sound system's start and end, the sound-stream thread, and the stream
// service the pump runs on single-processor machines. The start and end
// entries and the pump services also note themselves in the call trace, which
// the tests of the library's start, end and pump order read.
#include "sound/sound_system.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "core/call_trace.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/system_info.h"
#include "platform/sync.h"
#include "sound/music.h"
#include "sound/soft_sound.h"
#include "sound/sound_converter.h"
#include "sound/sound_handle.h"
#include "sound/sound_load.h"
#include "sound/sound_stream.h"

namespace qz {
namespace {

constexpr int kStreamThreadPeriodMilliseconds = 30;
constexpr std::uint32_t kSilentBufferFrames = 100;

using EnumerateFunction = plat::HRESULT (*)(plat::DSEnumCallback, void*);
using CreateFunction = plat::HRESULT (*)(const void*, plat::DirectSound**, void*);

// Wakes the stream thread early when the end asks it to leave.
std::mutex gWakeMutex;
std::condition_variable gWake;

// Test override of the processor count's choice: -1 none, 0 no thread, 1 thread.
int gStreamThreadOverride = -1;

plat::BOOL LogDevice(void*, const char* description, const char* module, void*) {
  AppendLogFormat(text::kDsoundDeviceLine, module, description);
  return plat::TRUE;
}

std::uint32_t SoundStreamThreadProc(void*) {
  SoundSystemState& sound = GetSoundSystem();
  for (;;) {
    if (sound.streamThreadExit.load() == kStreamThreadExitAsked) {
      sound.streamThreadExit.store(kStreamThreadExited);
      return 0;
    }
    {
      SoundLockScope lock;
      if (sound.device != nullptr) {
        ServiceStreamSounds();
        RefillSoftSoundPlayers();
      }
    }
    std::unique_lock<std::mutex> wait(gWakeMutex);
    gWake.wait_for(wait, std::chrono::milliseconds(kStreamThreadPeriodMilliseconds),
                   [&] { return sound.streamThreadExit.load() != kStreamThreadRun; });
  }
}

void StopStreamThread(SoundSystemState& sound) {
  if (sound.streamThread == nullptr) return;
  {
    std::lock_guard<std::mutex> guard(gWakeMutex);
    sound.streamThreadExit.store(kStreamThreadExitAsked);
  }
  gWake.notify_all();
  // Joined whatever the pump says: the handles and the lock go next.
  plat::WaitForSingleObject(sound.streamThread, plat::INFINITE);
  plat::CloseHandle(sound.streamThread);
  sound.streamThread = nullptr;
}

void StartStreamThread(SoundSystemState& sound) {
  const bool wanted = gStreamThreadOverride >= 0 ? gStreamThreadOverride != 0 : GetProcessorCount() > 1;
  if (!wanted) return;
  sound.streamThreadExit.store(kStreamThreadRun);
  sound.streamThread = plat::CreateThread(SoundStreamThreadProc, nullptr, nullptr);
  if (sound.streamThread == nullptr) AppendLogText(text::kSoundStreamThreadFailed);
}

void MakeSilentBuffer(SoundSystemState& sound) {
  const plat::WaveFormatEx format{plat::WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
  const std::uint32_t place = sound.locateInSoftware != 0 ? plat::DSBCAPS_LOCSOFTWARE : plat::DSBCAPS_STATIC;
  const plat::DSBufferDesc desc{place | plat::DSBCAPS_GLOBALFOCUS, kSilentBufferFrames * 4, &format};
  if (sound.device->CreateSoundBuffer(&desc, &sound.silent, nullptr) != plat::DS_OK) {
    AppendLogText(text::kSilentBufferCreateFailed);
    return;
  }
  void* region = nullptr;
  std::uint32_t bytes = 0;
  if (sound.silent->Lock(0, desc.bufferBytes, &region, &bytes, nullptr, nullptr, 0) != plat::DS_OK) {
    AppendLogText(text::kSilentBufferLockFailed);
    sound.silent->Release();
    sound.silent = nullptr;
    return;
  }
  std::memset(region, 0, bytes);
  sound.silent->Unlock(region, bytes, nullptr, 0);
  sound.silent->Play(0, 0, plat::DSBPLAY_LOOPING);
}

const char* Support(std::uint32_t flags, std::uint32_t bit, const char* text) { return (flags & bit) != 0 ? text : ""; }

void LogCapabilities(const plat::DSCaps& caps) {
  AppendLogFormat(text::kDsoundCapsRates, caps.maxSecondarySampleRate / 1000.0, caps.minSecondarySampleRate / 1000.0);
  AppendLogFormat(text::kDsoundCapsMemory, caps.totalHwMemBytes / 1024, caps.freeHwMemBytes / 1024);
  AppendLogFormat(text::kDsoundCapsFormats, Support(caps.flags, plat::DSCAPS_PRIMARY16BIT, text::kDsoundCaps16Bit),
                  Support(caps.flags, plat::DSCAPS_PRIMARY8BIT, text::kDsoundCaps8Bit),
                  Support(caps.flags, plat::DSCAPS_PRIMARYMONO, text::kDsoundCapsMono),
                  Support(caps.flags, plat::DSCAPS_PRIMARYSTEREO, text::kDsoundCapsStereo),
                  Support(caps.flags, plat::DSCAPS_SECONDARY16BIT, text::kDsoundCaps16Bit),
                  Support(caps.flags, plat::DSCAPS_SECONDARY8BIT, text::kDsoundCaps8Bit),
                  Support(caps.flags, plat::DSCAPS_SECONDARYMONO, text::kDsoundCapsMono),
                  Support(caps.flags, plat::DSCAPS_SECONDARYSTEREO, text::kDsoundCapsStereo));
}

void ReleaseDevice(SoundSystemState& sound) {
  if (sound.silent != nullptr) {
    sound.silent->Stop();
    sound.silent->Release();
    sound.silent = nullptr;
  }
  if (sound.primary != nullptr) {
    sound.primary->Stop();
    sound.primary->Release();
    sound.primary = nullptr;
  }
  if (sound.device != nullptr) {
    sound.device->Release();
    sound.device = nullptr;
  }
  if (sound.dsoundModule != nullptr) {
    plat::FreeLibrary(sound.dsoundModule);
    sound.dsoundModule = nullptr;
  }
}

int FailStart(SoundSystemState& sound, const char* message) {
  EndMusicSystem();
  ReleaseDevice(sound);
  FreeAcmEntryPoints();
  return AppendLogText(message);
}

// Creates the device object, its cooperative level and the primary buffer.
int CreateDevice(SoundSystemState& sound) {
  sound.dsoundModule = plat::LoadLibraryA("DSOUND.DLL");
  if (sound.dsoundModule == nullptr) return FailStart(sound, text::kDsoundLoadFailed);
  auto enumerate =
      reinterpret_cast<EnumerateFunction>(plat::GetProcAddress(sound.dsoundModule, "DirectSoundEnumerateA"));
  if (enumerate == nullptr) return FailStart(sound, text::kDsoundEnumEntryFailed);
  AppendLogText(text::kDsoundEnumerate);
  enumerate(LogDevice, nullptr);

  // With DirectMusic its performance makes the DirectSound object; without
  // it DirectSound is made alone.
  if (StartMusicSystem(&sound.device) != 0) {
    auto create = reinterpret_cast<CreateFunction>(plat::GetProcAddress(sound.dsoundModule, "DirectSoundCreate8"));
    if (create == nullptr || create(nullptr, &sound.device, nullptr) != plat::DS_OK) {
      sound.device = nullptr;
      return FailStart(sound, text::kDsoundCreateFailed);
    }
  }
  if (sound.device->SetCooperativeLevel(nullptr, plat::DSSCL_PRIORITY) != plat::DS_OK) {
    return FailStart(sound, text::kDsoundCooperativeFailed);
  }
  const std::uint32_t primaryFlags =
      plat::DSBCAPS_PRIMARYBUFFER | (sound.locateInSoftware != 0 ? plat::DSBCAPS_LOCSOFTWARE : 0);
  const plat::DSBufferDesc primaryDesc{primaryFlags, 0, nullptr};
  if (sound.device->CreateSoundBuffer(&primaryDesc, &sound.primary, nullptr) != plat::DS_OK) {
    sound.primary = nullptr;
    return FailStart(sound, text::kDsoundPrimaryFailed);
  }
  return 0;
}

}  // namespace

int InitializeSound() {
  RecordCall("InitializeSound");
  if (IsCallFailingForTest("InitializeSound")) return -1;
  SoundSystemState& sound = GetSoundSystem();
  if (sound.device != nullptr) return 0;
  SoundLockScope lock;
  LoadAcmEntryPoints();
  if (CreateDevice(sound) != 0) return -1;

  plat::DSCaps caps{};
  sound.device->GetCaps(&caps);
  const auto channels = static_cast<std::uint16_t>((caps.flags & plat::DSCAPS_PRIMARYSTEREO) != 0 ? 2 : 1);
  const auto bits = static_cast<std::uint16_t>((caps.flags & plat::DSCAPS_PRIMARY16BIT) != 0 ? 16 : 8);
  const std::uint32_t rate = std::min<std::uint32_t>(caps.maxSecondarySampleRate, 44100);
  const auto align = static_cast<std::uint16_t>(channels * bits / 8);
  const plat::WaveFormatEx primaryFormat{plat::WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
  if (sound.primary->SetFormat(&primaryFormat) != plat::DS_OK) AppendLogText(text::kDsoundPrimaryFormatFailed);

  MakeSilentBuffer(sound);
  SetSoundCreateMode(0);
  SetOggVorbisSampleBytes(2);
  InitHandleList(&sound.streamHead, &sound.streamTail);
  InitHandleList(&sound.playerHead, &sound.playerTail);
  sound.currentMusic = -1;
  sound.currentMusicIsSound = 0;
  LogCapabilities(caps);
  StartStreamThread(sound);
  AppendLogText(text::kDsoundStartDone);
  return 0;
}

int TerminateSound() {
  RecordCall("TerminateSound");
  SoundSystemState& sound = GetSoundSystem();
  if (sound.device == nullptr) return -1;
  StopStreamThread(sound);
  {
    SoundLockScope lock;
    FinishSoundCaptureFile();
    DeleteAllSoundHandles();
    DeleteAllSoftSoundData();
    DeleteAllSoftSoundPlayers();
    EndMusicSystem();
    ReleaseDevice(sound);
    FreeAcmEntryPoints();
  }
  AppendLogText(text::kDsoundEndDone);
  return 0;
}

void SetSoundStreamThreadForTest(int enabled) { gStreamThreadOverride = enabled; }

int ProcessAllStreamSounds() {
  RecordCall("ProcessAllStreamSounds");
  return ServiceStreamSounds();
}

int RefillAllSoftSoundPlayers() {
  RecordCall("RefillAllSoftSoundPlayers");
  return RefillSoftSoundPlayers();
}

}  // namespace qz
