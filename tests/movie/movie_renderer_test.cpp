// The movie renderer filter: which media types connect, the buffer that
// follows the format, and samples stored top row first whatever their order.
#include "movie/movie_renderer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class VectorSample final : public plat::IMediaSample {
 public:
  explicit VectorSample(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  plat::HRESULT GetPointer(std::uint8_t** data) override {
    *data = bytes_.data();
    return plat::S_OK;
  }
  long GetActualDataLength() override { return static_cast<long>(bytes_.size()); }

 private:
  std::vector<std::uint8_t> bytes_;
};

plat::AM_MEDIA_TYPE VideoType(const plat::VideoInfoHeader* header, plat::MediaSubtype subtype = plat::MediaSubtype::kRGB24) {
  return {plat::MediaMajorType::kVideo, subtype, plat::MediaFormatType::kVideoInfo, header};
}

// Each row of the sample is filled with its own row number.
std::vector<std::uint8_t> RowNumbered(int stride, int height) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stride) * height);
  for (int row = 0; row < height; ++row) std::fill_n(bytes.begin() + row * stride, stride, row);
  return bytes;
}

struct Renderer {
  Renderer() : filter(qz::CreateMovieRendererFilter(nullptr, nullptr)) { filter->AddRef(); }
  ~Renderer() { filter->Release(); }
  qz::MovieRendererFilter* filter;
};

TEST(MovieRenderer, OnlyUncompressedRgb24VideoConnects) {
  Renderer renderer;
  const plat::VideoInfoHeader header{320, 240, 24};
  EXPECT_EQ(renderer.filter->CheckMediaType(nullptr), plat::E_POINTER);
  plat::AM_MEDIA_TYPE wave = VideoType(&header);
  wave.formattype = plat::MediaFormatType::kWaveFormat;
  EXPECT_EQ(renderer.filter->CheckMediaType(&wave), plat::E_INVALIDARG);
  for (const plat::MediaSubtype refused : {plat::MediaSubtype::kYUY2, plat::MediaSubtype::kYV12,
                                           plat::MediaSubtype::kRGB32}) {
    const plat::AM_MEDIA_TYPE type = VideoType(&header, refused);
    EXPECT_EQ(renderer.filter->CheckMediaType(&type), plat::E_FAIL);
  }
  plat::AM_MEDIA_TYPE audio = VideoType(&header);
  audio.majortype = plat::MediaMajorType::kAudio;
  EXPECT_EQ(renderer.filter->CheckMediaType(&audio), plat::E_FAIL);
  const plat::AM_MEDIA_TYPE rgb = VideoType(&header);
  EXPECT_EQ(renderer.filter->CheckMediaType(&rgb), plat::S_OK);
}

TEST(MovieRenderer, RowsArePaddedToFourBytesAndStoredTopRowFirst) {
  Renderer renderer;
  const plat::VideoInfoHeader wide{321, 240, 24};
  plat::AM_MEDIA_TYPE type = VideoType(&wide);
  ASSERT_EQ(renderer.filter->SetMediaType(&type), plat::S_OK);
  EXPECT_EQ(renderer.filter->stride, 964);
  const plat::VideoInfoHeader bottomUp{320, 240, 24};
  type = VideoType(&bottomUp);
  ASSERT_EQ(renderer.filter->SetMediaType(&type), plat::S_OK);
  EXPECT_EQ(renderer.filter->stride, 960);
  EXPECT_EQ(renderer.filter->height, 240);

  // A bottom-up sample's first row is the picture's last.
  VectorSample upward(RowNumbered(960, 240));
  ASSERT_EQ(renderer.filter->DoRenderSample(&upward), plat::S_OK);
  EXPECT_EQ(renderer.filter->newFrame.load(), 1);
  EXPECT_EQ(renderer.filter->frameBuffer[0], 239);
  EXPECT_EQ(renderer.filter->frameBuffer[239 * 960 + 959], 0);

  const plat::VideoInfoHeader topDown{320, -240, 24};
  type = VideoType(&topDown);
  ASSERT_EQ(renderer.filter->SetMediaType(&type), plat::S_OK);
  EXPECT_EQ(renderer.filter->newFrame.load(), 0) << "a new format clears the flag";
  VectorSample downward(RowNumbered(960, 240));
  ASSERT_EQ(renderer.filter->DoRenderSample(&downward), plat::S_OK);
  EXPECT_EQ(renderer.filter->frameBuffer[0], 0);
  EXPECT_EQ(renderer.filter->frameBuffer[239 * 960], 239);

  // A sample shorter than a frame is not copied at all.
  renderer.filter->newFrame.store(0);
  VectorSample shortSample(std::vector<std::uint8_t>(960 * 239, 7));
  ASSERT_EQ(renderer.filter->DoRenderSample(&shortSample), plat::S_OK);
  EXPECT_EQ(renderer.filter->newFrame.load(), 0);
  EXPECT_EQ(renderer.filter->frameBuffer[0], 0);
  EXPECT_EQ(renderer.filter->DoRenderSample(nullptr), plat::E_POINTER);
}

}  // namespace
