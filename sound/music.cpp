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
  bool (*segmentPlaying)(void* segment) = nullptr;
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

}  // namespace

int IsMusicHandlePlaying(int handle) {
  const MusicRecord* record = Record(handle);
  if (record == nullptr) return -1;
  return gMusic.mode == kMusicModeMci ? gMusic.mci.playing : record->playing;
}

int UpdateMusicPlayStates() {
  RecordCall("UpdateMusicPlayStates");
  if (gMusic.mode != kMusicModeDirectMusic || gMusic.segmentPlaying == nullptr) return 0;
  for (int slot = 0; slot < gMusic.usedEnd; ++slot) {
    MusicRecord* record = gMusic.records[slot];
    if (record == nullptr || record->playing == 0) continue;
    const bool playing = gMusic.segmentPlaying(record->segment);
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

int StartMusicSystem() {
  void* directMusic = nullptr;
  if (plat::DirectMusicCreate8(&directMusic) != plat::DS_OK) {
    // Every DirectMusic failure leads the same way: the older start, MCI music.
    AppendLogText(text::kDirectMusic8Failed);
    AppendLogText(text::kSoundOlderStart);
  }
  gMusic.mode = kMusicModeMci;
  gMusic.mci = MciMusicState{};
  return 0;
}

int EndMusicSystem() {
  DeleteAllMusicHandles();
  DeleteTemporaryMidi();
  if (gMusic.mode == kMusicModeMci) {
    gMusic.mci = MciMusicState{};
    GetSoundSystem().currentMusic = -1;
    GetSoundSystem().currentMusicIsSound = 0;
  }
  gMusic.segmentPlaying = nullptr;
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

void UseDirectMusicForTest(bool (*isPlaying)(void* segment)) {
  gMusic.mode = isPlaying != nullptr ? kMusicModeDirectMusic : kMusicModeMci;
  gMusic.segmentPlaying = isPlaying;
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
