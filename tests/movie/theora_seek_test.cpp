// Seeking in movies whose pages are laid out unlike a plain encoder's: bytes
// of junk between pages, and key frames large enough to run over several
// pages. A seek must show the very pixels that playing through shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/movie/theora_fixture.h"

namespace {

using qz::testing::EncodeTheoraMovie;
using qz::testing::TestMovieOptions;

// The Ogg pages of a file in order (every byte belongs to one).
std::vector<std::string> SplitPages(const std::string& file) {
  std::vector<std::string> pages;
  for (std::size_t at = 0; at + 27 <= file.size();) {
    const auto segments = static_cast<std::uint8_t>(file[at + 26]);
    std::size_t length = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i) length += static_cast<std::uint8_t>(file[at + 27 + i]);
    pages.push_back(file.substr(at, length));
    at += length;
  }
  return pages;
}

// A page that ends no packet: it lies inside one packet running over it.
bool EndsNoPacket(const std::string& page) {
  const auto segments = static_cast<std::uint8_t>(page[26]);
  for (std::size_t i = 0; i < segments; ++i) {
    if (static_cast<std::uint8_t>(page[27 + i]) < 255) return false;
  }
  return segments > 0;
}

class TheoraSeek : public qz::testing::TheoraMovieTest {
 protected:
  using Picture = std::vector<std::uint8_t>;

  Picture Converted() {
    qz::ConvertTheoraFrame(movie_, 1, 0);
    const qz::BaseImage& image = movie_->frameImage;
    return Picture(image.pixels, image.pixels + static_cast<std::size_t>(image.pitch) * image.height);
  }
  // Every frame as playing through from the start shows it.
  std::vector<Picture> PlayThrough() {
    std::vector<Picture> pictures{Converted()};
    for (std::int64_t frame = 1; frame < movie_->frameCount; ++frame) {
      qz::AdvanceTheoraFrames(movie_, 1);
      pictures.push_back(Converted());
    }
    return pictures;
  }
  // Seeks to every frame in a shuffled order; each must match playing through.
  void ExpectSeeksMatch(const std::vector<Picture>& played) {
    std::vector<int> targets(played.size());
    for (std::size_t i = 0; i < targets.size(); ++i) targets[i] = static_cast<int>(i);
    std::shuffle(targets.begin(), targets.end(), std::mt19937(5));
    for (const int target : targets) {
      qz::SeekTheoraFrame(movie_, target);
      ASSERT_EQ(Converted(), played[static_cast<std::size_t>(target)]) << "seek to frame " << target;
    }
  }
};

TEST_F(TheoraSeek, JunkBetweenPagesAfterTheHeadersIsSteppedOver) {
  TestMovieOptions options;
  options.frames = 60;
  options.keyInterval = 8;
  options.pagePerFrame = true;
  options.texture = true;
  const std::vector<std::string> pages = SplitPages(EncodeTheoraMovie(options));
  const std::size_t headerPages = SplitPages(EncodeTheoraMovie(TestMovieOptions{.frames = 0})).size();
  ASSERT_GT(pages.size(), headerPages + 50);
  // Runs of junk of several lengths (none holds "OggS") after a few of the
  // frame pages, growing the gap between the index and the file each time.
  std::string file;
  std::mt19937 random(9);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    file += pages[i];
    if (i >= headerPages && (i - headerPages) % 7 == 2) {
      const std::size_t length = 150 + random() % 400;
      for (std::size_t b = 0; b < length; ++b) file += static_cast<char>('a' + random() % 26);
    }
  }
  ASSERT_NE(Open(file), nullptr);
  ASSERT_EQ(movie_->frameCount, 60);
  const std::vector<Picture> played = PlayThrough();
  for (int frame = 0; frame < 60; ++frame) {
    qz::BaseImage view = movie_->frameImage;
    view.pixels = const_cast<std::uint8_t*>(played[static_cast<std::size_t>(frame)].data());
    ASSERT_EQ(qz::testing::ReadFrameNumber(view), frame) << "playing through shows every frame";
  }
  ExpectSeeksMatch(played);
}

TEST_F(TheoraSeek, FramesAfterAKeyFrameOverSeveralPagesSeekToThePicturesPlayedThrough) {
  TestMovieOptions options;
  options.width = 640;
  options.height = 480;
  options.frames = 40;
  options.keyInterval = 10;
  options.texture = true;  // detailed key frames, each larger than a page
  const std::string file = EncodeTheoraMovie(options);
  int insidePackets = 0;
  for (const std::string& page : SplitPages(file)) insidePackets += EndsNoPacket(page) ? 1 : 0;
  ASSERT_GT(insidePackets, 0) << "a key frame runs over three pages or more";
  ASSERT_NE(Open(file), nullptr);
  ExpectSeeksMatch(PlayThrough());
}

}  // namespace
