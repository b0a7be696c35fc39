// Music handles, the MCI and DirectMusic play states, the current music and
// the capture file. The pump, window procedure and end entries also note
// themselves in the call trace for the order tests.
#include "sound/music.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/call_trace.h"
#include "core/handle.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "core/window_state.h"
#include "platform/dmusic.h"
#include "platform/mci.h"
#include "sound/sound_handle.h"
#include "sound/sound_play.h"

namespace qz {
namespace {

constexpr int kStopPumpPasses = 5;
constexpr std::uint32_t kCaptureHeaderBytes = 46;

struct MusicState {
  std::int32_t mode = kMusicModeMci;
  MusicRecord* records[kMusicTableSize] = {};
  int liveCount = 0;
  int usedEnd = 0;
  std::int32_t checkCounter = 0;
  MciMusicState mci{};
  std::string midiPath;
  bool midiWritten = false;
  plat::DirectMusic8* directMusic = nullptr;
  plat::DirectMusicPerformance8* performance = nullptr;
  plat::DirectMusicLoader8* loader = nullptr;
  std::FILE* capture = nullptr;
  std::int64_t capturedFrames = 0;
};

MusicState gMusic;

MusicRecord* Record(int handle) {
  if (IsSoundStarted() == 0) return nullptr;
  if (handle < 0 || (handle & kHandleKindMask) != kMusicHandle || (handle & kHandleSlotMask) >= kMusicTableSize) {
    return nullptr;
  }
  MusicRecord* record = gMusic.records[handle & kHandleSlotMask];
  if (record == nullptr || (record->check << 16) != (handle & kHandleCheckMask)) return nullptr;
  return record;
}

void DeleteTemporaryMidi() {
  if (!gMusic.midiWritten) return;
  unlink(gMusic.midiPath.c_str());
  gMusic.midiWritten = false;
}

void PutU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutU16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

// The performance is closed down before anything it plays goes.
void ReleaseDirectMusic() {
  if (gMusic.performance != nullptr) {
    gMusic.performance->StopEx(nullptr, 0, 0);
    gMusic.performance->CloseDown();
    gMusic.performance->Release();
    gMusic.performance = nullptr;
  }
  if (gMusic.directMusic != nullptr) {
    gMusic.directMusic->Release();
    gMusic.directMusic = nullptr;
  }
  if (gMusic.loader != nullptr) {
    gMusic.loader->Release();
    gMusic.loader = nullptr;
  }
}

// Logs each MIDI port as input or output.
void LogMidiPorts() {
  plat::DMusPortCaps caps{};
  for (std::uint32_t index = 0; gMusic.directMusic->EnumPort(index, &caps) == plat::DS_OK; ++index) {
    AppendLogFormat(text::kMidiPortLine,
                    caps.classType == plat::DMUS_PC_INPUTCLASS ? text::kMidiInputPort : text::kMidiOutputPort,
                    static_cast<int>(index), caps.description);
  }
}

// The DirectMusic object, the performance and the loader, then the
// performance's audio, which makes the DirectSound object; -1 (logged, all
// released) on any failure.
int StartDirectMusic(plat::DirectSound** device) {
  const char* failure = nullptr;
  if (plat::DirectMusicCreate8(&gMusic.directMusic) != plat::DS_OK) {
    failure = text::kDirectMusic8Failed;
  } else if (plat::DirectMusicPerformanceCreate8(&gMusic.performance) != plat::DS_OK) {
    failure = text::kDirectMusicPerformanceFailed;
  } else if (plat::DirectMusicLoaderCreate8(&gMusic.loader) != plat::DS_OK) {
    failure = text::kDirectMusicLoaderFailed;
  } else if (gMusic.performance->InitAudio(&gMusic.directMusic, device, GetWindowSystemState().mainWindow,
                                           plat::DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, plat::DMUS_AUDIOF_ALL,
                                           nullptr) != plat::DS_OK) {
    *device = nullptr;
    failure = text::kDirectMusicInitAudioFailed;
  }
  if (failure != nullptr) {
    AppendLogText(failure);
    ReleaseDirectMusic();
    return -1;
  }
  LogMidiPorts();
  return 0;
}

plat::DirectMusicSegment8* Segment(const MusicRecord* record) { return record->segment; }

}  // namespace

int IsMusicHandlePlaying(int handle) {
  const MusicRecord* record = Record(handle);
  if (record == nullptr) return -1;
  return gMusic.mode == kMusicModeMci ? gMusic.mci.playing : record->playing;
}

int UpdateMusicPlayStates() {
  RecordCall("UpdateMusicPlayStates");
  if (gMusic.mode != kMusicModeDirectMusic || gMusic.performance == nullptr) return 0;
  for (int slot = 0; slot < gMusic.usedEnd; ++slot) {
    MusicRecord* record = gMusic.records[slot];
    if (record == nullptr || record->playing == 0) continue;
    const bool playing = gMusic.performance->IsPlaying(Segment(record), nullptr) == plat::DS_OK;
    if (record->started != 0) {
      record->playing = playing ? 1 : 0;
    } else if (playing) {
      record->started = 1;
    }
  }
  return 0;
}

int OnMciMusicNotify() {
  RecordCall("OnMciMusicNotify");
  if (gMusic.mci.loop == 1) {
    const plat::MciPlayParams play{reinterpret_cast<std::uintptr_t>(GetWindowSystemState().mainWindow), 0, 0};
    plat::mciSendCommandA(gMusic.mci.device, plat::MCI_PLAY, plat::MCI_NOTIFY | plat::MCI_FROM,
                          reinterpret_cast<std::uintptr_t>(&play));
    gMusic.mci.playing = 1;
  } else if (gMusic.mci.playing != 0) {
    plat::mciSendCommandA(gMusic.mci.device, plat::MCI_CLOSE, 0, 0);
    gMusic.mci.playing = 0;
  }
  return 0;
}

int StopMusicHandle(int handle) {
  MusicRecord* record = Record(handle);
  if (record == nullptr) return -1;
  gMusic.mci.loop = 0;
  if (gMusic.mode == kMusicModeMci) {
    OnMciMusicNotify();
    for (int i = 0; i < kStopPumpPasses; ++i) PumpWindowMessages();
  } else if (gMusic.performance != nullptr) {
    gMusic.performance->StopEx(Segment(record), 0, 0);
  }
  DeleteTemporaryMidi();
  record->playing = 0;
  record->started = 0;
  return 0;
}

int DeleteMusicHandle(int handle) {
  MusicRecord* record = Record(handle);
  if (record == nullptr) return -1;
  if (record->playing != 0) StopMusicHandle(handle);
  if (record->segment != nullptr) {
    if (gMusic.performance != nullptr) record->segment->Unload(gMusic.performance);
    if (gMusic.loader != nullptr) gMusic.loader->ReleaseObjectByUnknown(record->segment);
    record->segment->Release();
  }
  if (record->midiData != nullptr) {
    std::memset(record->midiData, 0, static_cast<std::size_t>(record->midiBytes));
    QZ_FREE(record->midiData);
  }
  QZ_FREE(record);
  gMusic.records[handle & kHandleSlotMask] = nullptr;
  --gMusic.liveCount;
  while (gMusic.usedEnd > 0 && gMusic.records[gMusic.usedEnd - 1] == nullptr) --gMusic.usedEnd;
  return 0;
}

int DeleteAllMusicHandles() {
  for (int slot = 0; slot < kMusicTableSize; ++slot) {
    if (gMusic.records[slot] != nullptr) {
      DeleteMusicHandle(MakeHandle(kMusicHandle, gMusic.records[slot]->check, slot));
    }
  }
  return 0;
}

int DeleteCurrentMusic() {
  RecordCall("DeleteCurrentMusic");
  SoundSystemState& sound = GetSoundSystem();
  if (sound.currentMusic == -1) return 0;
  if (sound.currentMusicIsSound != 0) {
    StopSoundHandle(sound.currentMusic);
    DeleteSoundHandle(sound.currentMusic);
  } else {
    StopMusicHandle(sound.currentMusic);
    DeleteMusicHandle(sound.currentMusic);
  }
  sound.currentMusic = -1;
  sound.currentMusicIsSound = 0;
  return 0;
}

int FinishSoundCaptureFile() {
  if (gMusic.capture == nullptr) return -1;
  const auto frames = static_cast<std::uint32_t>(gMusic.capturedFrames);
  std::uint8_t header[kCaptureHeaderBytes];
  std::memcpy(header, "RIFF", 4);
  PutU32(header + 4, frames * 4 + 38);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutU32(header + 16, 18);
  PutU16(header + 20, 1);
  PutU16(header + 22, 2);
  PutU32(header + 24, 44100);
  PutU32(header + 28, 176400);
  PutU16(header + 32, 4);
  PutU16(header + 34, 16);
  PutU16(header + 36, 0);
  std::memcpy(header + 38, "data", 4);
  PutU32(header + 42, frames * 4);
  std::fseek(gMusic.capture, 0, SEEK_SET);
  const bool written = std::fwrite(header, 1, sizeof(header), gMusic.capture) == sizeof(header);
  std::fclose(gMusic.capture);
  gMusic.capture = nullptr;
  gMusic.capturedFrames = 0;
  return written ? 0 : -1;
}

int StartMusicSystem(plat::DirectSound** device) {
  gMusic.mci = MciMusicState{};
  if (StartDirectMusic(device) == 0) {
    gMusic.mode = kMusicModeDirectMusic;
    return 0;
  }
  // Every DirectMusic failure leads the same way: the older start, MCI music.
  AppendLogText(text::kSoundOlderStart);
  gMusic.mode = kMusicModeMci;
  return -1;
}

int EndMusicSystem() {
  DeleteAllMusicHandles();
  DeleteTemporaryMidi();
  if (gMusic.mode == kMusicModeMci) {
    gMusic.mci = MciMusicState{};
    GetSoundSystem().currentMusic = -1;
    GetSoundSystem().currentMusicIsSound = 0;
  }
  ReleaseDirectMusic();
  gMusic.mode = kMusicModeMci;
  return 0;
}

int GetMusicMode() { return gMusic.mode; }

int AddMusicHandleForTest(const void* midi, std::int32_t bytes) {
  if (IsSoundStarted() == 0 || gMusic.liveCount >= kMusicTableSize || bytes < 0) return -1;
  int slot = gMusic.usedEnd;
  if (slot >= kMusicTableSize) {
    slot = 0;
    while (gMusic.records[slot] != nullptr) ++slot;
  }
  auto* record = static_cast<MusicRecord*>(QZ_ALLOC_ZEROED(sizeof(MusicRecord)));
  if (record == nullptr) return -1;
  if (bytes > 0) {
    record->midiData = QZ_ALLOC(static_cast<std::size_t>(bytes));
    if (record->midiData == nullptr) {
      QZ_FREE(record);
      return -1;
    }
    std::memcpy(record->midiData, midi, static_cast<std::size_t>(bytes));
    record->midiBytes = bytes;
  }
  // DirectMusic: the segment a loading entry would make and download.
  if (gMusic.mode == kMusicModeDirectMusic) {
    if (gMusic.loader->LoadSegmentFromMemory(midi, static_cast<std::size_t>(bytes), &record->segment) != plat::DS_OK) {
      QZ_FREE(record->midiData);
      QZ_FREE(record);
      return -1;
    }
    record->segment->Download(gMusic.performance);
  }
  record->check = gMusic.checkCounter;
  gMusic.checkCounter = (gMusic.checkCounter + 1) % kHandleCheckLimit;
  gMusic.records[slot] = record;
  ++gMusic.liveCount;
  gMusic.usedEnd = std::max(gMusic.usedEnd, slot + 1);
  return MakeHandle(kMusicHandle, record->check, slot);
}

MusicRecord* GetMusicRecordForTest(int handle) { return Record(handle); }

int GetMusicUsedRangeEndForTest() { return gMusic.usedEnd; }

void SetMciMusicStateForTest(const MciMusicState& state) { gMusic.mci = state; }

MciMusicState GetMciMusicStateForTest() { return gMusic.mci; }

int PlayMusicHandleForTest(int handle) {
  MusicRecord* record = Record(handle);
  if (record == nullptr || gMusic.mode != kMusicModeDirectMusic ||
      gMusic.performance->PlaySegmentEx(Segment(record), 0, 0) != plat::DS_OK) {
    return -1;
  }
  record->playing = 1;
  record->started = 0;
  return 0;
}

int StartSoundCaptureForTest(const char* path) {
  if (gMusic.capture != nullptr || path == nullptr) return -1;
  gMusic.capture = std::fopen(path, "wb+");
  if (gMusic.capture == nullptr) return -1;
  const std::uint8_t placeholder[kCaptureHeaderBytes] = {};
  std::fwrite(placeholder, 1, sizeof(placeholder), gMusic.capture);
  gMusic.capturedFrames = 0;
  return 0;
}

int AppendSoundCaptureForTest(const std::int16_t* frames, std::int32_t count) {
  if (gMusic.capture == nullptr || frames == nullptr || count < 0) return -1;
  if (std::fwrite(frames, 4, static_cast<std::size_t>(count), gMusic.capture) != static_cast<std::size_t>(count)) {
    return -1;
  }
  gMusic.capturedFrames += count;
  return 0;
}

}  // namespace qz
