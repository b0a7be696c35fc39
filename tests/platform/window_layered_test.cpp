// Layered windows of the stand-in: DIB sections, and UpdateLayeredWindow
// keeping the image, its position and its shape by alpha or colour key,
// shown through the window's present; windows without WS_EX_LAYERED refuse.
// The desktop backend runs the same update under SDL's dummy driver.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/backend.h"
#include "platform/window_layered.h"
#include "platform/window_present.h"
#include "tests/platform/window_recorder.h"

namespace {

using qz::testing::RecordingClass;

constexpr int kWidth = 4;
constexpr int kHeight = 2;

plat::HWND CreateLayered(const RecordingClass& windowClass, std::uint32_t exStyle = plat::WS_EX_LAYERED) {
  // A popup without a frame: the client area is the window rectangle.
  return plat::CreateWindowExA(exStyle, windowClass.name(), "layer", plat::WS_POPUP | plat::WS_VISIBLE, 30, 40,
                               kWidth, kHeight, nullptr);
}

// A top-down section whose left half is red and right half the colour
// 0x00FF00 with alpha 0.
plat::HBITMAP MakeSection() {
  plat::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(plat::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = plat::BI_RGB;
  void* bits = nullptr;
  plat::HBITMAP section = plat::CreateDIBSection(nullptr, &info, plat::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section == nullptr) return nullptr;
  auto* pixels = static_cast<std::uint32_t*>(bits);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) pixels[y * kWidth + x] = x < kWidth / 2 ? 0xFFFF0000u : 0x0000FF00u;
  }
  return section;
}

void ExpectHalfCutOut(plat::HWND window, const plat::Point& position) {
  plat::LayeredWindowImage image;
  ASSERT_TRUE(plat::ReadLayeredWindowImage(window, &image));
  ASSERT_EQ(image.width, kWidth);
  ASSERT_EQ(image.height, kHeight);
  EXPECT_EQ(image.position.x, position.x);
  EXPECT_EQ(image.position.y, position.y);
  EXPECT_EQ(image.pixels[0], 0xFFFF0000u);
  EXPECT_EQ(image.pixels[kWidth - 1], 0x0000FF00u);
  EXPECT_EQ(image.pixels[kWidth + 1], 0xFFFF0000u);
  // The window shows the colours.
  std::vector<std::uint32_t> shown;
  int width = 0;
  int height = 0;
  ASSERT_TRUE(plat::ReadPresentedFrame(window, &shown, &width, &height));
  EXPECT_EQ(shown[0] & 0xFFFFFFu, 0xFF0000u);
}

void UpdateBothWays(plat::HWND window, plat::HBITMAP section) {
  const plat::WinSize size{kWidth, kHeight};
  const plat::Point origin{0, 0};
  const plat::Point position{30, 40};
  const plat::BLENDFUNCTION blend{plat::AC_SRC_OVER, 0, 255, plat::AC_SRC_ALPHA};
  // Per-pixel alpha: alpha 0 is cut out.
  ASSERT_EQ(plat::UpdateLayeredWindow(window, nullptr, &position, &size, section, &origin, 0, &blend, plat::ULW_ALPHA),
            plat::TRUE);
  ExpectHalfCutOut(window, position);
  // Colour key (0x00BBGGRR of green): the same shape whatever the alpha.
  const plat::Point moved{50, 60};
  ASSERT_EQ(plat::UpdateLayeredWindow(window, nullptr, &moved, &size, section, &origin, 0x0000FF00u, &blend,
                                      plat::ULW_COLORKEY),
            plat::TRUE);
  ExpectHalfCutOut(window, moved);
  // A rectangle past the section is refused.
  const plat::Point past{1, 0};
  EXPECT_EQ(plat::UpdateLayeredWindow(window, nullptr, &moved, &size, section, &past, 0, &blend, plat::ULW_ALPHA),
            plat::FALSE);
}

TEST(WindowLayered, UpdatesKeepTheImagePositionAndShape) {
  RecordingClass windowClass("qzlayer");
  const int sections = plat::GetLiveDibSectionCount();
  plat::HBITMAP section = MakeSection();
  ASSERT_NE(section, nullptr);
  plat::HWND window = CreateLayered(windowClass);
  ASSERT_NE(window, nullptr);
  UpdateBothWays(window, section);

  // Without WS_EX_LAYERED nothing is shown that way.
  plat::HWND plain = CreateLayered(windowClass, 0);
  const plat::WinSize size{kWidth, kHeight};
  EXPECT_EQ(plat::UpdateLayeredWindow(plain, nullptr, nullptr, &size, section, nullptr, 0, nullptr, plat::ULW_OPAQUE),
            plat::FALSE);
  EXPECT_FALSE(plat::ReadLayeredWindowImage(plain, nullptr));
  // A destroyed window's image is gone with it.
  ASSERT_TRUE(plat::DestroyWindow(window));
  EXPECT_FALSE(plat::ReadLayeredWindowImage(window, nullptr));
  EXPECT_EQ(plat::DeleteObject(section), plat::TRUE);
  EXPECT_EQ(plat::GetLiveDibSectionCount(), sections);
}

TEST(WindowLayered, TheDesktopBackendShapesWhereItCan) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  plat::SetBackendKindForTest(plat::BackendKind::kDesktop);
  {
    RecordingClass windowClass("qzsdllayer");
    plat::HBITMAP section = MakeSection();
    plat::HWND window = CreateLayered(windowClass);
    ASSERT_NE(window, nullptr);
    UpdateBothWays(window, section);
    plat::DeleteObject(section);
  }
  plat::SetBackendKindForTest(plat::BackendKind::kHeadless);
}

}  // namespace
