// The mask screen on both renderers, checked by pixels: masked bytes keep the
// target's pixels, an all-zero mask changes nothing, nested brackets act once
// and an unmatched end not at all, a clear reaches the target through any
// mask, after a rebuild the same mask is back and drawing still goes through
// it, and a device offering only four bits of alpha keeps every mask value.
#include "graphics/mask_screen.h"

#include <gtest/gtest.h>

#include <memory>

#include "graphics/draw_settings_block.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/screen_mode_change.h"
#include "graphics/draw_test_support.h"

namespace {

using qz::testing::Renderer;

TEST(MaskScreenFlags, InUseReportsTheRequestTheSettingsResetMakes) {
  qz::GetMaskScreenFlags().useRequested = 0;
  EXPECT_EQ(qz::IsMaskScreenInUse(), 0);
  qz::ResetDrawSettings();
  EXPECT_EQ(qz::IsMaskScreenInUse(), 1);
  EXPECT_EQ(qz::GetMaskScreenFlags().active, 0);
  EXPECT_EQ(qz::SetMaskScreenInUse(1), -1) << "no mask buffer yet";
}

class MaskedDrawing : public ::testing::TestWithParam<Renderer> {
 protected:
  void SetUp() override {
    library_ = std::make_unique<qz::testing::DrawingLibrary>(GetParam());
    ASSERT_TRUE(library_->started());
    qz::ClearDrawTarget(nullptr);
  }
  void TearDown() override { library_.reset(); }

  // The back screen with the mask's redirection lifted for the read.
  static qz::testing::Frame Screen() {
    qz::SetMaskScreenInUse(0);
    qz::testing::Frame frame = qz::testing::ReadBackScreen();
    qz::SetMaskScreenInUse(1);
    return frame;
  }

  std::unique_ptr<qz::testing::DrawingLibrary> library_;
};

TEST_P(MaskedDrawing, MaskedBytesKeepTheTargetAndZeroBytesLetDrawingThrough) {
  ASSERT_EQ(qz::MakeMaskScreen(), 0);
  EXPECT_EQ(qz::GetMaskScreenFlags().active, 1);
  ASSERT_EQ(qz::FillMaskScreenRect(0, 0, 320, 480, 1), 0);
  qz::DrawSolidRectangle(100, 100, 500, 300, 0xFFFFFF);
  const qz::testing::Frame frame = Screen();
  EXPECT_EQ(frame.At(200, 200), 0u) << "masked: the black target stays";
  EXPECT_EQ(frame.At(400, 200), 0xFFFFFFu);
  EXPECT_EQ(frame.At(400, 350), 0u) << "outside the rectangle";

  // Nested brackets: the inner pair does nothing, the outer one applies the mask.
  qz::FillMaskScreenRect(0, 0, 640, 480, 0);
  qz::BeginMaskedDraw(0, 0, 640, 480);
  qz::DrawSolidRectangle(0, 400, 50, 450, 0x0000FF);
  EXPECT_EQ(Screen().At(10, 410), 0u) << "not yet on the target: only the outer bracket applies";
  qz::EndMaskedDraw(0, 0, 640, 480);
  EXPECT_EQ(Screen().At(10, 410), 0x0000FFu);

  // An end without its begin applies nothing: the work screen still holds
  // the earlier draws, which must not come back over the cleared target.
  qz::ClearDrawTarget(nullptr);
  qz::EndMaskedDraw(0, 0, 640, 480);
  EXPECT_EQ(Screen().At(400, 200), 0u);
  EXPECT_EQ(Screen().At(10, 410), 0u);
  qz::DrawSolidRectangle(0, 0, 20, 20, 0xFF0000);
  EXPECT_EQ(Screen().At(10, 10), 0xFF0000u) << "the brackets after it still pair up";
}

TEST_P(MaskedDrawing, AnAllZeroMaskDrawsAsWithoutOne) {
  qz::DrawSolidRectangle(10, 10, 200, 120, 0x336699);
  const qz::testing::Frame unmasked = qz::testing::ReadBackScreen();
  qz::ClearDrawTarget(nullptr);
  ASSERT_EQ(qz::MakeMaskScreen(), 0);
  qz::DrawSolidRectangle(10, 10, 200, 120, 0x336699);
  EXPECT_EQ(qz::testing::CountDifferentPixels(Screen(), unmasked), 0);
}

TEST_P(MaskedDrawing, AClearReachesTheTargetThroughAnyMask) {
  qz::DrawSolidRectangle(0, 0, 640, 480, 0xFFFFFF);
  ASSERT_EQ(qz::MakeMaskScreen(), 0);
  qz::FillMaskScreenRect(0, 0, 640, 480, 1);
  const plat::WinRect left{0, 0, 320, 480};
  qz::ClearDrawTarget(&left);
  qz::testing::Frame frame = Screen();
  EXPECT_EQ(frame.At(100, 100), 0u) << "cleared although every byte is masked";
  EXPECT_EQ(frame.At(500, 100), 0xFFFFFFu) << "outside the cleared rectangle";
  qz::ClearDrawTarget(nullptr);
  EXPECT_EQ(Screen().At(500, 100), 0u);
  // Drawing still goes through the mask afterwards.
  qz::FillMaskScreenRect(0, 0, 320, 480, 0);
  qz::DrawSolidRectangle(0, 0, 640, 480, 0x00FF00);
  frame = Screen();
  EXPECT_EQ(frame.At(100, 100), 0x00FF00u);
  EXPECT_EQ(frame.At(500, 100), 0u);
}

TEST_P(MaskedDrawing, ARebuildBringsTheSameMaskBack) {
  ASSERT_EQ(qz::MakeMaskScreen(), 0);
  qz::FillMaskScreenRect(0, 0, 320, 480, 7);
  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  EXPECT_EQ(qz::GetMaskScreenValue(10, 10), 7);
  EXPECT_EQ(qz::GetMaskScreenFlags().active, 1);
  qz::ClearDrawTarget(nullptr);
  qz::DrawSolidRectangle(0, 0, 640, 480, 0xFFFFFF);
  const qz::testing::Frame frame = Screen();
  EXPECT_EQ(frame.At(100, 100), 0u);
  EXPECT_EQ(frame.At(500, 100), 0xFFFFFFu);
  EXPECT_TRUE(plat::ListD3D9OrphanedObjects().empty());
  EXPECT_EQ(plat::GetD3D9ForeignObjectUseCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothRenderers, MaskedDrawing, ::testing::Values(Renderer::kDevice, Renderer::kSoftware),
                         qz::testing::RendererName);

TEST(MaskTexture, FourBitsOfAlphaKeepEveryNonZeroMaskValue) {
  qz::testing::DrawingOptions options;
  options.refusedTextureFormats = {plat::D3DFMT_A8R8G8B8};  // A4R4G4B4 is the only alpha format left
  qz::testing::DrawingLibrary library(Renderer::kDevice, options);
  ASSERT_TRUE(library.started());
  qz::ClearDrawTarget(nullptr);
  ASSERT_EQ(qz::MakeMaskScreen(), 0);
  for (int value = 0; value < 16; ++value) qz::FillMaskScreenRect(value * 40, 0, value * 40 + 40, 480, value);
  qz::DrawSolidRectangle(0, 0, 640, 480, 0xFFFFFF);
  qz::SetMaskScreenInUse(0);
  const qz::testing::Frame frame = qz::testing::ReadBackScreen();
  EXPECT_EQ(frame.At(20, 100), 0xFFFFFFu) << "mask value 0 lets drawing through";
  for (int value = 1; value < 16; ++value) EXPECT_EQ(frame.At(value * 40 + 20, 100), 0u) << "mask value " << value;
}

}  // namespace
