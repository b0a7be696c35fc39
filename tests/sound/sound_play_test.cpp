// Playback on the manual sink with counter patterns: static plays over
// several buffers, volume, stream continuity across refills, loops and
// sources, stop and resume, shared stream buffers, deletion while playing,
// the current time; the waiting play and the stream thread on the null sink.
#include "sound/sound_play.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/library.h"
#include "sound/sound_fixture.h"

namespace qz::testing {
namespace {


class SoundPlay : public SoundTest {
 protected:
  static std::vector<std::int16_t> Run(int frames) { return RenderWithRefills(frames); }

  SoundHandle Stream(std::uint32_t frames, std::uint8_t loops, std::uint16_t base = 0) {
    return AddStreamSource(-1, WaveImage(StereoFormat(), CounterPcm(frames, base)), loops);
  }

  // Frames [from, from + count) of the output carry the counter from `base`.
  static void ExpectCounter(const std::vector<std::int16_t>& out, std::size_t from, std::uint32_t count,
                            std::uint16_t base) {
    ASSERT_GE(out.size() / 2, from + count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const auto value = static_cast<std::uint16_t>(base + i);
      ASSERT_EQ(LeftAt(out, from + i), value) << "frame " << from + i;
      ASSERT_EQ(static_cast<std::uint16_t>(out[2 * (from + i) + 1]), static_cast<std::uint16_t>(~value));
    }
  }

  static void ExpectSilence(const std::vector<std::int16_t>& out, std::size_t from, std::size_t to) {
    for (std::size_t i = 2 * from; i < 2 * to; ++i) ASSERT_EQ(out[i], 0) << "frame " << i / 2;
  }

  static std::int32_t Volume(SoundHandle handle, int slot) {
    std::int32_t volume = 1;
    GetSoundRecord(handle)->slots[slot].buffer->GetVolume(&volume);
    return volume;
  }
};

TEST_F(SoundPlay, StaticPlaysTakeTheNextBufferAndTheFourthRestartsTheOldest) {
  const SoundHandle handle = MakeStatic(CounterPcm(4000), 3);
  SoundRecord* record = GetSoundRecord(handle);
  for (int play = 0; play < 3; ++play) {
    ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);
    plat::RenderAudioForTest(100);
  }
  // Three overlapping plays: 200, 100 and 0 frames in.
  std::vector<std::int16_t> out = plat::RenderAudioForTest(1);
  EXPECT_EQ(LeftAt(out, 0), static_cast<std::uint16_t>(300 + 200 + 100));
  // The fourth play restarts the slot played three plays earlier.
  ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);
  EXPECT_EQ(record->lastSlot, 1);
  out = plat::RenderAudioForTest(1);
  EXPECT_EQ(LeftAt(out, 0), static_cast<std::uint16_t>(0 + 201 + 101));
  // Without from-top a busy slot is left alone and nothing new starts.
  EXPECT_EQ(PlaySoundHandle(handle, 1, 0), 0);
  out = plat::RenderAudioForTest(1);
  EXPECT_EQ(LeftAt(out, 0), static_cast<std::uint16_t>(1 + 202 + 102));
  EXPECT_EQ(IsSoundHandlePlaying(handle), 1);
  EXPECT_EQ(StopSoundHandle(handle), 0);
  EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
  EXPECT_EQ(plat::RenderAudioForTest(1)[0], 0);
}

TEST_F(SoundPlay, LoopedStaticPlayRunsUntilStoppedAndOneShotEnds) {
  const SoundHandle handle = MakeStatic(CounterPcm(1000), 1);
  ASSERT_EQ(PlaySoundHandle(handle, 3, 1), 0);
  std::vector<std::int16_t> out = plat::RenderAudioForTest(2500);
  ExpectCounter(out, 0, 1000, 0);
  ExpectCounter(out, 1000, 1000, 0);
  ExpectCounter(out, 2000, 500, 0);
  StopSoundHandle(handle);
  // From the top without looping: once, then it stops by itself.
  ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);
  out = plat::RenderAudioForTest(1100);
  ExpectCounter(out, 0, 1000, 0);
  ExpectSilence(out, 1000, 1100);
  EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
  // Not from the top: continues where the last slot stood.
  ASSERT_EQ(PlaySoundHandle(handle, 3, 1), 0);
  plat::RenderAudioForTest(250);
  StopSoundHandle(handle);
  ASSERT_EQ(PlaySoundHandle(handle, 1, 0), 0);
  out = plat::RenderAudioForTest(1);
  EXPECT_EQ(LeftAt(out, 0), 250);
}

TEST_F(SoundPlay, VolumeTruncatesToHundredthsOfADecibelAndReachesLaterPlays) {
  const SoundHandle handle = MakeStatic(CounterPcm(100), 2);
  const std::pair<int, int> levels[] = {{255, 0}, {300, 0}, {128, -299}, {1, -2406}, {0, -10000}, {-5, -10000}};
  for (auto [volume, hundredths] : levels) {
    ASSERT_EQ(SetSoundHandleVolume(volume, handle), 0);
    EXPECT_EQ(Volume(handle, 0), hundredths) << volume;
    EXPECT_EQ(Volume(handle, 1), hundredths) << volume;
    EXPECT_EQ(GetSoundRecord(handle)->volume, hundredths);
  }
  SetSoundHandleVolume(128, handle);
  GetSoundRecord(handle)->slots[1].buffer->SetVolume(0);
  PlaySoundHandle(handle, 1, 1);  // plays on slot 1, which takes the stored volume
  EXPECT_EQ(Volume(handle, 1), -299);
}

TEST_F(SoundPlay, StaticCurrentTimeIsInMilliseconds) {
  const SoundHandle handle = MakeStatic(CounterPcm(44100), 1);
  PlaySoundHandle(handle, 1, 1);
  plat::RenderAudioForTest(22050);
  EXPECT_EQ(GetSoundHandleCurrentTime(handle), 500);
}

// A loop count of n plays the source n + 1 times across many refills, then
// silence; the stopped stream is back at its start and plays again from there.
TEST_F(SoundPlay, StreamPlaysItsSourceLoopCountPlusOneTimesThenStops) {
  for (const std::uint8_t loops : {0, 2}) {
    SCOPED_TRACE(::testing::Message() << "loops " << int{loops});
    const SoundHandle handle = Stream(30000, loops);
    ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);
    const std::vector<std::int16_t> out = Run(44100 * 3);
    const std::size_t passes = loops + 1u;
    for (std::size_t pass = 0; pass < passes; ++pass) ExpectCounter(out, pass * 30000, 30000, 0);
    ExpectSilence(out, passes * 30000, 44100 * 3);
    EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
    const StreamProgress& progress = GetSoundRecord(handle)->stream;
    EXPECT_EQ(progress.playing, 0);
    EXPECT_EQ(progress.bytesPlayed, 0);
    EXPECT_EQ(progress.currentSource, 0);
    ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);
    ExpectCounter(Run(1000), 0, 1000, 0);
    StopSoundHandle(handle);
  }
}

TEST_F(SoundPlay, LoopingStreamIsSeamlessOverManyBufferWraps) {
  const SoundHandle handle = Stream(20000, 0);
  ASSERT_EQ(PlaySoundHandle(handle, 3, 1), 0);
  const std::vector<std::int16_t> out = Run(44100 * 6);
  for (std::size_t i = 0; i < out.size() / 2; ++i) ASSERT_EQ(LeftAt(out, i), i % 20000) << i;
  EXPECT_EQ(IsSoundHandlePlaying(handle), 1);
  // The current time restarts with each loop.
  EXPECT_EQ(GetSoundHandleCurrentTime(handle), static_cast<int>((44100 * 6 % 20000) * 1000 / 44100));
}

TEST_F(SoundPlay, EndlessSourceLoopsAndThreeSourcesPlayInOrder) {
  SoundHandle handle = Stream(9000, 0, 0);
  AddStreamSource(handle, WaveImage(StereoFormat(), CounterPcm(20000, 10000)), 1);
  AddStreamSource(handle, WaveImage(StereoFormat(), CounterPcm(5000, 40000)), 0);
  EXPECT_EQ(GetSoundHandleTotalSamples(handle), 34000);
  ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);
  std::vector<std::int16_t> out = Run(44100 * 2);
  ExpectCounter(out, 0, 9000, 0);
  ExpectCounter(out, 9000, 20000, 10000);
  ExpectCounter(out, 29000, 20000, 10000);
  ExpectCounter(out, 49000, 5000, 40000);
  ExpectSilence(out, 54000, 44100 * 2);

  const SoundHandle endless = Stream(7000, kEndlessLoop, 100);
  ASSERT_EQ(PlaySoundHandle(endless, 1, 1), 0);
  out = Run(44100 * 2);
  for (std::size_t i = 0; i < out.size() / 2; ++i) ASSERT_EQ(LeftAt(out, i), 100 + i % 7000) << i;
}

TEST_F(SoundPlay, StopThenPlayContinuesAtTheSameSampleAndFromTopRestarts) {
  const SoundHandle handle = Stream(80000, 0);
  ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);
  Run(kPassFrames * 10);
  EXPECT_EQ(PlaySoundHandle(handle, 1, 0), -1);  // already playing
  ASSERT_EQ(StopSoundHandle(handle), 0);
  EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
  ExpectSilence(Run(kPassFrames * 3), 0, kPassFrames * 3);
  EXPECT_EQ(GetSoundHandleCurrentTime(handle), kPassFrames * 10 * 1000 / 44100);
  ASSERT_EQ(PlaySoundHandle(handle, 1, 0), 0);
  ExpectCounter(Run(44100), 0, 44100, kPassFrames * 10);
  ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);
  ExpectCounter(Run(kPassFrames * 4), 0, kPassFrames * 4, 0);
}

TEST_F(SoundPlay, SharedBufferGoesToTheLastPlayedSound) {
  const SoundHandle owner = Stream(50000, 0, 0);
  const SoundHandle sharer = AddStreamSource(-1, WaveImage(StereoFormat(), CounterPcm(50000, 20000)), 0, owner);
  EXPECT_EQ(GetSoundRecord(owner)->sharerCount, 1);
  EXPECT_EQ(plat::GetLiveSoundBufferCount(), 2);  // the owner's and the silent buffer
  ASSERT_EQ(PlaySoundHandle(owner, 1, 1), 0);
  ExpectCounter(Run(kPassFrames * 5), 0, kPassFrames * 5, 0);
  ASSERT_EQ(PlaySoundHandle(sharer, 1, 1), 0);
  EXPECT_EQ(IsSoundHandlePlaying(owner), 0);
  EXPECT_EQ(IsSoundHandlePlaying(sharer), 1);
  ExpectCounter(Run(44100), 0, 44100, 20000);
  // Deleting the owner while shared only marks it; the last sharer's
  // deletion takes it along.
  EXPECT_EQ(DeleteSoundHandle(owner), 0);
  EXPECT_NE(GetSoundRecord(owner), nullptr);
  EXPECT_EQ(DeleteSoundHandle(sharer), 0);
  EXPECT_EQ(GetSoundRecord(owner), nullptr);
  EXPECT_EQ(GetSoundHandleCount(), 0);
}

TEST_F(SoundPlay, DeletingPlayingSoundsSilencesThem) {
  const SoundHandle effect = MakeStatic(CounterPcm(20000), 2);
  const SoundHandle music = Stream(60000, 0, 30000);
  PlaySoundHandle(effect, 3, 1);
  PlaySoundHandle(music, 3, 1);
  Run(kPassFrames * 4);
  EXPECT_EQ(DeleteSoundHandle(music), 0);
  EXPECT_EQ(DeleteSoundHandle(effect), 0);
  ExpectSilence(Run(kPassFrames * 2), 0, kPassFrames * 2);
  EXPECT_EQ(PlaySoundHandle(music, 1, 1), -1);
}

class SoundPlayRealTime : public SoundPlay {
 protected:
  void SetUp() override {}
  void Start(bool thread) {
    // A library ended earlier in this process leaves its end request set,
    // which waiting plays obey.
    SetEndRequest(0);
    blocksBefore_ = GetTrackedBlockCount();
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
    SetSoundStreamThreadForTest(thread ? 1 : 0);
    ASSERT_EQ(InitializeSound(), 0);
  }
};

TEST_F(SoundPlayRealTime, WaitingPlayReturnsAtTheEndOrWhenThePumpReportsIt) {
  Start(false);
  const SoundHandle handle = MakeStatic(CounterPcm(2205), 1);  // 50 ms
  ASSERT_EQ(PlaySoundHandle(handle, 0, 1), 0);
  EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
  SetEndRequest(1);
  const SoundHandle longer = MakeStatic(CounterPcm(44100 * 20), 1);
  ASSERT_EQ(PlaySoundHandle(longer, 0, 1), 0);
  EXPECT_EQ(IsSoundHandlePlaying(longer), 1);
  SetEndRequest(0);
}

TEST_F(SoundPlayRealTime, StreamThreadFeedsALoopWithoutGapsAndIsJoinedAtTheEnd) {
  Start(true);
  ASSERT_NE(GetSoundSystem().streamThread, nullptr);
  plat::SetAudioCaptureForTest(true);
  const SoundHandle handle = Stream(20000, 0);
  ASSERT_EQ(PlaySoundHandle(handle, 3, 1), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const std::vector<std::int16_t> out = plat::TakeCapturedAudioForTest();
  plat::SetAudioCaptureForTest(false);
  std::size_t start = 0;
  while (start < out.size() / 2 && !(LeftAt(out, start) == 0 && out[2 * start + 1] == -1)) ++start;
  ASSERT_GT(out.size() / 2, start + 44100);
  for (std::size_t i = start; i < out.size() / 2; ++i) ASSERT_EQ(LeftAt(out, i), (i - start) % 20000) << i;
  // The end waits for the thread even when the pump already reports the end.
  SetEndRequest(1);
  EXPECT_EQ(TerminateSound(), 0);
  SetEndRequest(0);
  EXPECT_EQ(GetSoundSystem().streamThread, nullptr);
  EXPECT_EQ(GetSoundSystem().streamThreadExit.load(), kStreamThreadExited);
}

}  // namespace
}  // namespace qz::testing
