// Copies of a frame onto part of a window: every shown pixel is the source
// pixel its place maps to, however the destination is clipped by the client
// area, unscaled (rows copied whole) and scaled (columns picked one by one);
// what lies outside the destination keeps what was shown before.
#include <cstdint>
#include <vector>

#include "platform/window_present.h"
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;

constexpr int kWidth = 640, kHeight = 480;
constexpr std::uint32_t kBefore = 0x00ABCDEF;

// Every pixel tells its own place: x in the low 12 bits, y above.
std::uint32_t Marked(int x, int y) { return static_cast<std::uint32_t>(y) << 12 | static_cast<std::uint32_t>(x); }

class WindowPresentCopy : public qz::testing::D3D9Test {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    marked_.resize(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) marked_[static_cast<std::size_t>(y) * kWidth + x] = Marked(x, y);
    }
  }

  // The window as shown before each case: kBefore everywhere.
  void ShowFlat() {
    const std::vector<std::uint32_t> flat(marked_.size(), kBefore);
    ASSERT_TRUE(PresentFrameToWindow(window_, View(flat), nullptr, nullptr));
  }

  static FrameView View(const std::vector<std::uint32_t>& pixels) {
    return {reinterpret_cast<const std::uint8_t*>(pixels.data()), kWidth, kHeight, kWidth * 4};
  }

  // Checks the whole client area after presenting src onto dst: inside the
  // (clipped) destination the mapped source pixel, elsewhere kBefore.
  void ExpectShown(const WinRect& src, const WinRect& dst) {
    std::vector<std::uint32_t> shown;
    ASSERT_TRUE(ReadPresentedFrame(window_, &shown, nullptr, nullptr));
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool inside = x >= dst.left && x < dst.right && y >= dst.top && y < dst.bottom;
        const int sourceX = src.left + (x - dst.left) * (src.right - src.left) / (dst.right - dst.left);
        const int sourceY = src.top + (y - dst.top) * (src.bottom - src.top) / (dst.bottom - dst.top);
        const std::uint32_t expected = inside ? Marked(sourceX, sourceY) : kBefore;
        if (shown[static_cast<std::size_t>(y) * kWidth + x] != expected && ++wrong <= 3) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") shows " << std::hex
                        << shown[static_cast<std::size_t>(y) * kWidth + x] << ", not " << expected;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }

  std::vector<std::uint32_t> marked_;
};

TEST_F(WindowPresentCopy, UnscaledAndScaledPartsLandOnTheirPixelsAcrossEveryClippedEdge) {
  struct Case {
    WinRect src, dst;
  };
  const Case cases[] = {
      {{10, 5, 110, 25}, {-20, 0, 80, 20}},                // cut on the left: the copy starts 20 columns in
      {{0, 0, 100, 30}, {590, 460, 690, 490}},             // cut on the right and at the bottom row
      {{3, 7, 640, 480}, {0, -7, 637, 466}},               // cut at the top, from the first row
      {{0, 0, kWidth, kHeight}, {0, 0, kWidth, kHeight}},  // the whole frame
      {{0, 0, 320, 240}, {0, 0, 640, 480}},                // doubled
      {{0, 0, 640, 480}, {-100, 0, 220, 240}},             // halved, cut on the left
      {{100, 50, 200, 60}, {600, 470, 800, 480}},          // twice as wide, cut on the right, last row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "src " << c.src.left << "," << c.src.top << " dst " << c.dst.left << ","
                                      << c.dst.top);
    ShowFlat();
    ASSERT_TRUE(PresentFrameToWindow(window_, View(marked_), &c.src, &c.dst));
    ExpectShown(c.src, c.dst);
  }
}

}  // namespace
