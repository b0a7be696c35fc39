// Sound handles and records: the handle scheme, slot reuse, buffer creation
// with duplicates and its fallbacks, deletion freeing shared data once, the
// software buffer layer, and every call failing before the sound start.
#include "sound/sound_handle.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/log_text.h"
#include "sound/sound_fixture.h"
#include "sound/sound_play.h"

namespace qz::testing {
namespace {

// The fixed part of a log format, before its first field.
std::string Prefix(const char* format) {
  const std::string text = format;
  return text.substr(0, text.find('%'));
}

TEST(SoundNotStarted, EveryCallFailsWithoutTheDevice) {
  ASSERT_EQ(IsSoundStarted(), 0);
  const SoundHandle someHandle = MakeHandle(kSoundHandle, 0, 0);
  EXPECT_EQ(AddSoundData(-1), -1);
  EXPECT_EQ(DeleteSoundHandle(someHandle), -1);
  EXPECT_EQ(DeleteAllSoundHandles(), -1);
  EXPECT_EQ(GetSoundHandleTotalSamples(someHandle), -1);
  EXPECT_EQ(GetSoundHandleTotalTime(someHandle), -1);
  EXPECT_EQ(PlaySoundHandle(someHandle, 1, 1), -1);
  EXPECT_EQ(StopSoundHandle(someHandle), -1);
  EXPECT_EQ(IsSoundHandlePlaying(someHandle), -1);
  EXPECT_EQ(SetSoundHandleVolume(100, someHandle), -1);
  EXPECT_EQ(GetSoundHandleCurrentTime(someHandle), -1);
  EXPECT_EQ(TerminateSound(), -1);
}

TEST(SoundNotStarted, MissingDeviceModuleFailsTheStartWithItsLine) {
  ScratchLog log;
  plat::SetModuleAbsentForTest("DSOUND.DLL", true);
  EXPECT_EQ(InitializeSound(), -1);
  plat::SetModuleAbsentForTest("DSOUND.DLL", false);
  EXPECT_TRUE(log.Contains(text::kDsoundLoadFailed));
  EXPECT_EQ(IsSoundStarted(), 0);
}

using SoundHandles = SoundTest;

TEST_F(SoundHandles, CheckNumbersWrapAndStaleHandlesAreRefused) {
  const SoundHandle first = AddSoundData(-1);
  ASSERT_NE(first, -1);
  EXPECT_EQ(first & kHandleKindMask, kSoundHandle);
  EXPECT_EQ(DeleteSoundHandle(first), 0);
  EXPECT_EQ(GetSoundUsedRangeEnd(), 0);  // the range shrinks back
  SoundHandle latest = first;
  for (int i = 0; i < kHandleCheckLimit; ++i) {
    latest = AddSoundData(-1);
    ASSERT_EQ(latest & kHandleSlotMask, 0);
    ASSERT_EQ(DeleteSoundHandle(latest), 0);
  }
  // The 2049th handle of the slot has come round to the first one's number.
  EXPECT_EQ(latest, first);
  const SoundHandle reused = AddSoundData(-1);
  EXPECT_EQ(reused & kHandleSlotMask, 0);
  EXPECT_NE(reused, first);
  EXPECT_EQ(GetSoundRecord(first), nullptr);
  EXPECT_EQ(DeleteSoundHandle(first), -1);
  EXPECT_EQ(PlaySoundHandle(first, 1, 1), -1);
  EXPECT_EQ(DeleteSoundHandle(reused), 0);
}

TEST_F(SoundHandles, AGivenHandleIsRecreatedOnlyInAFreeSlot) {
  const SoundHandle a = AddSoundData(-1);
  const SoundHandle b = AddSoundData(-1);
  ASSERT_EQ(DeleteSoundHandle(a), 0);
  EXPECT_EQ(GetSoundUsedRangeEnd(), 2);  // b still holds slot 1
  EXPECT_EQ(AddSoundData(a), a);
  // An occupied slot is refused rather than handing out a handle that names
  // another record.
  EXPECT_EQ(AddSoundData(MakeHandle(kSoundHandle, 77, b & kHandleSlotMask)), -1);
  EXPECT_TRUE(log_.Contains(Prefix(text::kSoundHandleSlotInUse)));
  EXPECT_EQ(AddSoundData(MakeHandle(kGraphHandle, 0, 5)), -1);
  EXPECT_EQ(GetSoundHandleCount(), 2);
  ASSERT_EQ(DeleteSoundHandle(b), 0);
  EXPECT_EQ(GetSoundUsedRangeEnd(), 1);
  ASSERT_EQ(DeleteSoundHandle(a), 0);
  EXPECT_EQ(GetSoundUsedRangeEnd(), 0);
}

TEST_F(SoundHandles, ThreeBuffersShareOnePcmBlockFreedOnce) {
  const SoundHandle handle = MakeStatic(CounterPcm(4410), 3);
  SoundRecord* record = GetSoundRecord(handle);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->bufferCount, 3);
  EXPECT_EQ(record->duplicate[0], 0);
  EXPECT_EQ(record->duplicate[1], 1);
  EXPECT_EQ(record->duplicate[2], 1);
  EXPECT_EQ(plat::GetLiveSoundBufferCount(), 3 + 1);  // and the silent buffer
  EXPECT_EQ(GetSoundHandleTotalSamples(handle), 4410);
  EXPECT_EQ(GetSoundHandleTotalTime(handle), 100);

  // A second record over the same data duplicates the first one's buffer.
  const SoundHandle twin = AddSoundData(-1);
  ASSERT_EQ(CreateSoundHandleBuffer(handle, nullptr, 0, 0, 2, twin), 0);
  SoundRecord* twinRecord = GetSoundRecord(twin);
  EXPECT_EQ(twinRecord->duplicate[0], 1);
  EXPECT_EQ(twinRecord->duplicate[1], 1);
  twinRecord->format = record->format;
  twinRecord->pcmData = record->pcmData;
  twinRecord->pcmRefCount = record->pcmRefCount;
  ++*record->pcmRefCount;
  EXPECT_EQ(CreateSoundHandleBuffer(handle, nullptr, 0, 1, 1, AddSoundData(-1)), -1);  // no shared streams

  EXPECT_EQ(DeleteSoundHandle(handle), 0);
  EXPECT_EQ(*twinRecord->pcmRefCount, 1);
  EXPECT_EQ(DeleteAllSoundHandles(), 0);
  EXPECT_EQ(GetSoundHandleCount(), 0);
  EXPECT_EQ(plat::GetLiveSoundBufferCount(), 1);
}

TEST_F(SoundHandles, CreationRetriesWithFewerControlsThenGivesUp) {
  plat::FailSoundBufferCreationForTest(kStaticBufferFlags, 1);
  SoundHandle handle = MakeStatic(CounterPcm(100), 2);
  ASSERT_NE(handle, -1);
  EXPECT_EQ(GetSoundRecord(handle)->bufferCount, 2);

  plat::FailSoundBufferCreationForTest(kStaticBufferFlags, -1);
  plat::FailSoundBufferCreationForTest(kStaticBufferRetryFlags, -1);
  const SoundHandle refused = AddSoundData(-1);
  const plat::WaveFormatEx format = StereoFormat();
  EXPECT_EQ(CreateSoundHandleBuffer(-1, &format, 400, 0, 3, refused), -1);
  EXPECT_TRUE(log_.Contains(text::kSoundBufferCreateFailed));
  EXPECT_EQ(GetSoundRecord(refused)->slots[0].inUse, 0);
  plat::FailSoundBufferCreationForTest(0, 0);

  // A failed duplicate ends the slots made so far.
  plat::FailSoundBufferDuplicationForTest(1);
  const SoundHandle shorter = AddSoundData(-1);
  ASSERT_EQ(CreateSoundHandleBuffer(-1, &format, 400, 0, 4, shorter), 0);
  EXPECT_EQ(GetSoundRecord(shorter)->bufferCount, 1);
  // No buffers at all: plays fail instead of dividing by zero.
  const SoundHandle empty = AddSoundData(-1);
  ASSERT_EQ(CreateSoundHandleBuffer(-1, &format, 400, 0, 0, empty), 0);
  EXPECT_EQ(PlaySoundHandle(empty, 1, 1), -1);
  EXPECT_TRUE(log_.Contains(Prefix(text::kSoundNoBuffers)));
}

TEST_F(SoundHandles, StreamBufferFailureIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const plat::WaveFormatEx format = StereoFormat();
  EXPECT_EXIT(
      {
        // The fatal exit runs no destructor: the child's own log folder goes first.
        std::filesystem::remove_all(log_.folder());
        plat::FailSoundBufferCreationForTest(kStreamBufferFlags, 1);
        CreateSoundHandleBuffer(-1, &format, 0, 1, 1, AddSoundData(-1));
      },
      ::testing::ExitedWithCode(255), "");
}

TEST_F(SoundHandles, SoftwareBufferLayerAsTheLibraryDefinesIt) {
  SetSoftwareMixingForTest(1);
  SoundBufferSlot slot{};
  const plat::WaveFormatEx format = StereoFormat();
  const plat::DSBufferDesc desc{kStaticBufferFlags, 40, &format};
  ASSERT_EQ(CreateSoundBufferEither(&slot, &desc), 0);
  EXPECT_EQ(CreateSoundBufferEither(&slot, &desc), -1);  // in use
  EXPECT_EQ(slot.lengthFrames, 10u);
  EXPECT_EQ(slot.softwareVolume, 255);
  EXPECT_EQ(slot.softwareFrequency, -1);

  const std::pair<int, int> volumes[] = {{-10000, 0}, {0, 256}, {-1000, 25}, {-301, 128}, {-302, 127}};
  for (auto [level, factor] : volumes) {
    SetSoundBufferVolumeEither(&slot, level);
    EXPECT_EQ(slot.softwareVolume, factor) << level;
  }
  int previous = 0;
  for (int pan : {0, 1, 10, 100, 1000, 5000, 9999, 10000}) {
    SetSoundBufferPanEither(&slot, pan);
    EXPECT_GE(slot.softwarePan, previous) << pan;  // never turns back
    previous = slot.softwarePan;
    SetSoundBufferPanEither(&slot, -pan);
    EXPECT_EQ(slot.softwarePan, -previous);
  }
  EXPECT_EQ(previous, 256);
  SetSoundBufferFrequencyEither(&slot, 0);
  EXPECT_EQ(slot.softwareFrequency, -1);
  SetSoundBufferPositionEither(&slot, 9);
  std::uint32_t cursor = 0;
  GetSoundBufferPositionEither(&slot, &cursor);
  EXPECT_EQ(cursor, 8u);

  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t firstBytes = 0;
  std::uint32_t secondBytes = 0;
  ASSERT_EQ(LockSoundBufferEither(&slot, 32, 16, &first, &firstBytes, &second, &secondBytes), 0);
  EXPECT_EQ(first, slot.softwareData + 32);
  EXPECT_EQ(firstBytes, 8u);
  EXPECT_EQ(second, slot.softwareData);
  EXPECT_EQ(secondBytes, 8u);
  EXPECT_EQ(LockSoundBufferEither(&slot, 0, 44, &first, &firstBytes, &second, &secondBytes), -1);
  std::memset(slot.softwareData, 0x5A, 40);

  // A duplicate carries the samples, not uninitialised memory.
  SoundBufferSlot copy{};
  ASSERT_EQ(DuplicateSoundBufferEither(&copy, &slot), 0);
  EXPECT_EQ(copy.softwareData[39], 0x5A);
  PlaySoundBufferEither(&copy, 1);
  std::uint32_t status = 0;
  GetSoundBufferStatusEither(&copy, &status);
  EXPECT_EQ(status, plat::DSBSTATUS_PLAYING);
  EXPECT_EQ(ReleaseSoundBufferEither(&copy), 0);
  EXPECT_EQ(ReleaseSoundBufferEither(&slot), 0);
  EXPECT_EQ(ReleaseSoundBufferEither(&slot), -1);
  EXPECT_EQ(PlaySoundBufferEither(&slot, 0), -1);
}

TEST_F(SoundHandles, SilenceIsByte127ForEightBitAndZeroOtherwise) {
  SoundRecord record{};
  record.format = StereoFormat(44100, 8);
  std::uint8_t first[6];
  std::uint8_t second[6];
  std::memset(first, 1, sizeof(first));
  std::memset(second, 1, sizeof(second));
  SoundRegions regions{first, 6, second, 6};
  EXPECT_EQ(FillSoundSilence(&record, &regions, 8), 8u);
  EXPECT_EQ(first[5], 127);
  EXPECT_EQ(second[1], 127);
  EXPECT_EQ(second[2], 1);
  EXPECT_EQ(regions.bytes1, 0u);
  EXPECT_EQ(regions.data2, second + 2);
  record.format = StereoFormat();
  EXPECT_EQ(FillSoundSilence(&record, &regions, 100), 4u);
  EXPECT_EQ(second[5], 0);
}

}  // namespace
}  // namespace qz::testing
