// The sound device stand-in on the manual sink: exact mixing of counter
// patterns, end and loop behaviour, cursors, wrapping locks, duplicates,
// gains, resampling, descriptor checks and failure switches; the null sink
// for time that passes by itself, and a process ending with it running.
#include "platform/dsound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/clock.h"
#include "platform/module.h"
#include "platform/window_sdl.h"

namespace {

plat::WaveFormatEx Pcm(std::uint16_t channels, std::uint16_t bits, std::uint32_t rate) {
  const auto align = static_cast<std::uint16_t>(channels * bits / 8);
  return plat::WaveFormatEx{plat::WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

constexpr std::uint32_t kControls = plat::DSBCAPS_CTRLVOLUME | plat::DSBCAPS_CTRLPAN | plat::DSBCAPS_CTRLFREQUENCY |
                                    plat::DSBCAPS_GETCURRENTPOSITION2 | plat::DSBCAPS_GLOBALFOCUS;

class DsoundTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(plat::AudioSinkKind::kManual); }
  void TearDown() override {
    for (plat::DirectSoundBuffer* buffer : buffers_) buffer->Release();
    EXPECT_EQ(plat::GetLiveSoundBufferCount(), 0);
    device_->Release();
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kDevice);
    // A jump of the virtual clock is taken back, so later tests keep a clock
    // their millisecond counters can follow.
    if (clockJump_ != 0) {
      plat::AdvanceVirtualTime(0 - clockJump_);
      plat::UseVirtualTime(false);
    }
  }

  void Open(plat::AudioSinkKind sink) {
    plat::SetAudioSinkForTest(sink);
    ASSERT_EQ(plat::DirectSoundCreate8(nullptr, &device_, nullptr), plat::DS_OK);
    ASSERT_EQ(device_->SetCooperativeLevel(nullptr, plat::DSSCL_PRIORITY), plat::DS_OK);
  }

  plat::DirectSoundBuffer* Make(const plat::WaveFormatEx& format, std::uint32_t frames) {
    const plat::DSBufferDesc desc{kControls | plat::DSBCAPS_STATIC, frames * format.blockAlign, &format};
    plat::DirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(device_->CreateSoundBuffer(&desc, &buffer, nullptr), plat::DS_OK);
    if (buffer != nullptr) buffers_.push_back(buffer);
    return buffer;
  }

  static void Write(plat::DirectSoundBuffer* buffer, std::uint32_t offset, const void* bytes, std::uint32_t size) {
    void* first = nullptr;
    void* second = nullptr;
    std::uint32_t firstBytes = 0;
    std::uint32_t secondBytes = 0;
    ASSERT_EQ(buffer->Lock(offset, size, &first, &firstBytes, &second, &secondBytes, 0), plat::DS_OK);
    std::memcpy(first, bytes, firstBytes);
    if (secondBytes > 0) std::memcpy(second, static_cast<const std::uint8_t*>(bytes) + firstBytes, secondBytes);
    ASSERT_EQ(buffer->Unlock(first, firstBytes, second, secondBytes), plat::DS_OK);
  }

  // A stereo 16-bit buffer whose frame i is (i, -i).
  plat::DirectSoundBuffer* Counter(std::uint32_t frames) {
    plat::DirectSoundBuffer* buffer = Make(Pcm(2, 16, 44100), frames);
    std::vector<std::int16_t> samples;
    for (std::uint32_t i = 0; i < frames; ++i) {
      samples.push_back(static_cast<std::int16_t>(i));
      samples.push_back(static_cast<std::int16_t>(-static_cast<int>(i)));
    }
    Write(buffer, 0, samples.data(), frames * 4);
    return buffer;
  }

  static std::uint32_t Status(plat::DirectSoundBuffer* buffer) {
    std::uint32_t status = 0;
    EXPECT_EQ(buffer->GetStatus(&status), plat::DS_OK);
    return status;
  }

  plat::DirectSound* device_ = nullptr;
  std::vector<plat::DirectSoundBuffer*> buffers_;
  std::uint64_t clockJump_ = 0;  // nanoseconds the virtual clock was moved on
};

TEST_F(DsoundTest, OneShotPlaysTheSourceExactlyThenStopsAndRewinds) {
  plat::DirectSoundBuffer* buffer = Counter(300);
  ASSERT_EQ(buffer->Play(0, 0, 0), plat::DS_OK);
  EXPECT_EQ(Status(buffer), plat::DSBSTATUS_PLAYING);
  const std::vector<std::int16_t> out = plat::RenderAudioForTest(310);
  ASSERT_EQ(out.size(), 620u);
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(out[2 * i], i);
    ASSERT_EQ(out[2 * i + 1], -i);
  }
  for (int i = 300; i < 310; ++i) EXPECT_EQ(out[2 * i], 0);
  EXPECT_EQ(Status(buffer), 0u);
  std::uint32_t play = 1;
  buffer->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);
}

TEST_F(DsoundTest, LoopingWrapsWithoutLosingASampleAndCursorsFollowTheMix) {
  plat::DirectSoundBuffer* buffer = Counter(100);
  ASSERT_EQ(buffer->SetCurrentPosition(40 * 4 + 2), plat::DS_OK);  // rounds down to a frame
  ASSERT_EQ(buffer->Play(0, 0, plat::DSBPLAY_LOOPING), plat::DS_OK);
  EXPECT_EQ(Status(buffer), plat::DSBSTATUS_PLAYING | plat::DSBSTATUS_LOOPING);
  std::vector<std::int16_t> out = plat::RenderAudioForTest(250);
  for (int i = 0; i < 250; ++i) ASSERT_EQ(out[2 * i], (40 + i) % 100) << i;
  std::uint32_t play = 0;
  std::uint32_t write = 0;
  ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), plat::DS_OK);
  EXPECT_EQ(play, (290 % 100) * 4u);
  // The write cursor leads by 10 ms, capped below the buffer's length.
  EXPECT_EQ(write, (play + 99 * 4) % 400);
  ASSERT_EQ(buffer->Stop(), plat::DS_OK);
  out = plat::RenderAudioForTest(10);
  EXPECT_EQ(out[0], 0);
  buffer->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, write);  // a stopped buffer keeps its place
  EXPECT_EQ(play, 90u * 4);
}

TEST_F(DsoundTest, LockAcrossTheEndGivesTwoRegionsAndUnlockCommits) {
  plat::DirectSoundBuffer* buffer = Make(Pcm(2, 16, 44100), 10);
  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t firstBytes = 0;
  std::uint32_t secondBytes = 0;
  ASSERT_EQ(buffer->Lock(32, 16, &first, &firstBytes, &second, &secondBytes, 0), plat::DS_OK);
  EXPECT_EQ(firstBytes, 8u);
  EXPECT_EQ(secondBytes, 8u);
  ASSERT_NE(second, nullptr);
  std::memset(first, 0x11, firstBytes);
  std::memset(second, 0x22, secondBytes);
  // Nothing reaches the buffer before Unlock.
  buffer->Play(0, 0, plat::DSBPLAY_LOOPING);
  EXPECT_EQ(plat::RenderAudioForTest(1)[0], 0);
  buffer->Stop();
  ASSERT_EQ(buffer->Unlock(first, firstBytes, second, secondBytes), plat::DS_OK);
  buffer->SetCurrentPosition(0);
  buffer->Play(0, 0, plat::DSBPLAY_LOOPING);
  const std::vector<std::int16_t> out = plat::RenderAudioForTest(10);
  EXPECT_EQ(out[0], 0x2222);
  EXPECT_EQ(out[2 * 2], 0);
  EXPECT_EQ(out[2 * 8], 0x1111);

  EXPECT_EQ(buffer->Lock(0, 44, &first, &firstBytes, &second, &secondBytes, 0), plat::DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(40, 4, &first, &firstBytes, &second, &secondBytes, 0), plat::DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 0, &first, &firstBytes, &second, &secondBytes, 0), plat::DSERR_INVALIDPARAM);
  std::uint8_t foreign[4] = {};
  EXPECT_EQ(buffer->Unlock(foreign, 4, nullptr, 0), plat::DSERR_INVALIDPARAM);
}

TEST_F(DsoundTest, DuplicatesShareSamplesButNotCursorsOrSettings) {
  plat::DirectSoundBuffer* original = Counter(200);
  plat::DirectSoundBuffer* copy = nullptr;
  ASSERT_EQ(device_->DuplicateSoundBuffer(original, &copy), plat::DS_OK);
  buffers_.push_back(copy);
  copy->SetCurrentPosition(100 * 4);
  copy->SetPan(plat::DSBPAN_RIGHT);  // left side silent
  original->Play(0, 0, 0);
  copy->Play(0, 0, 0);
  const std::vector<std::int16_t> out = plat::RenderAudioForTest(120);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(out[2 * i], i);
    ASSERT_EQ(out[2 * i + 1], -i + -(100 + i));
  }
  EXPECT_EQ(Status(copy), 0u);
  EXPECT_EQ(Status(original), plat::DSBSTATUS_PLAYING);
  // Data written through the original is heard through the copy.
  const std::int16_t loud[2] = {1000, 1000};
  Write(original, 0, loud, 4);
  original->Stop();
  copy->SetPan(0);
  copy->SetCurrentPosition(0);
  copy->Play(0, 0, 0);
  EXPECT_EQ(plat::RenderAudioForTest(1)[0], 1000);
}

TEST_F(DsoundTest, VolumeAndPanFollowTheDecibelCurveAndClamp) {
  plat::DirectSoundBuffer* buffer = Make(Pcm(2, 16, 44100), 4);
  const std::int16_t level[8] = {20000, 20000, 20000, 20000, 20000, 20000, 20000, 20000};
  Write(buffer, 0, level, sizeof(level));
  buffer->Play(0, 0, plat::DSBPLAY_LOOPING);
  for (int volume : {0, -600, -2000, -4000, -9999}) {
    ASSERT_EQ(buffer->SetVolume(volume), plat::DS_OK);
    const double expected = 20000 * std::pow(10.0, volume / 2000.0);
    EXPECT_NEAR(plat::RenderAudioForTest(1)[0], expected, 1.0) << volume;
  }
  buffer->SetVolume(plat::DSBVOLUME_MIN);
  EXPECT_EQ(plat::RenderAudioForTest(1)[0], 0);
  buffer->SetVolume(0);
  buffer->SetPan(2000);  // left down 20 dB
  std::vector<std::int16_t> out = plat::RenderAudioForTest(1);
  EXPECT_NEAR(out[0], 2000, 1);
  EXPECT_EQ(out[1], 20000);
  buffer->SetPan(-600);
  out = plat::RenderAudioForTest(1);
  EXPECT_EQ(out[0], 20000);
  EXPECT_NEAR(out[1], 20000 * std::pow(10.0, -0.3), 1.0);
  EXPECT_EQ(buffer->SetVolume(1), plat::DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->SetPan(10001), plat::DSERR_INVALIDPARAM);

  // Two loud buffers clamp rather than wrap.
  buffer->SetPan(0);
  plat::DirectSoundBuffer* other = Make(Pcm(2, 16, 44100), 4);
  Write(other, 0, level, sizeof(level));
  other->Play(0, 0, plat::DSBPLAY_LOOPING);
  EXPECT_EQ(plat::RenderAudioForTest(1)[0], 32767);
}

TEST_F(DsoundTest, OtherRatesAndWidthsAreConvertedToTheMix) {
  // Mono 8-bit: 128 is silence, both sides hear the sample.
  plat::DirectSoundBuffer* narrow = Make(Pcm(1, 8, 44100), 3);
  const std::uint8_t bytes[3] = {128, 255, 0};
  Write(narrow, 0, bytes, 3);
  narrow->Play(0, 0, 0);
  std::vector<std::int16_t> out = plat::RenderAudioForTest(3);
  EXPECT_EQ(out, (std::vector<std::int16_t>{0, 0, 127 * 256, 127 * 256, -32768, -32768}));

  // 22050 Hz: each source frame lasts two output frames, the middle one
  // interpolated; the cursor moves at the source's rate.
  plat::DirectSoundBuffer* slow = Make(Pcm(2, 16, 22050), 100);
  std::vector<std::int16_t> ramp;
  for (int i = 0; i < 100; ++i) ramp.insert(ramp.end(), {static_cast<std::int16_t>(i * 100), 0});
  Write(slow, 0, ramp.data(), 400);
  slow->Play(0, 0, 0);
  out = plat::RenderAudioForTest(40);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(out[2 * i], i * 50) << i;
  std::uint32_t play = 0;
  slow->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 20u * 4);
  ASSERT_EQ(slow->SetFrequency(44100), plat::DS_OK);
  out = plat::RenderAudioForTest(2);
  EXPECT_EQ(out[0], 2000);
  EXPECT_EQ(out[2], 2100);
  std::uint32_t frequency = 0;
  slow->SetFrequency(plat::DSBFREQUENCY_ORIGINAL);
  slow->GetFrequency(&frequency);
  EXPECT_EQ(frequency, 22050u);
  EXPECT_EQ(slow->SetFrequency(99), plat::DSERR_INVALIDPARAM);
  // Ran out of data: 100 source frames at half speed.
  plat::RenderAudioForTest(200);
  EXPECT_EQ(Status(slow), 0u);
}

TEST_F(DsoundTest, DescriptorsAreCheckedAndFailuresCanBeInjected) {
  plat::DirectSoundBuffer* buffer = nullptr;
  const auto refused = [&](plat::WaveFormatEx format, std::uint32_t bytes) {
    const plat::DSBufferDesc desc{kControls, bytes, &format};
    return device_->CreateSoundBuffer(&desc, &buffer, nullptr) == plat::DSERR_INVALIDPARAM && buffer == nullptr;
  };
  EXPECT_TRUE(refused(Pcm(3, 16, 44100), 600));
  EXPECT_TRUE(refused(Pcm(2, 24, 44100), 600));
  EXPECT_TRUE(refused(Pcm(2, 16, 99), 400));
  EXPECT_TRUE(refused(Pcm(2, 16, 200001), 400));
  EXPECT_TRUE(refused(Pcm(2, 16, 44100), 0));
  EXPECT_TRUE(refused(Pcm(2, 16, 44100), 402));
  plat::WaveFormatEx badAlign = Pcm(2, 16, 44100);
  badAlign.blockAlign = 0;
  EXPECT_TRUE(refused(badAlign, 400));
  plat::WaveFormatEx compressed = Pcm(2, 16, 44100);
  compressed.formatTag = 0x55;
  EXPECT_TRUE(refused(compressed, 400));

  const plat::WaveFormatEx format = Pcm(2, 16, 44100);
  plat::FailSoundBufferCreationForTest(0x80E2, 1);
  const plat::DSBufferDesc failing{0x80E2, 400, &format};
  EXPECT_EQ(device_->CreateSoundBuffer(&failing, &buffer, nullptr), plat::DSERR_OUTOFMEMORY);
  const plat::DSBufferDesc other{0xC2, 400, &format};
  ASSERT_EQ(device_->CreateSoundBuffer(&other, &buffer, nullptr), plat::DS_OK);
  buffers_.push_back(buffer);
  ASSERT_EQ(device_->CreateSoundBuffer(&failing, &buffer, nullptr), plat::DS_OK);  // only once
  buffers_.push_back(buffer);
  // 0xC2 has no frequency control.
  EXPECT_EQ(buffers_[0]->SetFrequency(22050), plat::DSERR_CONTROLUNAVAIL);

  plat::FailSoundBufferDuplicationForTest(1);
  plat::DirectSoundBuffer* copy = nullptr;
  EXPECT_EQ(device_->DuplicateSoundBuffer(buffer, &copy), plat::DSERR_OUTOFMEMORY);
  EXPECT_EQ(copy, nullptr);

  // The primary buffer takes a format but no data.
  const plat::DSBufferDesc primaryDesc{plat::DSBCAPS_PRIMARYBUFFER, 0, nullptr};
  plat::DirectSoundBuffer* primary = nullptr;
  ASSERT_EQ(device_->CreateSoundBuffer(&primaryDesc, &primary, nullptr), plat::DS_OK);
  EXPECT_EQ(primary->SetFormat(&format), plat::DS_OK);
  EXPECT_EQ(primary->SetFormat(&compressed), plat::DSERR_INVALIDPARAM);
  void* region = nullptr;
  std::uint32_t regionBytes = 0;
  EXPECT_NE(primary->Lock(0, 4, &region, &regionBytes, nullptr, nullptr, 0), plat::DS_OK);
  EXPECT_EQ(primary->Release(), 0u);
}

TEST(DsoundModule, TheModuleRowExportsCreationAndEnumeration) {
  plat::ModuleHandle module = plat::LoadLibraryA("dsound.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(plat::GetProcAddress(module, "DirectSoundCreate8"),
            reinterpret_cast<plat::ProcAddress>(&plat::DirectSoundCreate8));
  auto enumerate = reinterpret_cast<decltype(&plat::DirectSoundEnumerateA)>(
      plat::GetProcAddress(module, "DirectSoundEnumerateA"));
  ASSERT_NE(enumerate, nullptr);
  std::vector<std::string> names;
  enumerate(
      [](void*, const char* description, const char*, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(description);
        return plat::TRUE;
      },
      &names);
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], "Primary Sound Driver");
  plat::FreeLibrary(module);
}

TEST_F(DsoundTest, NullSinkLetsTimePassWithoutADevice) {
  device_->Release();
  Open(plat::AudioSinkKind::kNull);
  EXPECT_EQ(plat::GetActiveAudioSink(), plat::AudioSinkKind::kNull);
  plat::SetAudioCaptureForTest(true);
  plat::DirectSoundBuffer* buffer = Counter(2205);  // 50 ms
  buffer->Play(0, 0, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (Status(buffer) != 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(Status(buffer), 0u);
  // The recorded output holds the pattern unbroken.
  const std::vector<std::int16_t> out = plat::TakeCapturedAudioForTest();
  plat::SetAudioCaptureForTest(false);
  std::size_t start = 0;
  while (start + 2 < out.size() && !(out[start] == 0 && out[start + 2] == 1)) start += 2;
  ASSERT_GE(out.size(), start + 2205 * 2);
  for (int i = 0; i < 2205; ++i) ASSERT_EQ(out[start + 2 * i], i);
}

}  // namespace

// Under virtual time the null sink mixes from the thread that moves the
// clock: a sound ends when its length of virtual time has passed, whether
// the machine is quick or busy, and a jump of centuries mixes ten seconds.
TEST_F(DsoundTest, NullSinkKeepsPaceWithVirtualTime) {
  device_->Release();
  plat::UseVirtualTime(true);
  clockJump_ = 0;
  Open(plat::AudioSinkKind::kNull);
  plat::SetAudioCaptureForTest(true);
  plat::DirectSoundBuffer* once = Counter(44100);  // one second
  once->Play(0, 0, 0);
  // Real time passing moves nothing.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(plat::TakeCapturedAudioForTest().size(), 0u);
  for (int i = 0; i < 99; ++i) plat::Sleep(10);
  EXPECT_NE(Status(once), 0u) << "ten milliseconds before its end";
  plat::Sleep(20);
  EXPECT_EQ(Status(once), 0u) << "ended with its second of virtual time";
  const std::vector<std::int16_t> played = plat::TakeCapturedAudioForTest();
  ASSERT_GE(played.size(), 44100u * 2);
  for (int i = 0; i < 44100; i += 441) ASSERT_EQ(played[2 * i], static_cast<std::int16_t>(i)) << i;

  Counter(100)->Play(0, 0, plat::DSBPLAY_LOOPING);
  clockJump_ = std::uint64_t{1} << 62;  // centuries
  plat::AdvanceVirtualTime(clockJump_);
  const std::vector<std::int16_t> out = plat::TakeCapturedAudioForTest();
  plat::SetAudioCaptureForTest(false);
  ASSERT_EQ(out.size(), 441000u * 2);
  for (std::size_t i = 1; i < 441000; ++i) ASSERT_EQ(out[2 * i], (out[0] + i) % 100) << i;
}

// Many threads moving the virtual clock at once (a game's workers reading it
// beside its main loop): the sound played is exactly the virtual time
// passed, in whole periods, with no span mixed twice or dropped. A looping
// sound of a prime length shows any stray period in its cursor. Each round
// stays under the ten seconds a single step may mix, so a slow machine (or a
// sanitizer) whose mixing falls behind the movers drops nothing by design.
TEST_F(DsoundTest, NullSinkMixesEachSpanOnceWhileThreadsRaceTheClock) {
  constexpr std::uint32_t kLoopFrames = 44101;
  constexpr int kRounds = 8;
  constexpr int kThreads = 16;
  constexpr int kReads = 600000;  // a microsecond each
  device_->Release();
  plat::UseVirtualTime(true);
  std::int64_t opened = 0;
  plat::QueryPerformanceCounter(&opened);
  clockJump_ = 0;
  Open(plat::AudioSinkKind::kNull);
  plat::DirectSoundBuffer* loop = Make(Pcm(2, 16, 44100), kLoopFrames);
  ASSERT_EQ(loop->Play(0, 0, plat::DSBPLAY_LOOPING), plat::DS_OK);
  std::int64_t now = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::thread> movers;
    for (int t = 0; t < kThreads; ++t) {
      movers.emplace_back([] {
        std::int64_t count = 0;
        for (int i = 0; i < kReads; ++i) plat::QueryPerformanceCounter(&count);
      });
    }
    for (std::thread& mover : movers) mover.join();
    // A loser of the mixer's lock left its span to the next move: this read.
    plat::QueryPerformanceCounter(&now);
  }
  clockJump_ = static_cast<std::uint64_t>(now - opened);
  const auto periods = static_cast<std::uint64_t>(now - opened) / 10000000;
  ASSERT_EQ(periods, std::uint64_t{kRounds} * kThreads * kReads / 10000);
  std::uint32_t play = 0;
  ASSERT_EQ(loop->GetCurrentPosition(&play, nullptr), plat::DS_OK);
  EXPECT_EQ(play / 4, periods * 441 % kLoopFrames) << "a span mixed twice or dropped";
}

// A program whose display goes away is ended from inside Xlib: by exit(), or
// by the backend's own end after display loss. With the null sink's thread
// running, either must end with its status, not an abort.
TEST(SoundSinkAtProcessEnd, ExitOrADisplayLossEndsWithTheNullSinkRunning) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto openNullSink = [] {
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
    plat::DirectSound* device = nullptr;
    if (plat::DirectSoundCreate8(nullptr, &device, nullptr) != plat::DS_OK) std::_Exit(2);
  };
  EXPECT_EXIT(
      {
        openNullSink();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        openNullSink();
        plat::EndAfterDisplayLoss("the connection to the X display was lost");
      },
      ::testing::ExitedWithCode(1), "The program ends: the connection to the X display was lost\\.");
}
