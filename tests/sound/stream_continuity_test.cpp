// Compressed sounds streamed while they play give exactly the samples of the
// same file decoded whole, across every refill and loop wrap: a dropped,
// repeated or shifted sample anywhere shows as a difference.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/sound_load.h"
#include "sound/sound_play.h"
#include "tests/sound/sound_fixture.h"
#include "tests/sound/sound_test_files.h"

namespace qz::testing {
namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 2;

// A stereo signal that never repeats within the file: two sines of
// different pitch, one a channel.
std::vector<std::int16_t> Signal() {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(kRate) * kSeconds * 2);
  const std::vector<std::int16_t> left = SineSamples(kRate * kSeconds, 1, 441.0, kRate, 12000);
  const std::vector<std::int16_t> right = SineSamples(kRate * kSeconds, 1, 277.0, kRate, 9000);
  for (std::size_t i = 0; i < left.size(); ++i) {
    samples[2 * i] = left[i];
    samples[2 * i + 1] = right[i];
  }
  return samples;
}

class StreamContinuity : public SoundTest, public ::testing::WithParamInterface<const char*> {
 protected:
  Bytes File() const {
    const std::vector<std::int16_t> signal = Signal();
    return std::string(GetParam()) == "mp3" ? EncodeMp3(signal, kRate) : EncodeOggVorbis(signal, 2, kRate);
  }

  // The file decoded whole into memory and played once: the samples every
  // streamed play must give, trimmed to the decoded length.
  static std::vector<std::int16_t> WholeDecode(const Bytes& file) {
    const int frames = kRate * kSeconds + kRate / 2;  // past the end, with encoder delay and padding
    EXPECT_EQ(SetSoundCreateMode(0), 0);
    const int whole = LoadSoundFromMemoryToHandle(file.data(), file.size(), 1, -1);
    if (whole == -1) return {};
    const auto length = static_cast<std::size_t>(GetSoundHandleTotalSamples(whole));
    EXPECT_GE(length, static_cast<std::size_t>(kRate * kSeconds));
    EXPECT_EQ(PlaySoundHandle(whole, 1, 1), 0);
    std::vector<std::int16_t> reference = RenderWithRefills(frames);
    EXPECT_EQ(DeleteSoundHandle(whole), 0);
    reference.resize(std::min(reference.size(), 2 * length));
    return reference;
  }

  static int LoadStreamed(const Bytes& file) {
    EXPECT_EQ(SetSoundCreateMode(2), 0);
    const int streamed = LoadSoundFromMemoryToHandle(file.data(), file.size(), 1, -1);
    EXPECT_NE(streamed, -1);
    return streamed;
  }
};

// Looped twice over, each pass is the whole decode, the second one right
// after the first. Refilled only every 0.3 s of output, each top-up must
// still bring the queue back to its lead, or the stream runs dry and plays
// silence.
TEST_P(StreamContinuity, StreamedPlayEqualsTheWholeDecodeAcrossRefillsAndLoopWraps) {
  const Bytes file = File();
  const std::vector<std::int16_t> reference = WholeDecode(file);
  const std::size_t length = reference.size() / 2;
  ASSERT_GT(length, 0u);

  const struct {
    const char* name;
    int playType;
    std::size_t passes;
    int refillFrames;
  } plays[] = {{"looped", 3, 2, kPassFrames}, {"rare refills", 1, 1, kRate * 3 / 10}};
  for (const auto& play : plays) {
    SCOPED_TRACE(play.name);
    const int streamed = LoadStreamed(file);
    ASSERT_EQ(GetSoundHandleTotalSamples(streamed), static_cast<int>(length));
    ASSERT_EQ(PlaySoundHandle(streamed, play.playType, 1), 0);
    const std::vector<std::int16_t> played =
        RenderWithRefills(static_cast<int>(play.passes * length), play.refillFrames);
    for (std::size_t pass = 0; pass < play.passes; ++pass) {
      for (std::size_t i = 0; i < 2 * length; ++i) {
        ASSERT_EQ(played[pass * 2 * length + i], reference[i]) << "pass " << pass << " sample " << i;
      }
    }
    ASSERT_EQ(DeleteSoundHandle(streamed), 0);
  }
  ASSERT_EQ(SetSoundCreateMode(0), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, StreamContinuity, ::testing::Values("ogg", "mp3"));

}  // namespace
}  // namespace qz::testing
