// A device's band workers belong to the thread that made the device: another
// thread is refused what would touch the recorded work or the pixels it
// still uses, and may release what it holds; many small draws between
// flushes at 8 workers show one thread's frame without ever hanging.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/d3d9_raster_bands.h"
#include "platform/window_present.h"
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;

using qz::testing::kTexturedFvf;
using qz::testing::TexturedVertex;
constexpr std::uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u;

// Runs `work` on a thread of its own. A lost wake-up leaves a thread asleep
// for ever: past the limit the test fails at once, ending the process (the
// hung thread cannot be joined), rather than stalling the run until it
// times out.
template <typename Work>
void OnAnotherThread(Work work, std::chrono::seconds limit = std::chrono::seconds(60)) {
  std::packaged_task<void()> task(work);
  std::future<void> done = task.get_future();
  std::thread thread(std::move(task));
  if (done.wait_for(limit) != std::future_status::ready) {
    std::fprintf(stderr, "FAILED: band workers made no progress for %lld s: a thread sleeps on a lost wake-up\n",
                 static_cast<long long>(limit.count()));
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
  }
  thread.join();
  done.get();
}

// Whether every other thread of the process is blocked in the kernel rather
// than running or spinning (its state in /proc is not "R").
bool OtherThreadsBlocked() {
  const std::string self = std::to_string(::gettid());
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == self) continue;
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // The state follows the name, which is in parentheses and may hold any.
    const std::size_t close = line.rfind(')');
    if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'R') return false;
  }
  return true;
}

// Returns once the workers have stopped spinning and gone to sleep: every
// other thread blocked twice in a row, ten milliseconds apart (their spin
// lasts about a tenth of that), or after five seconds regardless.
void AwaitSleepingWorkers() {
  for (int blocked = 0, tries = 0; blocked < 2 && tries < 500; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    blocked = OtherThreadsBlocked() ? blocked + 1 : 0;
  }
}

class RasterWorkerThreads : public qz::testing::D3D9Test {
 protected:
  void TearDown() override {
    raster::SetRasterWorkerCountForTests(0);
    D3D9Test::TearDown();
  }

  void MakeBandedDevice(int workers, std::uint32_t width, std::uint32_t height) {
    raster::SetRasterWorkerCountForTests(workers);
    ASSERT_NE(MakeDevice(width, height, D3DFMT_X8R8G8B8, false), nullptr);
    ASSERT_EQ(device_->SetFVF(kTexturedFvf), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
  }

  void ReleaseDevice() {
    device_->Release();
    device_ = nullptr;
    direct3d_->Release();
    direct3d_ = nullptr;
  }

  // A managed 4x4 texture of one colour.
  IDirect3DTexture9* SolidTexture(std::uint32_t argb) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    if (texture == nullptr || texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) return texture;
    for (int y = 0; y < 4; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (int x = 0; x < 4; ++x) row[x] = argb;
    }
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
  }

  // Pixels [left, left + w) x [top, top + h) covered with the bound texture.
  HRESULT DrawQuad(float left, float top, float w, float h, std::uint32_t diffuse = 0xFFFFFFFFu) {
    const float x0 = left - 0.5f, y0 = top - 0.5f, x1 = x0 + w, y1 = y0 + h;
    const TexturedVertex quad[4] = {{x0, y0, 0, 1, diffuse, 0, 0},
                                    {x1, y0, 0, 1, diffuse, 1, 0},
                                    {x0, y1, 0, 1, diffuse, 0, 1},
                                    {x1, y1, 0, 1, diffuse, 1, 1}};
    return device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex));
  }

  std::vector<std::uint32_t> BackBufferPixels() {
    IDirect3DSurface9* back = BackBuffer();
    std::vector<std::uint32_t> pixels = ReadArgb(back);
    back->Release();
    return pixels;
  }
};

TEST_F(RasterWorkerThreads, AnotherThreadIsRefusedWhatTheDevicesRecordedDrawsStillUse) {
  MakeBandedDevice(3, 64, 48);
  IDirect3DTexture9* drawn = SolidTexture(kRed);
  IDirect3DTexture9* fresh = SolidTexture(kGreen);
  IDirect3DSurface9* back = BackBuffer();
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->SetTexture(0, drawn), D3D_OK);
  ASSERT_EQ(DrawQuad(0, 0, 64, 48), D3D_OK);
  OnAnotherThread([&] {
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(drawn->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(back->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    std::vector<std::uint32_t> pixels;
    EXPECT_FALSE(ReadD3D9SurfaceArgb(back, &pixels, nullptr, nullptr));
    EXPECT_EQ(device_->ColorFill(back, nullptr, kGreen), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(DrawQuad(0, 0, 8, 8), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    // A texture no recorded draw uses may be filled here, as a loader would.
    EXPECT_EQ(fresh->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(fresh->UnlockRect(0), D3D_OK);
  });
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  OnAnotherThread([&] {
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(drawn->LockRect(0, &locked, nullptr, 0), D3D_OK);  // finished by the present
    EXPECT_EQ(drawn->UnlockRect(0), D3D_OK);
  });
  EXPECT_EQ(BackBufferPixels(), std::vector<std::uint32_t>(64 * 48, 0xFFFF0000u));

  // A texture released on another thread while a draw of it is recorded
  // waits for the draw before its pixels go.
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->SetTexture(0, fresh), D3D_OK);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(DrawQuad(0, 0, 64, 48), D3D_OK);
  ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  OnAnotherThread([&] { fresh->Release(); });
  EXPECT_EQ(BackBufferPixels(), std::vector<std::uint32_t>(64 * 48, 0xFF00FF00u));
  back->Release();
  drawn->Release();
}

// A light draw recorded once the workers sleep does not wake them (a few
// such draws are gathered first); a wait on another thread for the pixels it
// uses must: a texture released there, a frame read there while it waits in
// the back buffer, and the device's end there.
TEST_F(RasterWorkerThreads, AnotherThreadsWaitWakesWorkersThatHaveGoneToSleep) {
  constexpr std::chrono::seconds kLimit(20);
  // The window's size, so that a present of the whole frame waits in the back buffer.
  MakeBandedDevice(4, 640, 480);
  IDirect3DTexture9* released = SolidTexture(kRed);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->SetTexture(0, released), D3D_OK);
  AwaitSleepingWorkers();
  ASSERT_EQ(DrawQuad(0, 0, 640, 480), D3D_OK);
  ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
  OnAnotherThread([&] { released->Release(); }, kLimit);

  IDirect3DTexture9* green = SolidTexture(kGreen);
  ASSERT_EQ(device_->SetTexture(0, green), D3D_OK);
  AwaitSleepingWorkers();
  ASSERT_EQ(DrawQuad(0, 0, 640, 480), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  OnAnotherThread(
      [&] {
        std::vector<std::uint32_t> shown;
        ASSERT_TRUE(ReadPresentedFrame(window_, &shown, nullptr, nullptr));
        EXPECT_EQ(shown[240 * 640 + 320], kGreen);
      },
      kLimit);

  ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
  green->Release();
  AwaitSleepingWorkers();
  OnAnotherThread([&] { ReleaseDevice(); }, kLimit);
}

// Frames of many small draws, a few heavy ones (which keep workers busy long
// enough for the recording thread to sleep on them), and flushes of every
// kind between them: read-backs, locks of a drawn texture, render target
// switches, presents and device rebuilds (whose workers stop from sleep).
TEST_F(RasterWorkerThreads, ManySmallDrawsAndFlushesAtEightWorkersShowOneThreadsFrames) {
  constexpr std::uint32_t kWidth = 320, kHeight = 240;
  // Turned quads over the whole target, which the general path draws.
  std::vector<TexturedVertex> heavy;
  for (std::uint32_t layer = 0; layer < 8; ++layer) {
    const std::uint32_t colour = 0x30FFFFFFu ^ (layer * 0x010305u);
    const float w = kWidth, h = kHeight, turn = static_cast<float>(layer) * 4.0f;
    const TexturedVertex a{-40 + turn, -30, 0, 1, colour, 0, 0}, b{w + 30, -40 + turn, 0, 1, colour, 1, 0},
        c{w + 40 - turn, h + 30, 0, 1, colour, 1, 1}, d{-30, h + 40 - turn, 0, 1, colour, 0, 1};
    heavy.insert(heavy.end(), {a, b, d, b, c, d});
  }
  const auto frames = [&](int workers) {
    std::vector<std::uint32_t> shown;
    std::uint32_t seed = 2024;
    const auto next = [&seed](std::uint32_t range) {
      seed = seed * 1103515245u + 12345u;
      return static_cast<float>((seed >> 16) % range);
    };
    for (int rebuild = 0; rebuild < 3; ++rebuild) {
      MakeBandedDevice(workers, kWidth, kHeight);
      IDirect3DTexture9* texture = SolidTexture(0xC08040FFu);
      IDirect3DTexture9* drawable = nullptr;
      IDirect3DSurface9* level = DrawableTexture(64, &drawable);
      IDirect3DSurface9* back = BackBuffer();
      for (int frame = 0; frame < 6; ++frame) {
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030u, 1.0f, 0), D3D_OK);
        EXPECT_EQ(device_->SetTexture(0, texture), D3D_OK);
        for (int draw = 0; draw < 400; ++draw) {
          const float x = next(kWidth), y = next(kHeight), w = 2 + next(6), h = 2 + next(6);
          EXPECT_EQ(DrawQuad(x, y, w, h, 0xFF000000u | seed >> 8), D3D_OK);
          switch (draw % 200) {
            case 10: {
              std::vector<std::uint32_t> pixels;
              EXPECT_TRUE(ReadD3D9SurfaceArgb(back, &pixels, nullptr, nullptr));
              break;
            }
            case 30: {
              D3DLOCKED_RECT locked{};
              EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
              EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
              break;
            }
            case 50:
              EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<std::uint32_t>(heavy.size() / 3),
                                                 heavy.data(), sizeof(TexturedVertex)),
                        D3D_OK);
              break;
            case 70:
              EXPECT_EQ(device_->SetRenderTarget(0, level), D3D_OK);
              EXPECT_EQ(DrawQuad(next(64), next(64), 8, 8), D3D_OK);
              EXPECT_EQ(device_->SetRenderTarget(0, back), D3D_OK);
              break;
            case 150:
              EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
              break;
            default:
              break;
          }
        }
        EXPECT_EQ(device_->SetTexture(0, drawable), D3D_OK);
        EXPECT_EQ(DrawQuad(0, 0, 64, 64), D3D_OK);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
      }
      std::vector<std::uint32_t> pixels;
      EXPECT_TRUE(ReadD3D9SurfaceArgb(back, &pixels, nullptr, nullptr));
      shown.insert(shown.end(), pixels.begin(), pixels.end());
      EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
      level->Release();
      back->Release();
      drawable->Release();
      texture->Release();
      ReleaseDevice();
    }
    return shown;
  };
  std::vector<std::uint32_t> oneThread, eightWorkers;
  OnAnotherThread([&] { oneThread = frames(1); });
  OnAnotherThread([&] { eightWorkers = frames(8); });
  EXPECT_TRUE(eightWorkers == oneThread) << "8 workers showed other frames";
}

}  // namespace
