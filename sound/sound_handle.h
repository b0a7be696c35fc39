// Sound handles and their records, the global sound state, the sound lock and
// the buffer layer. A record is either a static sound (up to ten buffers that
// share one reference-counted PCM block, so an effect can overlap itself) or
// a stream sound (up to three sources converted into one looping one-second
// buffer). Each buffer operation works on a device buffer, or on a software
// buffer in memory when software mixing is on (nothing switches it on).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/file_access.h"
#include "core/handle.h"
#include "platform/dsound.h"
#include "platform/module.h"
#include "platform/win_types.h"

namespace qz {

using SoundHandle = LibraryHandle;

inline constexpr int kSoundTableSize = 32768;
inline constexpr int kSoundBufferSlots = 10;
inline constexpr int kStreamSourceLimit = 3;

// Buffer description flags of the three kinds of buffer; the "Software"
// forms stand when the locate-in-software flag is set.
inline constexpr std::uint32_t kStreamBufferFlags = 0x180E2;
inline constexpr std::uint32_t kStreamBufferFlagsSoftware = 0x180E8;
inline constexpr std::uint32_t kStaticBufferFlags = 0x80E2;
inline constexpr std::uint32_t kStaticBufferFlagsSoftware = 0x80E8;
inline constexpr std::uint32_t kStaticBufferRetryFlags = 0xC2;
inline constexpr std::uint32_t kStaticBufferRetryFlagsSoftware = 0xC8;

// Record kinds.
inline constexpr std::int32_t kStaticSound = 0;
inline constexpr std::int32_t kStreamSound = 1;

// A loop count of 255 loops the source without end.
inline constexpr std::uint8_t kEndlessLoop = 255;
// The write offset of a stream whose first fill is pending.
inline constexpr std::int32_t kFirstFillPending = -800;

struct SoundConverter;  // sound/sound_converter.h

struct SoundBufferSlot {
  std::int32_t inUse;
  plat::DirectSoundBuffer* buffer;  // null in software mode
  std::uint8_t* softwareData;
  std::int32_t softwarePlaying;
  std::uint32_t softwarePosition;  // sample frames
  std::int32_t softwareLoop;
  std::int32_t softwarePan;        // -256 .. 256
  std::int32_t softwareVolume;     // 0 .. 256
  std::int32_t softwareFrequency;  // -1: the data's own rate
  std::uint32_t lengthFrames;
  plat::WaveFormatEx format;
};

struct StreamSource {
  std::uint8_t loopCount;  // plays count + 1 times; kEndlessLoop without end
  std::int32_t kind;  // StreamSourceKind of sound/sound_load.h
  void* dataBlock;  // tracked memory, kinds 0 and 2
  std::size_t dataSize;
  StreamFunctionTable functions;
  void* stream;  // memory stream over dataBlock, or the caller's file stream
  std::uint32_t loopStartFrame;
  std::int32_t loopEndFrame;  // -1: none
  // Set up by the loader in tracked memory; released and freed with the
  // source.
  SoundConverter* converter;
};

struct StreamProgress {
  std::int32_t sourceCount;
  std::int32_t currentSource;
  std::int32_t loopsDone;
  std::int64_t nextSample;    // next sample frame of the current source to convert
  std::int64_t totalSamples;  // of all sources
  std::int64_t bytesPlayed;
  std::int32_t lastPlayCursor;
  std::uint8_t playing;
  std::uint8_t endReached;
  std::uint8_t loopWrapPending;
  std::uint8_t lastSourceDone;
  std::int64_t loopStartBytes;  // where the played-byte count restarts after a loop wrap
  std::int32_t endMark;          // write offset when the last source ended
  std::int64_t endBytesPlayed;   // the played-byte count at which the cursor reaches the end mark
  std::int32_t wrapMark;        // write offset of a pending loop wrap
};

struct SoundRecord {
  std::int32_t check;
  SoundBufferSlot slots[kSoundBufferSlots];
  plat::WaveFormatEx format;
  std::int32_t kind;
  std::int32_t streamPlayType;
  SoundHandle shareOwner;  // -1: own buffer
  std::int32_t sharerCount;
  SoundHandle currentUser;  // -1: none
  std::int32_t deletePending;
  std::uint32_t streamBufferBytes;
  std::int32_t nextWriteOffset;  // kFirstFillPending before the first fill
  std::int32_t guardOffset;      // -1 before the first fill
  StreamSource sources[kStreamSourceLimit];
  std::uint8_t sourceOwnsFile[kStreamSourceLimit];
  StreamProgress stream;
  HandleListNode streamNode;
  std::int32_t pcmBytes;
  void* pcmData;
  std::int32_t* pcmRefCount;
  std::int32_t duplicate[kSoundBufferSlots];
  std::int32_t bufferCount;
  std::int32_t lastSlot;
  std::int32_t volume;     // hundredths of a decibel, -10000 .. 0
  std::int32_t pan;        // -10000 .. 10000
  std::int32_t frequency;  // samples per second
  std::uint8_t oneShotVolumeSet;
  std::uint8_t oneShotPanSet;
  std::uint8_t oneShotFrequencySet;
  std::int32_t oneShotVolume;
  std::int32_t oneShotPan;
  std::int32_t oneShotFrequency;
};

// Exit flag of the sound-stream thread.
inline constexpr std::int32_t kStreamThreadRun = 0;
inline constexpr std::int32_t kStreamThreadExitAsked = 1;
inline constexpr std::int32_t kStreamThreadExited = 2;

struct SoundSystemState {
  plat::ModuleHandle dsoundModule;
  plat::DirectSound* device;  // null: sound did not start
  plat::DirectSoundBuffer* primary;
  plat::DirectSoundBuffer* silent;
  HandleListNode streamHead, streamTail;
  HandleListNode playerHead, playerTail;
  std::int32_t softwareMixing;
  std::int32_t locateInSoftware;
  // The current music: a sound handle (currentMusicIsSound 1) or a music
  // handle; -1 none.
  std::int32_t currentMusic;
  std::int32_t currentMusicIsSound;
  plat::Handle streamThread;
  std::atomic<std::int32_t> streamThreadExit;
};

SoundSystemState& GetSoundSystem();
// 1 once the device object exists.
int IsSoundStarted();

// The sound lock: recursive, shared by the main thread and the sound-stream
// thread.
void LockSound();
void UnlockSound();
class SoundLockScope {
 public:
  SoundLockScope() { LockSound(); }
  ~SoundLockScope() { UnlockSound(); }
  SoundLockScope(const SoundLockScope&) = delete;
  SoundLockScope& operator=(const SoundLockScope&) = delete;
};

// The record of a valid handle while sound runs, else null.
SoundRecord* GetSoundRecord(SoundHandle handle);
// The handle of the record in that slot, or -1.
SoundHandle GetSoundHandleAt(int slot);
int GetSoundHandleCount();
// One past the highest occupied slot.
int GetSoundUsedRangeEnd();

// -1 takes a new slot; a handle value whose slot is free re-creates that
// handle. An occupied slot, a full table or no memory: -1 (logged).
SoundHandle AddSoundData(SoundHandle handle);
int GetSoundHandleTotalSamples(SoundHandle handle);
int GetSoundHandleTotalTime(SoundHandle handle);
std::int64_t SamplesToMilliseconds(std::int64_t samples, std::int32_t rate);
int DeleteSoundHandle(SoundHandle handle);
int DeleteAllSoundHandles();

// Makes the buffers of `target`: with `source` (not -1) every slot
// duplicates the source's slot 0 and takes its format and size; a stream
// buffer (stream 1) is one second of the format and links the record into
// the stream list; its failure is fatal. 0 or -1.
int CreateSoundHandleBuffer(SoundHandle source, const plat::WaveFormatEx* format, std::uint32_t bytes, int stream,
                            int count, SoundHandle target);
// Links a stream record into the stream list (done by CreateSoundHandleBuffer
// for a stream with its own buffer).
void LinkStreamSound(SoundHandle handle, SoundRecord* record);

// A pair of locked regions that a writer fills front to back.
struct SoundRegions {
  std::uint8_t* data1;
  std::uint32_t bytes1;
  std::uint8_t* data2;
  std::uint32_t bytes2;
};
// Writes `bytes` of silence (127 for 8-bit formats, 0 otherwise) at the front
// of the regions, advancing them; returns the bytes written.
std::uint32_t FillSoundSilence(const SoundRecord* record, SoundRegions* regions, std::uint32_t bytes);

// The buffer layer: -1 when the slot is not in use or the device refuses.
int CreateSoundBufferEither(SoundBufferSlot* slot, const plat::DSBufferDesc* desc);
int DuplicateSoundBufferEither(SoundBufferSlot* slot, const SoundBufferSlot* from);
int ReleaseSoundBufferEither(SoundBufferSlot* slot);
int PlaySoundBufferEither(SoundBufferSlot* slot, int loop);
int StopSoundBufferEither(SoundBufferSlot* slot);
// status bit 0: playing.
int GetSoundBufferStatusEither(SoundBufferSlot* slot, std::uint32_t* status);
int LockSoundBufferEither(SoundBufferSlot* slot, std::uint32_t offset, std::uint32_t bytes, void** region1,
                          std::uint32_t* bytes1, void** region2, std::uint32_t* bytes2);
int UnlockSoundBufferEither(SoundBufferSlot* slot, void* region1, std::uint32_t bytes1, void* region2,
                            std::uint32_t bytes2);
int SetSoundBufferFrequencyEither(SoundBufferSlot* slot, std::int32_t frequency);
int SetSoundBufferPanEither(SoundBufferSlot* slot, std::int32_t pan);
int SetSoundBufferVolumeEither(SoundBufferSlot* slot, std::int32_t volume);
int SetSoundBufferPositionEither(SoundBufferSlot* slot, std::uint32_t bytes);
// The play cursor in bytes (the software position times the block align).
int GetSoundBufferPositionEither(SoundBufferSlot* slot, std::uint32_t* playCursor);

// Test hook: the software-mixing mode (0 device buffers).
void SetSoftwareMixingForTest(int enabled);

}  // namespace qz
