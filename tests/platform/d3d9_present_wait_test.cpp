// A whole frame presented from a 32-bit back buffer the size of the window is
// shown from the back buffer's own pixels until they change, and a clear of
// all of them hands them to the window. Whatever touches the back buffer
// next, the window must go on showing the frame as it was presented, and the
// back buffer must hold what was drawn into it since; at 1 and 8 workers,
// whose draws may still run after the present.
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "platform/d3d9_raster_bands.h"
#include "platform/window_present.h"
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;

using qz::testing::kTexturedFvf;
using qz::testing::TexturedVertex;
// The window's client size, so that the present needs no scaling.
constexpr std::uint32_t kWidth = 640, kHeight = 480;
// Whole-screen draws a frame is made of, each in another colour than the
// next: at 8 workers they may still run after the present returns.
constexpr int kFrameDraws = 4;

class D3D9PresentWait : public qz::testing::D3D9Test, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    raster::SetRasterWorkerCountForTests(GetParam());
    // Presents without the vertical-blank wait, as a game measuring its
    // frames does: the workers get no time to catch up.
    direct3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(direct3d_, nullptr);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(kWidth, kHeight, D3DFMT_X8R8G8B8);
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device_),
              D3D_OK);
    ASSERT_EQ(device_->SetFVF(kTexturedFvf), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    // The vertex colour alone: no texture is bound.
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE), D3D_OK);
  }

  void TearDown() override {
    raster::SetRasterWorkerCountForTests(0);
    D3D9Test::TearDown();
  }

  // A quad of the vertex colour over pixels [left, left + width) x
  // [top, top + height).
  void DrawQuad(float left, float top, std::uint32_t argb, float width = 40, float height = 200) {
    const float x0 = left - 0.5f, y0 = top - 0.5f, x1 = x0 + width, y1 = y0 + height;
    const TexturedVertex quad[4] = {
        {x0, y0, 0, 1, argb, 0, 0}, {x1, y0, 0, 1, argb, 1, 0}, {x0, y1, 0, 1, argb, 0, 1}, {x1, y1, 0, 1, argb, 1, 1}};
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
  }

  // How many pixels the window shows in another colour than `rgb`.
  int ShownOtherThan(std::uint32_t rgb) {
    std::vector<std::uint32_t> shown;
    int width = 0, height = 0;
    EXPECT_TRUE(ReadPresentedFrame(window_, &shown, &width, &height));
    EXPECT_EQ(width * height, static_cast<int>(kWidth * kHeight));
    int other = 0;
    for (const std::uint32_t pixel : shown) other += (pixel & 0xFFFFFFu) != rgb ? 1 : 0;
    return other;
  }

  // A frame whose last draw leaves every pixel `rgb`.
  void DrawFrame(std::uint32_t rgb) {
    for (int i = kFrameDraws - 1; i >= 0; --i) DrawQuad(0, 0, 0xFF000000u | (rgb ^ static_cast<std::uint32_t>(i)), kWidth, kHeight);
  }

  std::uint32_t BackBufferAt(int x, int y) {
    IDirect3DSurface9* back = BackBuffer();
    const std::vector<std::uint32_t> pixels = ReadArgb(back);
    back->Release();
    return pixels[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)] & 0xFFFFFFu;
  }
};

TEST_P(D3D9PresentWait, WindowKeepsThePresentedFrameWhateverTouchesTheBackBufferNext) {
  IDirect3DSurface9* plain = nullptr;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 16, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
  ASSERT_EQ(device_->ColorFill(plain, nullptr, 0xFF00FF00u), D3D_OK);
  const D3DRECT corner = {0, 0, 100, 100};
  const WinRect spot = {200, 200, 216, 216};
  struct Change {
    const char* name;
    std::function<void()> apply;
    int x, y;            // a back-buffer pixel the change made
    std::uint32_t made;  // its colour there
  };
  const std::vector<Change> changes = {
      {"a clear of part", [&] { device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0); }, 5, 5, 0x0000FFu},
      {"a draw", [&] { DrawQuad(300, 100, 0xFFFF0000u); }, 310, 150, 0xFF0000u},
      {"a lock",
       [&] {
         IDirect3DSurface9* back = BackBuffer();
         D3DLOCKED_RECT locked{};
         ASSERT_EQ(back->LockRect(&locked, nullptr, 0), D3D_OK);
         static_cast<std::uint32_t*>(locked.pBits)[7] = 0xFFABCDEFu;
         ASSERT_EQ(back->UnlockRect(), D3D_OK);
         back->Release();
       },
       7, 0, 0xABCDEFu},
      {"a copy onto it",
       [&] {
         IDirect3DSurface9* back = BackBuffer();
         ASSERT_EQ(device_->StretchRect(plain, nullptr, back, &spot, D3DTEXF_NONE), D3D_OK);
         back->Release();
       },
       205, 205, 0x00FF00u},
      {"a clear of all, then a draw",
       [&] {
         device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF404040u, 1.0f, 0);
         DrawQuad(20, 20, 0xFFFFFF00u);
       },
       30, 30, 0xFFFF00u},
      {"a fill",
       [&] {
         IDirect3DSurface9* back = BackBuffer();
         ASSERT_EQ(device_->ColorFill(back, nullptr, 0xFF808080u), D3D_OK);
         back->Release();
       },
       1, 1, 0x808080u},
  };
  std::uint32_t colour = 0x102030u;
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    colour += 0x111111u;
    // The frame is drawn, so at 8 workers its draws may still run after the present.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    DrawFrame(colour);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    change.apply();
    EXPECT_EQ(ShownOtherThan(colour), 0);
    EXPECT_EQ(BackBufferAt(change.x, change.y), change.made);
    // Frames presented one after another, each cleared whole before its draws.
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(BackBufferAt(change.x, change.y), change.made);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    std::vector<std::uint32_t> shown;
    ASSERT_TRUE(ReadPresentedFrame(window_, &shown, nullptr, nullptr));
    EXPECT_EQ(shown[static_cast<std::size_t>(change.y) * kWidth + static_cast<std::size_t>(change.x)] & 0xFFFFFFu,
              change.made);
  }
  plain->Release();
  // Read on another thread while the frame's draws may still run.
  DrawFrame(0x654321u);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  std::thread([this] { EXPECT_EQ(ShownOtherThan(0x654321u), 0); }).join();
  // The device goes while its last frame is still shown from its back buffer.
  DrawFrame(0x123456u);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  device_->Release();
  device_ = nullptr;
  EXPECT_EQ(ShownOtherThan(0x123456u), 0);
}

// A copying present onto part of the window while the last whole frame still
// waits in the back buffer: that frame is settled first, so the rest of the
// window keeps it and the part shows the new copy (here the frame scaled into
// the top left quarter, its green right half reaching the quarter's middle).
TEST_P(D3D9PresentWait, APresentOntoPartOfTheWindowKeepsTheWaitingFrameAroundIt) {
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
  DrawQuad(0, 0, 0xFFFF0000u, kWidth / 2, kHeight);
  DrawQuad(kWidth / 2, 0, 0xFF00FF00u, kWidth / 2, kHeight);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  const WinRect quarter = {0, 0, kWidth / 2, kHeight / 2};
  ASSERT_EQ(device_->Present(nullptr, &quarter, nullptr, nullptr), D3D_OK);
  std::vector<std::uint32_t> shown;
  ASSERT_TRUE(ReadPresentedFrame(window_, &shown, nullptr, nullptr));
  const auto at = [&shown](int x, int y) { return shown[static_cast<std::size_t>(y) * kWidth + x] & 0xFFFFFFu; };
  EXPECT_EQ(at(100, 100), 0xFF0000u);
  EXPECT_EQ(at(200, 100), 0x00FF00u) << "the part shows the scaled copy";
  EXPECT_EQ(at(200, 300), 0xFF0000u) << "the rest shows the waiting frame";
  EXPECT_EQ(at(500, 100), 0x00FF00u);
  EXPECT_EQ(BackBufferAt(200, 100), 0xFF0000u);
}

// The window side alone, with the owner's draws stood in for by what `drawn`
// does: a waiting frame is read only once they are done, also after a clear
// took the owner's pixels over, which does not wait.
using WindowFrameWait = qz::testing::D3D9Test;

TEST_F(WindowFrameWait, AFrameIsReadOnlyOnceItsDrawsAreDone) {
  std::vector<std::uint8_t> pixels(kWidth * kHeight * 4, 0);
  int waits = 0;
  const auto drawsThatPaint = [&waits](std::uint8_t* bytes, std::uint8_t value) {
    return [&waits, bytes, value] {
      ++waits;
      std::memset(bytes, value, kWidth * kHeight * 4);
    };
  };
  const auto shown = [this] {
    std::vector<std::uint32_t> frame;
    EXPECT_TRUE(ReadPresentedFrame(window_, &frame, nullptr, nullptr));
    return frame.empty() ? 0u : frame[frame.size() / 2] & 0xFFFFFFu;
  };
  const FrameView frame{pixels.data(), kWidth, kHeight, kWidth * 4};
  ASSERT_TRUE(PresentWholeFrameLater(window_, frame, &pixels, drawsThatPaint(pixels.data(), 0x11)));
  EXPECT_EQ(shown(), 0x111111u);
  EXPECT_EQ(waits, 1);

  std::uint8_t* const drawnInto = pixels.data();
  ASSERT_TRUE(PresentWholeFrameLater(window_, frame, &pixels, drawsThatPaint(drawnInto, 0x22)));
  ASSERT_TRUE(TakeOverWaitingFrame(&pixels, &pixels));
  EXPECT_EQ(waits, 1);
  EXPECT_NE(pixels.data(), drawnInto) << "the window's old pixels are the owner's now";
  std::memset(pixels.data(), 0x33, pixels.size());  // the clear
  EXPECT_EQ(shown(), 0x222222u);
  EXPECT_EQ(waits, 2);
}

// A copy of another frame onto part of the window settles the frame waiting
// in an owner's pixels first: the part shows the copy, the rest that frame.
TEST_F(WindowFrameWait, ACopyOntoPartOfTheWindowSettlesTheWaitingFrameFirst) {
  std::vector<std::uint8_t> waiting(kWidth * kHeight * 4, 0x11), copied(kWidth * kHeight * 4, 0x22);
  ASSERT_TRUE(PresentWholeFrameLater(window_, {waiting.data(), kWidth, kHeight, kWidth * 4}, &waiting, nullptr));
  const WinRect part = {100, 50, 200, 150};
  ASSERT_TRUE(PresentFrameToWindow(window_, {copied.data(), kWidth, kHeight, kWidth * 4}, &part, &part));
  std::vector<std::uint32_t> shown;
  ASSERT_TRUE(ReadPresentedFrame(window_, &shown, nullptr, nullptr));
  EXPECT_EQ(shown[100 * kWidth + 150] & 0xFFFFFFu, 0x222222u);
  EXPECT_EQ(shown[10 * kWidth + 10] & 0xFFFFFFu, 0x111111u);
  EXPECT_EQ(shown[200 * kWidth + 150] & 0xFFFFFFu, 0x111111u);
}

INSTANTIATE_TEST_SUITE_P(Workers, D3D9PresentWait, ::testing::Values(1, 8),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

}  // namespace
