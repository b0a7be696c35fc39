// Loading sounds: a file or memory image is decoded whole into the buffers of
// a static sound (at most 180 seconds), or becomes a stream sound whose
// sources convert while they play. Every failure logs, deletes the new handle
// and frees what was made for it.
#include "sound/sound_load.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "sound/sound_converter.h"
#include "sound/sound_handle.h"
#include "sound/sound_stream.h"

namespace qz {
namespace {

int gCreateMode = kSoundCreateWhole;

constexpr std::uint32_t kWaveImageHeaderBytes = 28;

bool SameFormat(const plat::WaveFormatEx& a, const plat::WaveFormatEx& b) {
  return std::memcmp(&a, &b, sizeof(plat::WaveFormatEx)) == 0;
}

// The buffer a stream sound plays on: its own, or its share owner's.
SoundBufferSlot* StreamBufferSlot(SoundRecord* record) {
  if (record->shareOwner != -1) {
    SoundRecord* owner = GetSoundRecord(record->shareOwner);
    return owner != nullptr ? &owner->slots[0] : nullptr;
  }
  return record->slots[0].inUse != 0 ? &record->slots[0] : nullptr;
}

bool IsStreamBufferPlaying(SoundRecord* record) {
  SoundBufferSlot* slot = StreamBufferSlot(record);
  std::uint32_t status = 0;
  return slot != nullptr && GetSoundBufferStatusEither(slot, &status) == 0 && (status & 1) != 0;
}

// One new stream source while it is being set up; undone unless kept.
struct PendingSource {
  SoundConverter* converter = nullptr;
  void* dataBlock = nullptr;
  std::size_t dataSize = 0;
  MemoryStream* memory = nullptr;
  bool kept = false;

  ~PendingSource() {
    if (kept) return;
    if (converter != nullptr) {
      ReleaseSoundConverter(converter);
      QZ_FREE(converter);
    }
    if (memory != nullptr) CloseMemoryStream(memory);
    QZ_FREE(dataBlock);
  }

  // The converter over a memory stream of the source's own block.
  bool SetupOverBlock() {
    memory = OpenMemoryStream(dataBlock, dataSize);
    return memory != nullptr && SetupSoundConverter(GetMemoryStreamInterface(), memory, converter) == 0;
  }
};

// Decodes a stream whole and wraps the PCM in a wave image: the source block.
bool DecodeToWaveImage(const StreamFunctionTable* functions, void* stream, PendingSource* source) {
  void* file = nullptr;
  std::uint32_t fileSize = 0;
  if (ReadWholeStreamToMemory(functions, stream, &file, &fileSize) != 0) {
    AppendLogText(text::kSoundDataReadFailed);
    return false;
  }
  MemoryStream* memory = OpenMemoryStream(file, fileSize);
  SoundConverter converter{};
  plat::WaveFormatEx format{};
  void* pcm = nullptr;
  std::uint32_t pcmSize = 0;
  const bool decoded = memory != nullptr &&
                       SetupSoundConverter(GetMemoryStreamInterface(), memory, &converter) == 0 &&
                       ConvertWholeSoundToPcm(&converter, &format, &pcm, &pcmSize) == 0;
  ReleaseSoundConverter(&converter);
  if (memory != nullptr) CloseMemoryStream(memory);
  QZ_FREE(file);
  if (!decoded) {
    AppendLogText(text::kSoundDataConvertFailed);
    return false;
  }
  void* image = nullptr;
  std::uint32_t imageSize = 0;
  const int built = BuildWaveFileImage(&image, &imageSize, &format, sizeof(format), pcm, pcmSize);
  QZ_FREE(pcm);
  if (built != 0) return false;
  source->dataBlock = image;
  source->dataSize = imageSize;
  return true;
}

// Gives the first source's record its buffer: the share owner's when it is a
// stream sound of the same format with a buffer of its own, else a new one.
bool AttachStreamBuffer(SoundHandle handle, SoundRecord* record, SoundHandle shareHandle) {
  SoundRecord* owner = shareHandle != handle ? GetSoundRecord(shareHandle) : nullptr;
  if (owner != nullptr && owner->kind == kStreamSound && owner->shareOwner == -1 && owner->slots[0].inUse != 0 &&
      SameFormat(owner->format, record->format)) {
    record->kind = kStreamSound;
    record->bufferCount = 1;
    record->shareOwner = shareHandle;
    record->streamBufferBytes = owner->streamBufferBytes;
    ++owner->sharerCount;
    LinkStreamSound(handle, record);
  } else {
    if (CreateSoundHandleBuffer(-1, &record->format, 0, 1, 1, handle) != 0) return false;
    const std::uint32_t align = record->format.blockAlign;
    record->shareOwner = -1;
    record->streamBufferBytes = (record->format.avgBytesPerSec + align - 1) / align * align;
  }
  record->frequency = static_cast<std::int32_t>(record->format.samplesPerSec);
  record->sharerCount = 0;
  record->currentUser = -1;
  record->deletePending = 0;
  return true;
}

// Writes the PCM into every buffer slot that does not share slot 0's memory.
bool WritePcmToSlots(SoundRecord* record, const void* pcm, std::uint32_t bytes) {
  for (int i = 0; i < record->bufferCount; ++i) {
    if (record->duplicate[i] != 0) continue;
    void* first = nullptr;
    void* second = nullptr;
    std::uint32_t firstBytes = 0;
    std::uint32_t secondBytes = 0;
    if (LockSoundBufferEither(&record->slots[i], 0, bytes, &first, &firstBytes, &second, &secondBytes) != 0) {
      AppendLogText(text::kSoundTransferFailed1);
      return false;
    }
    const auto* from = static_cast<const std::uint8_t*>(pcm);
    firstBytes = std::min(firstBytes, bytes);
    std::memcpy(first, from, firstBytes);
    if (second != nullptr) std::memcpy(second, from + firstBytes, std::min(secondBytes, bytes - firstBytes));
    if (UnlockSoundBufferEither(&record->slots[i], first, firstBytes, second, secondBytes) != 0) {
      AppendLogText(text::kSoundTransferFailed2);
      return false;
    }
  }
  return true;
}

// Decodes the image whole. False (logged) when no converter takes it.
bool DecodeImageWhole(const void* image, std::size_t size, plat::WaveFormatEx* format, void** pcm,
                      std::uint32_t* pcmSize) {
  MemoryStream* memory = OpenMemoryStream(image, size);
  if (memory == nullptr) return false;
  SoundConverter converter{};
  bool decoded = false;
  if (SetupSoundConverter(GetMemoryStreamInterface(), memory, &converter) != 0) {
    AppendLogText(text::kSoundPcmConvertFailed);
  } else if (ConvertWholeSoundToPcm(&converter, format, pcm, pcmSize) != 0) {
    AppendLogText(text::kSoundPcmStoreFailed);
  } else {
    decoded = true;
  }
  ReleaseSoundConverter(&converter);
  CloseMemoryStream(memory);
  return decoded;
}

// Makes the handle a static sound of the PCM, which it then owns. False when
// the buffers cannot be made (the PCM stays with the caller) or the data
// cannot be written (the PCM is freed with the handle).
bool MakeStaticSound(SoundHandle handle, const plat::WaveFormatEx& format, void* pcm, std::uint32_t pcmSize,
                     int bufferCount, bool* pcmTaken) {
  *pcmTaken = false;
  if (CreateSoundHandleBuffer(-1, &format, pcmSize, 0, std::max(bufferCount, 0), handle) != 0) return false;
  SoundRecord* record = GetSoundRecord(handle);
  record->format = format;
  record->frequency = static_cast<std::int32_t>(format.samplesPerSec);
  auto* count = static_cast<std::int32_t*>(QZ_ALLOC(sizeof(std::int32_t)));
  if (count == nullptr) {
    AppendLogText(text::kSoundRefCountAllocFailed);
    return false;
  }
  *count = 1;
  record->pcmRefCount = count;
  record->pcmData = pcm;
  record->pcmBytes = static_cast<std::int32_t>(pcmSize);
  *pcmTaken = true;
  return WritePcmToSlots(record, pcm, pcmSize);
}

}  // namespace

int SetSoundCreateMode(int mode) {
  if (mode < 0 || mode > kSoundCreateStreamFromFile) {
    AppendLogFormat(text::kSoundCreateModeInvalid, mode);
    return -1;
  }
  gCreateMode = mode == 1 ? kSoundCreateWhole : mode;
  return 0;
}

int GetSoundCreateMode() { return gCreateMode; }

int LoadSoundFile(const char* path, int bufferCount, int shareHandle) {
  return LoadSoundFileToHandle(path, bufferCount, shareHandle);
}

int LoadSoundFileToHandle(const char* path, int bufferCount, int shareHandle) {
  if (!IsSoundStarted() || path == nullptr) return -1;
  SoundLockScope lock;
  if (gCreateMode == kSoundCreateWhole) {
    void* image = nullptr;
    std::uint32_t size = 0;
    if (LoadFileToMemory(path, &image, &size) != 0) {
      AppendLogFormat(text::kSoundFileLoadFailed1, path);
      return -1;
    }
    const int handle = LoadSoundFromMemoryToHandle(image, size, std::min(bufferCount, kSoundBufferSlots), -1);
    QZ_FREE(image);
    if (handle == -1) AppendLogFormat(text::kSoundFileLoadFailed2, path);
    return handle;
  }
  const SoundHandle handle = AddSoundData(-1);
  if (handle == -1) return -1;
  if (SetupStreamSoundFromFile(path, 0, handle, gCreateMode, shareHandle) != 0 || StartStreamSound(handle) != 0) {
    DeleteSoundHandle(handle);
    return -1;
  }
  return handle;
}

int LoadSoundFromMemoryToHandle(const void* image, std::size_t size, int bufferCount, int shareHandle) {
  if (!IsSoundStarted()) return -1;
  if (bufferCount > kSoundBufferSlots) {
    AppendLogFormat(text::kSoundBufferCountInvalid, bufferCount);
    return -1;
  }
  if (image == nullptr || size == 0) return -1;
  SoundLockScope lock;
  const SoundHandle handle = AddSoundData(-1);
  if (handle == -1) return -1;
  int mode = gCreateMode;
  if (mode == kSoundCreateWhole) {
    plat::WaveFormatEx format{};
    void* pcm = nullptr;
    std::uint32_t pcmSize = 0;
    if (!DecodeImageWhole(image, size, &format, &pcm, &pcmSize)) {
      DeleteSoundHandle(handle);
      return -1;
    }
    if (pcmSize / format.avgBytesPerSec <= kLongestStaticSoundSeconds) {
      bool pcmTaken = false;
      if (MakeStaticSound(handle, format, pcm, pcmSize, bufferCount, &pcmTaken)) return handle;
      if (pcmTaken) {
        DeleteSoundHandle(handle);
        return -1;
      }
    }
    // Too long to hold whole (or no buffers for it): a stream over the image.
    QZ_FREE(pcm);
    mode = kSoundCreateStreamFromMemory;
  }
  const int savedMode = gCreateMode;
  gCreateMode = mode;
  const int setup = SetupStreamSoundFromMemory(image, size, 0, handle, mode, shareHandle);
  gCreateMode = savedMode;
  if (setup != 0 || StartStreamSound(handle) != 0) {
    DeleteSoundHandle(handle);
    return -1;
  }
  return handle;
}

int SetupStreamSoundFromFile(const char* path, int loopCount, int handle, int mode, int shareHandle) {
  if (path == nullptr) return -1;
  const FileHandle file = OpenFileForRead(path, 0);
  if (file == 0) {
    AppendLogFormat(text::kStreamWavOpenFailed, path);
    return -1;
  }
  SoundLockScope lock;
  int callerMayClose = 1;
  void* stream = reinterpret_cast<void*>(file);
  if (AddSreamSound(GetFileStreamInterface(), stream, static_cast<std::uint8_t>(loopCount), handle, mode,
                    &callerMayClose, shareHandle) != 0) {
    FileAccessClose(file);
    AppendLogFormat(text::kStreamWavSetupFailed, path);
    return -1;
  }
  if (callerMayClose != 0) {
    FileAccessClose(file);
  } else {
    SoundRecord* record = GetSoundRecord(handle);
    record->sourceOwnsFile[record->stream.sourceCount - 1] = 1;
  }
  return 0;
}

int SetupStreamSoundFromMemory(const void* image, std::size_t size, int loopCount, int handle, int mode,
                               int shareHandle) {
  // The caller keeps its image, so the source copies it.
  if (mode == kSoundCreateStreamFromFile) mode = kSoundCreateStreamFromMemory;
  MemoryStream* memory = image != nullptr ? OpenMemoryStream(image, size) : nullptr;
  if (memory == nullptr) {
    AppendLogText(text::kStreamImageHandleFailed);
    return -1;
  }
  int callerMayClose = 1;
  const int added = AddSreamSound(GetMemoryStreamInterface(), memory, static_cast<std::uint8_t>(loopCount), handle,
                                  mode, &callerMayClose, shareHandle);
  CloseMemoryStream(memory);
  if (added != 0) {
    AppendLogText(text::kStreamImageSetupFailed);
    return -1;
  }
  return 0;
}

int AddSreamSound(const StreamFunctionTable* functions, void* stream, std::uint8_t loopCount, int handle,
                  int sourceKind, int* callerMayClose, int shareHandle) {
  if (functions == nullptr || callerMayClose == nullptr) return -1;
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;
  const int index = record->stream.sourceCount;
  // A static sound already holding its data is no stream, sources or not.
  const bool staticSound = record->kind != kStreamSound && (record->bufferCount > 0 || record->pcmData != nullptr);
  if (staticSound || (index > 0 && record->kind != kStreamSound)) return AppendLogText(text::kSoundNotStreamSound);
  if (index > 0) {
    if (IsStreamBufferPlaying(record)) return AppendLogText(text::kSoundStreamAlreadyPlaying);
    if (index >= kStreamSourceLimit) return AppendLogText(text::kSoundStreamSourcesFull);
  }
  if (functions->Seek(stream, 0, 0) != 0) return AppendLogText(text::kSoundDataReadFailed);
  PendingSource pending;
  pending.converter = static_cast<SoundConverter*>(QZ_ALLOC_ZEROED(sizeof(SoundConverter)));
  if (pending.converter == nullptr) return AppendLogText(text::kSoundConverterAllocFailed);
  StreamFunctionTable sourceFunctions = *GetMemoryStreamInterface();
  void* sourceStream = nullptr;
  if (sourceKind == kStreamSourceFile) {
    if (SetupSoundConverter(functions, stream, pending.converter) != 0) return AppendLogText(text::kSoundDataOpenFailed);
    sourceFunctions = *functions;
    sourceStream = stream;
    *callerMayClose = 0;
  } else {
    if (sourceKind == kStreamSourceDecoded) {
      if (!DecodeToWaveImage(functions, stream, &pending)) return -1;
    } else {
      std::uint32_t size = 0;
      if (ReadWholeStreamToMemory(functions, stream, &pending.dataBlock, &size) != 0) {
        return AppendLogText(text::kSoundDataReadFailed);
      }
      pending.dataSize = size;
    }
    if (!pending.SetupOverBlock()) return AppendLogText(text::kSoundDataOpenFailed);
    sourceStream = pending.memory;
    *callerMayClose = 1;
  }
  const plat::WaveFormatEx format = pending.converter->outputFormat;
  if (index > 0) {
    if (!SameFormat(format, record->format)) return AppendLogText(text::kSoundFormatMismatch);
  } else {
    record->format = format;
    if (!AttachStreamBuffer(handle, record, shareHandle)) return -1;
  }
  StreamSource& source = record->sources[index];
  source = StreamSource{};
  source.loopCount = loopCount;
  source.kind = sourceKind;
  source.dataBlock = pending.dataBlock;
  source.dataSize = pending.dataSize;
  source.functions = sourceFunctions;
  source.stream = sourceStream;
  source.loopStartFrame = 0;
  source.loopEndFrame = -1;
  source.converter = pending.converter;
  pending.kept = true;
  record->stream.sourceCount = index + 1;
  std::int64_t total = 0;
  for (int i = 0; i <= index; ++i) {
    const std::int64_t bytes = GetConverterPcmSize(record->sources[i].converter);
    if (bytes > 0) total += bytes / format.blockAlign;
  }
  record->stream.totalSamples = total;
  return 0;
}

int LoadFileToMemory(const char* path, void** block, std::uint32_t* size) {
  if (path == nullptr || block == nullptr || size == nullptr) return -1;
  const FileHandle file = OpenFileForRead(path, 0);
  if (file == 0) return AppendLogFormat(text::kSoundFileOpenFailed, path);
  std::int64_t length = -1;
  if (FileAccessSeek(file, 0, 2) == 0) length = FileAccessTell(file);
  if (length < 0 || length > std::numeric_limits<std::uint32_t>::max() || FileAccessSeek(file, 0, 0) != 0) {
    FileAccessClose(file);
    return AppendLogFormat(text::kSoundFileOpenFailed, path);
  }
  void* data = QZ_ALLOC(std::max<std::size_t>(static_cast<std::size_t>(length), 1));
  if (data == nullptr) {
    FileAccessClose(file);
    return AppendLogFormat(text::kSoundFileMemoryFailed, path);
  }
  const std::size_t read = ReadFileBytes(data, static_cast<std::size_t>(length), file);
  FileAccessClose(file);
  if (read != static_cast<std::size_t>(length)) {
    QZ_FREE(data);
    return AppendLogFormat(text::kSoundFileOpenFailed, path);
  }
  *block = data;
  *size = static_cast<std::uint32_t>(length);
  return 0;
}

int ReadWholeStreamToMemory(const StreamFunctionTable* functions, void* stream, void** block, std::uint32_t* size) {
  if (functions == nullptr || block == nullptr || size == nullptr) return -1;
  std::int64_t length = -1;
  if (functions->Seek(stream, 0, 2) == 0) length = functions->Tell(stream);
  if (length < 0 || length > std::numeric_limits<std::uint32_t>::max() || functions->Seek(stream, 0, 0) != 0) {
    return -1;
  }
  void* data = QZ_ALLOC(std::max<std::size_t>(static_cast<std::size_t>(length), 1));
  if (data == nullptr) return AppendLogText(text::kSoundStreamMemoryFailed);
  const std::size_t read = length == 0 ? 0 : functions->Read(data, 1, static_cast<std::size_t>(length), stream);
  if (read != static_cast<std::size_t>(length)) {
    QZ_FREE(data);
    return -1;
  }
  *block = data;
  *size = static_cast<std::uint32_t>(length);
  return 0;
}

int BuildWaveFileImage(void** image, std::uint32_t* imageSize, const plat::WaveFormatEx* format,
                       std::uint32_t formatSize, const void* data, std::uint32_t dataSize) {
  if (image == nullptr || imageSize == nullptr || format == nullptr || (data == nullptr && dataSize != 0)) return -1;
  const std::uint64_t total = std::uint64_t{formatSize} + dataSize + kWaveImageHeaderBytes;
  if (total > std::numeric_limits<std::uint32_t>::max() || formatSize > sizeof(plat::WaveFormatEx)) return -1;
  auto* out = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(total)));
  if (out == nullptr) return AppendLogText(text::kWaveImageAllocFailed);
  const auto put32 = [](std::uint8_t* at, std::uint64_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  std::memcpy(out, "RIFF", 4);
  put32(out + 4, total - 8);
  std::memcpy(out + 8, "WAVEfmt ", 8);
  put32(out + 16, formatSize);
  std::memcpy(out + 20, format, formatSize);
  std::memcpy(out + 20 + formatSize, "data", 4);
  put32(out + 24 + formatSize, dataSize);
  if (dataSize != 0) std::memcpy(out + 28 + formatSize, data, dataSize);
  *image = out;
  *imageSize = static_cast<std::uint32_t>(total);
  return 0;
}

}  // namespace qz
