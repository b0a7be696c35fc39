// Opening Theora movies: which files are taken, the page and key-frame index
// of the one scan, the stream facts reported, and clean failure.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/movie/theora_fixture.h"

namespace {

using qz::testing::EncodeTheoraMovie;
using qz::testing::TestMovieOptions;

using TheoraMovieFile = qz::testing::TheoraMovieTest;

TEST_F(TheoraMovieFile, OnlyOggFilesWithATheoraStreamAndFramesOpen) {
  OpenFile("OggX and then anything at all");
  const int blocks = qz::GetTrackedBlockCount();
  EXPECT_EQ(qz::OpenTheoraMovie(&qz::GetFileAccessTable(), file_, 10), nullptr);
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks) << "nothing allocated for a file that is not Ogg";

  // An Ogg file with only a sound is read to its end and refused.
  EXPECT_EQ(Open(qz::testing::movie_detail::EncodeTone(0.5).Joined()), nullptr);
  // Theora headers and no frame: nothing to show and nothing to divide by,
  // also with a sound's pages after them.
  const std::string headersOnly = EncodeTheoraMovie(TestMovieOptions{.frames = 0});
  const std::size_t theoraHeaders = headersOnly.size();
  EXPECT_EQ(Open(headersOnly), nullptr);
  EXPECT_EQ(Open(TestMovieOptions{.frames = 0, .soundSeconds = 0.5}), nullptr);

  // Cut inside the header pages, the first one included, and the magic
  // followed by no page at all: refused at the end of the file.
  const std::string movie = EncodeTheoraMovie(TestMovieOptions{});
  EXPECT_EQ(Open(movie.substr(0, 50)), nullptr);
  EXPECT_EQ(Open("OggS" + std::string(5000, 'x')), nullptr);
  EXPECT_EQ(Open(movie.substr(0, 120)), nullptr);
  EXPECT_EQ(Open(movie.substr(0, theoraHeaders - 10)), nullptr);
  // The first page fails its checksum: the Theora stream is never found.
  std::string badFirstPage = movie;
  badFirstPage[40] = static_cast<char>(badFirstPage[40] ^ 1);
  EXPECT_EQ(Open(badFirstPage), nullptr);

  // Another stream's beginning page, larger than a read, ahead of the Theora
  // one: passed over.
  ogg_stream_state foreign;
  ogg_stream_init(&foreign, 77);
  std::string foreignBody(qz::kTheoraReadSize + 1000, 'f');
  ogg_packet first{reinterpret_cast<unsigned char*>(foreignBody.data()), static_cast<long>(foreignBody.size()), 1, 0, 0, 0};
  ogg_stream_packetin(&foreign, &first);
  std::string behindForeign;
  ogg_page page;
  while (ogg_stream_flush(&foreign, &page) != 0) qz::testing::movie_detail::AppendPage(&behindForeign, page);
  ogg_stream_clear(&foreign);
  ASSERT_GT(behindForeign.size(), foreignBody.size());
  behindForeign += movie;
  ASSERT_NE(Open(behindForeign), nullptr);
  EXPECT_EQ(movie_->frameCount, 30);

  // A comment that fills a whole page, so the header pages run past many
  // reads and the setup header comes on a page of its own.
  const std::string commented = EncodeTheoraMovie(TestMovieOptions{.frames = 3, .comment = std::string(64800, 'c')});
  {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(commented.size()));
    std::memcpy(buffer, commented.data(), commented.size());
    ogg_sync_wrote(&sync, static_cast<long>(commented.size()));
    std::vector<int> packetsEnded;
    for (int i = 0; i < 3 && ogg_sync_pageout(&sync, &page) == 1; ++i) packetsEnded.push_back(ogg_page_packets(&page));
    ogg_sync_clear(&sync);
    ASSERT_EQ(packetsEnded, (std::vector<int>{1, 1, 1})) << "identification, comment, setup";
  }
  ASSERT_NE(Open(commented), nullptr);
  EXPECT_EQ(movie_->frameCount, 3);

  ASSERT_NE(Open(movie), nullptr);
  EXPECT_EQ(qz::testing::ReadFrameNumber(movie_->frameImage), 0) << "the open converts frame 0";
  EXPECT_EQ(Shown(), 0) << "the open shows frame 0";
  // A stock of no frames, or fewer, is taken as one.
  for (const int stock : {0, -3}) {
    ASSERT_NE(Open(movie, stock), nullptr);
    EXPECT_EQ(movie_->frameStockCount, 1);
    qz::SeekTheoraFrame(movie_, 12);
    EXPECT_EQ(Shown(), 12) << stock;
  }
}

TEST_F(TheoraMovieFile, IndexCoversEveryFrameInContiguousRunsWithTheForcedKeyFrames) {
  TestMovieOptions options;
  options.frames = 60;
  options.keyInterval = 8;
  ASSERT_NE(Open(options), nullptr);
  ASSERT_EQ(movie_->frameCount, 60);
  for (int frame = 0; frame < 60; ++frame) {
    EXPECT_EQ(movie_->keyFrames[frame], frame % 8 == 0 ? 1 : 0) << frame;
  }
  ASSERT_GE(movie_->pageCount, 1);
  EXPECT_EQ(movie_->pages[0].fileOffset, 0) << "the first entry reads from the file start";
  EXPECT_EQ(movie_->pages[0].firstFrame, 0);
  int total = 0;
  for (int i = 0; i < movie_->pageCount; ++i) {
    const qz::TheoraPageEntry& entry = movie_->pages[i];
    EXPECT_GE(entry.frames, 1);
    EXPECT_EQ(entry.firstFrame, total) << "entry " << i;
    if (i > 0) {
      EXPECT_GT(entry.fileOffset, movie_->pages[i - 1].fileOffset);
    }
    int keys = 0;
    for (int f = entry.firstFrame; f < entry.firstFrame + entry.frames; ++f) keys += movie_->keyFrames[f];
    EXPECT_EQ(entry.hasKeyFrame, keys > 0 ? 1 : 0) << "entry " << i;
    total += entry.frames;
  }
  EXPECT_EQ(total, 60);

  // A page per frame, so entry i is frame i's page. Bytes that are no page are
  // counted (every entry still points at its page), also when they are met
  // with the end of the file already read; a lost page adds no frame.
  options.pagePerFrame = true;
  const std::string paged = EncodeTheoraMovie(options);
  ASSERT_NE(Open(paged), nullptr);
  ASSERT_EQ(movie_->pageCount, 60);
  std::vector<std::int64_t> offsets;
  for (int i = 0; i < 60; ++i) offsets.push_back(movie_->pages[i].fileOffset);
  std::string stray = paged;
  stray.insert(static_cast<std::size_t>(offsets[59]), "xyz");
  stray.insert(static_cast<std::size_t>(offsets[20]), "x");
  ASSERT_NE(Open(stray), nullptr);
  ASSERT_EQ(movie_->frameCount, 60);
  ASSERT_EQ(movie_->pageCount, 60);
  for (int i = 1; i < 60; ++i) {
    EXPECT_EQ(movie_->pages[i].fileOffset, offsets[i] + (i >= 20 ? 1 : 0) + (i == 59 ? 3 : 0)) << "entry " << i;
  }
  qz::SeekTheoraFrame(movie_, 59);
  EXPECT_EQ(Shown(), 59);

  std::string lost = paged;
  lost.erase(static_cast<std::size_t>(offsets[30]), static_cast<std::size_t>(offsets[31] - offsets[30]));
  ASSERT_NE(Open(lost), nullptr);
  ASSERT_EQ(movie_->frameCount, 59);
  for (int frame = 0; frame < 59; ++frame) {
    EXPECT_EQ(movie_->keyFrames[frame], (frame < 30 ? frame : frame + 1) % 8 == 0 ? 1 : 0) << frame;
  }
}

TEST_F(TheoraMovieFile, LongMoviesGrowBothTablesInStepsOfAThousand) {
  TestMovieOptions options;
  options.frames = 2500;
  options.keyInterval = 64;
  options.pagePerFrame = true;
  ASSERT_NE(Open(options), nullptr);
  EXPECT_EQ(movie_->frameCount, 2500);
  EXPECT_EQ(movie_->keyFrameCapacity, 3000) << "1000, 2000, 3000";
  EXPECT_GT(movie_->pageCount, 2000) << "one page per frame";
  EXPECT_EQ(movie_->pageCapacity, 3000);
  const qz::TheoraPageEntry& last = movie_->pages[movie_->pageCount - 1];
  EXPECT_EQ(last.firstFrame + last.frames, 2500);
}

TEST_F(TheoraMovieFile, InfoGivesTheRateAndTheCodedFrameSize) {
  TestMovieOptions options;
  options.width = 330;
  options.height = 250;
  options.frames = 3;
  options.fpsNumerator = 30000;
  options.fpsDenominator = 1001;
  ASSERT_NE(Open(options), nullptr);
  qz::TheoraMovieInfo info{};
  ASSERT_EQ(qz::GetTheoraMovieInfo(movie_, &info), 0);
  EXPECT_DOUBLE_EQ(info.framesPerSecond, 30000.0 / 1001.0);
  EXPECT_EQ(info.frameCount, 3);
  EXPECT_EQ(info.width, 336);
  EXPECT_EQ(info.height, 256);
  EXPECT_EQ(movie_->frameImage.width, 336u);
  EXPECT_EQ(Shown(), 0);

  // Sides up to 8192 are taken; one block more is taken for a damaged header.
  ASSERT_NE(Open(TestMovieOptions{.width = 8192, .height = 16, .frames = 1}), nullptr);
  EXPECT_EQ(movie_->frameImage.width, 8192u);
  ASSERT_NE(Open(TestMovieOptions{.width = 16, .height = 8192, .frames = 1}), nullptr);
  EXPECT_EQ(movie_->frameImage.height, 8192u);
  EXPECT_EQ(Open(TestMovieOptions{.width = 8208, .height = 16, .frames = 1}), nullptr);
  EXPECT_EQ(Open(TestMovieOptions{.width = 16, .height = 8208, .frames = 1}), nullptr);
}

TEST_F(TheoraMovieFile, DamagedAndTruncatedMoviesFailOrStopCleanly) {
  TestMovieOptions options;
  options.frames = 40;
  options.texture = true;
  options.pagePerFrame = true;  // so that the cut falls among the frames
  const std::string movie = EncodeTheoraMovie(options);
  // Cut in the middle of the frames: the index covers what is there, and
  // every frame that is there can be shown.
  ASSERT_NE(Open(movie.substr(0, movie.size() * 2 / 3)), nullptr);
  const int frames = static_cast<int>(movie_->frameCount);
  EXPECT_GT(frames, 0);
  EXPECT_LT(frames, 40);
  qz::SeekTheoraFrame(movie_, frames - 1);
  EXPECT_EQ(Shown(), frames - 1);

  // The file cut short under an open movie: a seek runs out of file, and the
  // conversion gives up instead of waiting for a frame that cannot come.
  ASSERT_NE(Open(movie), nullptr);
  const std::size_t headers = EncodeTheoraMovie(TestMovieOptions{.frames = 0}).size();
  std::filesystem::resize_file(folder_.Posix("movie.ogv"), headers + (movie.size() - headers) / 3);
  qz::SeekTheoraFrame(movie_, 30);
  EXPECT_EQ(qz::ConvertTheoraFrame(movie_, 1, 0), 0);
  qz::SeekTheoraFrame(movie_, 1);
  EXPECT_EQ(qz::ConvertTheoraFrame(movie_, 1, 0), 1) << "what is still there plays";

  // Bytes overwritten inside the frame data: opening and playing through
  // every frame ends (the pictures may be wrong, nothing hangs or reads past
  // a buffer).
  std::string damaged = movie;
  for (std::size_t i = damaged.size() / 3; i < damaged.size(); i += 97) damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  if (Open(damaged) != nullptr) {
    for (int i = 0; i < 60; ++i) {
      qz::AdvanceTheoraFrames(movie_, 1);
      qz::ConvertTheoraFrame(movie_, 1, 0);
    }
  }
}

}  // namespace
