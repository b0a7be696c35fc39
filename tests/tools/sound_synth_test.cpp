// The generated music and effects as the game hears them: every loop decoded
// through the library is whole beats long, on the beat of the tune as
// composed, and plays on through its seam, decoded whole or streamed; two
// effects over the music at volume 100 never reach full scale in the
// library's mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sound/sound_load.h"
#include "sound/sound_play.h"
#include "tests/sound/converter_fixture.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tools/datagen/data_set.h"
#include "tools/datagen/sound_synth.h"

namespace {

using qz::testing::Bytes;

constexpr std::uint32_t kSeed = 5;
constexpr int kRate = 44100;
constexpr std::size_t kMs = kRate / 1000;

// The sound files, generated once for the process.
const qz::testing::ScratchFolder& Sounds() {
  static const qz::testing::ScratchFolder folder;
  static const bool written = [] {
    std::string error;
    const bool ok = datagen::WriteSounds(folder.root(), kSeed, &error);
    EXPECT_TRUE(ok) << error;
    return ok;
  }();
  EXPECT_TRUE(written);
  return folder;
}

Bytes FileBytes(const std::string& name) {
  const std::string text = Sounds().Read(name);
  return Bytes(text.begin(), text.end());
}

double Level(const std::vector<std::int16_t>& samples, std::size_t start, std::size_t count) {
  double sum = 0;
  for (std::size_t i = start; i < start + count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

// The 60 ms either side of a loop point: the end of one pass, then the start.
std::vector<std::int16_t> AroundSeam(const std::vector<std::int16_t>& end, const std::vector<std::int16_t>& start) {
  std::vector<std::int16_t> seam(end.end() - 60 * kMs, end.end());
  seam.insert(seam.end(), start.begin(), start.begin() + 60 * kMs);
  return seam;
}

// What is heard across a loop point against the composed tune there, in 1 ms
// windows: it never falls silent for more than 2 ms, sounds wherever the
// tune does, and is the tune's own waveform.
void ExpectPlaysOnThroughTheSeam(const std::vector<std::int16_t>& heard, const std::vector<std::int16_t>& meant) {
  int silentRun = 0, longestSilence = 0;
  double both = 0, heardEnergy = 0, meantEnergy = 0;
  for (std::size_t start = 0; start < heard.size(); start += kMs) {
    const double heardLevel = Level(heard, start, kMs), meantLevel = Level(meant, start, kMs);
    if (meantLevel > 500) {
      EXPECT_GT(heardLevel, meantLevel / 2) << "falls silent at " << static_cast<int>(start / kMs) - 60
                                            << " ms from the seam";
    }
    silentRun = heardLevel < 50 ? silentRun + 1 : 0;
    longestSilence = std::max(longestSilence, silentRun);
  }
  for (std::size_t i = 0; i < heard.size(); ++i) {
    both += static_cast<double>(heard[i]) * meant[i];
    heardEnergy += static_cast<double>(heard[i]) * heard[i];
    meantEnergy += static_cast<double>(meant[i]) * meant[i];
  }
  EXPECT_LE(longestSilence, 2) << "a gap at the seam";
  EXPECT_GT(both / std::sqrt(heardEnergy * meantEnergy), 0.95) << "not the tune across the seam";
}

class SoundSynthMusic : public qz::testing::ConverterTest {
 protected:
  // The file decoded whole through the library's converter, 16-bit mono.
  std::vector<std::int16_t> Decode(const std::string& name) {
    qz::testing::ConverterOver converter(FileBytes(name));
    EXPECT_TRUE(converter.ok()) << name;
    plat::WaveFormatEx format{};
    EXPECT_EQ(qz::GetConverterPcmFormat(converter.get(), &format), 0);
    EXPECT_TRUE(format.channels == 1 && format.bitsPerSample == 16 && format.samplesPerSec == kRate) << name;
    return qz::testing::ToSamples(converter.ReadAll());
  }
};

TEST_F(SoundSynthMusic, EveryLoopIsWholeBeatsOnTheTunesBeatAndSoundsThroughItsSeam) {
  const std::vector<std::string>& names = datagen::MusicNames();
  for (const char* campaign : {"BGM_Cave.mp3", "BGM_Sky.mp3", "BGM_Castle.mp3", "BGM_Boss.mp3"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), campaign), names.end()) << campaign;
  }
  std::vector<std::size_t> beats;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const datagen::ComposedMusic tune = datagen::ComposeMusic(name, kSeed);
    const std::vector<std::int16_t> decoded = Decode(name);
    // One pass decodes to exactly the composed pass: the encoder's delay and
    // padding are the tune's own wrap-around, not silence.
    ASSERT_EQ(decoded.size(), tune.pcm.size());
    ASSERT_GT(tune.beatSamples, 0u);
    EXPECT_EQ(decoded.size() % tune.beatSamples, 0u) << "not a whole number of beats";
    // On the beat: the decoded stream is the composed tune at its own place
    // (a shift of a few milliseconds already loses the match).
    double both = 0, tuneEnergy = 0, decodedEnergy = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
      both += static_cast<double>(decoded[i]) * tune.pcm[i];
      tuneEnergy += static_cast<double>(tune.pcm[i]) * tune.pcm[i];
      decodedEnergy += static_cast<double>(decoded[i]) * decoded[i];
    }
    EXPECT_GT(both / std::sqrt(tuneEnergy * decodedEnergy), 0.97);
    if (!tune.loops) continue;
    const double beatSeconds = static_cast<double>(tune.beatSamples) / kRate;
    EXPECT_TRUE(beatSeconds > 0.25 && beatSeconds < 1.0) << beatSeconds;
    EXPECT_GE(decoded.size() / tune.beatSamples, 12u);
    beats.push_back(tune.beatSamples);
    // A sound decoded whole loops in its buffer: the end of the decode, then
    // its start. The composed tune itself runs on through its loop point.
    const std::vector<std::int16_t> composedSeam = AroundSeam(tune.pcm, tune.pcm);
    ExpectPlaysOnThroughTheSeam(composedSeam, composedSeam);
    ExpectPlaysOnThroughTheSeam(AroundSeam(decoded, decoded), composedSeam);
  }
  std::sort(beats.begin(), beats.end());
  EXPECT_EQ(std::unique(beats.begin(), beats.end()), beats.end()) << "every loop has its own tempo";
}

class SoundSynthMix : public qz::testing::SoundTest {};

// The game's way to play music: streamed from the file and looped, the
// stream's decoder brought back to the top at each loop point. Two loop
// points of the shortest tune, through the mixer.
TEST_F(SoundSynthMix, AStreamedLoopPlaysOnThroughEachLoopPoint) {
  const char* name = "BGM_Shop.mp3";
  const datagen::ComposedMusic tune = datagen::ComposeMusic(name, kSeed);
  const Bytes file = FileBytes(name);
  ASSERT_EQ(qz::SetSoundCreateMode(qz::kSoundCreateStreamFromMemory), 0);
  const int music = qz::LoadSoundFromMemoryToHandle(file.data(), file.size(), 1, -1);
  ASSERT_NE(music, -1);
  ASSERT_EQ(qz::SetSoundHandleVolume(255, music), 0);
  ASSERT_EQ(qz::PlaySoundHandle(music, 3, 1), 0);
  const std::size_t pass = tune.pcm.size();
  const std::vector<std::int16_t> stereo =
      qz::testing::RenderWithRefills(static_cast<int>(2 * pass + 60 * kMs));
  std::vector<std::int16_t> heard(stereo.size() / 2);
  for (std::size_t i = 0; i < heard.size(); ++i) heard[i] = stereo[2 * i];
  const std::vector<std::int16_t> composedSeam = AroundSeam(tune.pcm, tune.pcm);
  for (std::size_t seam = pass; seam < heard.size(); seam += pass) {
    SCOPED_TRACE(seam / pass);
    ExpectPlaysOnThroughTheSeam(std::vector<std::int16_t>(heard.begin() + static_cast<std::ptrdiff_t>(seam - 60 * kMs),
                                                          heard.begin() + static_cast<std::ptrdiff_t>(seam + 60 * kMs)),
                                composedSeam);
  }
  EXPECT_EQ(qz::DeleteSoundHandle(music), 0);
  ASSERT_EQ(qz::SetSoundCreateMode(qz::kSoundCreateWhole), 0);
}

// The two loudest effects, started together again and again over the
// loudest music, at volume 100. Effects and music are mastered so that even
// their peaks lined up stay below full scale.
TEST_F(SoundSynthMix, TwoLoudestEffectsOverTheLoudestMusicStayBelowFullScale) {
  std::vector<std::pair<int, std::string>> effects;
  for (const std::string& name : datagen::SoundEffectNames()) {
    const Bytes wave = FileBytes(name);
    ASSERT_GT(wave.size(), 44u);
    const std::vector<std::int16_t> samples = qz::testing::ToSamples(Bytes(wave.begin() + 44, wave.end()));
    int peak = 0;
    for (std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    effects.emplace_back(peak, name);
  }
  std::sort(effects.rbegin(), effects.rend());
  ASSERT_EQ(qz::SetSoundCreateMode(0), 0);
  int loudestMusic = 0;
  std::string musicName;
  for (const std::string& name : datagen::MusicNames()) {
    qz::testing::ConverterOver converter(FileBytes(name));
    ASSERT_TRUE(converter.ok());
    for (std::int16_t s : qz::testing::ToSamples(converter.ReadAll())) {
      if (std::abs(static_cast<int>(s)) > loudestMusic) {
        loudestMusic = std::abs(static_cast<int>(s));
        musicName = name;
      }
    }
  }
  EXPECT_LT(effects[0].first + effects[1].first + loudestMusic, 32767)
      << effects[0].second << " and " << effects[1].second << " over " << musicName << " can line up to full scale";

  const Bytes musicFile = FileBytes(musicName);
  const int music = qz::LoadSoundFromMemoryToHandle(musicFile.data(), musicFile.size(), 1, -1);
  ASSERT_NE(music, -1);
  std::vector<int> pile;
  for (int i = 0; i < 2; ++i) {
    const Bytes file = FileBytes(effects[static_cast<std::size_t>(i)].second);
    pile.push_back(qz::LoadSoundFromMemoryToHandle(file.data(), file.size(), 1, -1));
    ASSERT_NE(pile.back(), -1);
  }
  for (int handle : {music, pile[0], pile[1]}) ASSERT_EQ(qz::SetSoundHandleVolume(255, handle), 0);
  ASSERT_EQ(qz::PlaySoundHandle(music, 3, 1), 0);
  const int passFrames = qz::GetSoundHandleTotalSamples(music);
  int peak = 0;
  // A pile-up every 100 ms plus a 1 ms step, so it meets every part of the beat.
  for (int done = 0, step = 0; done < passFrames; ++step) {
    for (int handle : pile) ASSERT_EQ(qz::PlaySoundHandle(handle, 1, 1), 0);
    const int frames = 4410 + 44 * (step % 10);
    for (std::int16_t s : plat::RenderAudioForTest(frames)) peak = std::max(peak, std::abs(static_cast<int>(s)));
    done += frames;
  }
  RecordProperty("worst_case_sum", effects[0].first + effects[1].first + loudestMusic);
  RecordProperty("mixed_peak", peak);
  EXPECT_LT(peak, 32767) << "clipped";
  EXPECT_GT(peak, 8000) << "audible";
  for (int handle : {music, pile[0], pile[1]}) EXPECT_EQ(qz::DeleteSoundHandle(handle), 0);
}

}  // namespace
