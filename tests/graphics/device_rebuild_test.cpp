// Device loss and rebuild on a started library, driven the way the window
// brings them: deactivating and reactivating a full-screen window, and a
// window-mode device that reports itself lost. After each, graphs keep their
// handles and pixels and no object of the released device is still in use;
// a drawing program with text, buffers, shaders, a mesh and a mask gets all
// of them back. The software path keeps drawing through its mask, takes a
// new size by rebuild, and is where a device that cannot be made again
// leaves the program; a full-screen 320 x 240 mode runs emulated.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/display_modes.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/buffer_handles.h"
#include "graphics/device_state_cache.h"
#include "graphics/mask_screen.h"
#include "graphics/mesh_objects.h"
#include "graphics/shader_objects.h"
#include "font/text_draw.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/screen_settings.h"
#include "image/base_image.h"
#include "platform/clock.h"
#include "platform/d3d9.h"
#include "platform/d3d9_shader.h"
#include "platform/window.h"
#include "platform/window_present.h"
#include "support/scratch_log.h"

namespace {

class DeviceRebuild : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::ResetD3D9StandInForTest();
    plat::UseVirtualTime(true);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    const std::string title = "QzDeviceRebuild" + std::to_string(getpid());
    qz::SetMainWindowTitle(title.c_str());
  }
  void TearDown() override {
    qz::EndLibraryEntry();
    qz::SetHardwareRenderingFlag(1);
    qz::SetRebuildOnModeChange(0);
    qz::SetScreen320x240Emulation(0);
    plat::SetD3D9DeviceStateForTest(plat::D3D_OK);
    qz::SetDisplayModeListForTest(nullptr, -1);
    qz::SetScreenModeSize(0, 0);
    qz::SetScreenColorBitDepth(0);
    plat::UseVirtualTime(false);
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
  }

  void Start(bool windowMode, bool onDevice = true) {
    qz::ChangeWindowMode(windowMode ? 1 : 0);
    qz::SetScreenMode(640, 480, 32, 0);
    qz::SetHardwareRenderingFlag(onDevice ? 1 : 0);
    ASSERT_EQ(qz::InitLibraryEntry(), 0);
    ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, onDevice ? 1 : 0);
    ASSERT_EQ(qz::QueryWindowModeState(), windowMode ? 1 : 0);
    qz::BaseImage image{};
    ASSERT_EQ(qz::AllocXRGB8BaseImage(16, 16, &image), 0);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) qz::SetBaseImagePixel(&image, x, y, x * 16, y * 16, 0x40, 255);
    }
    graph_ = qz::BuildGraphFromBaseImages(&image, nullptr, 0);
    ASSERT_NE(graph_, -1);
    ASSERT_EQ(qz::ReloadGraphFromBaseImageNoAlpha(&image, graph_), 0);
    qz::FreeBaseImagePixels(&image);
  }

  // Draws the graph on a cleared back screen; its pixel at (5, 9) as 0xRRGGBB.
  std::uint32_t DrawAndSample() const {
    qz::SelectDrawTarget(qz::kBackScreen);
    qz::ClearDrawTarget(nullptr);
    EXPECT_EQ(qz::BlitGraph(0, 0, graph_, 0), 0);
    return ScreenPixels({5, 9, 6, 10})[0];
  }

  // The back screen's pixels in the rectangle, row by row, as 0xRRGGBB.
  static std::vector<std::uint32_t> ScreenPixels(const plat::WinRect& rect) {
    qz::BaseImage image{};
    std::vector<std::uint32_t> pixels;
    EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -2), 0);
    for (int y = 0; y < rect.bottom - rect.top; ++y) {
      for (int x = 0; x < rect.right - rect.left; ++x) {
        int red = 0, green = 0, blue = 0, alpha = 0;
        qz::GetBaseImagePixel(&image, x, y, &red, &green, &blue, &alpha);
        pixels.push_back(static_cast<std::uint32_t>(red << 16 | green << 8 | blue));
      }
    }
    qz::ReleaseBackBufferLockSurfaces();
    return pixels;
  }

  // The window gains or loses activation; the pump hands it to the library.
  static void Activate(bool active) {
    plat::SimulateActivation(qz::QueryMainWindowHandle(), active);
    qz::PumpMessagesEntry();
  }

  static void ExpectNoObjectOfAReleasedDevice() {
    EXPECT_EQ(plat::ListD3D9OrphanedObjects(), std::vector<std::string>{});
    EXPECT_EQ(plat::GetD3D9ForeignObjectUseCount(), 0);
  }

  qz::testing::ScratchLog log_;
  int graph_ = -1;
};

// The whole back screen as bytes.
std::vector<std::uint8_t> Screen() {
  const plat::WinRect rect{0, 0, 640, 480};
  qz::BaseImage image{};
  EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -2), 0);
  const auto* bytes = static_cast<const std::uint8_t*>(image.pixels);
  std::vector<std::uint8_t> copy(bytes, bytes + qz::GetBaseImageDataSize(&image));
  qz::ReleaseBackBufferLockSurfaces();
  return copy;
}

// Bytes a device buffer holds now.
template <typename Buffer>
std::vector<std::uint8_t> DeviceBytes(Buffer* buffer, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  void* data = nullptr;
  if (buffer == nullptr || buffer->Lock(0, 0, &data, 0) != plat::D3D_OK) return {};
  std::memcpy(bytes.data(), data, size);
  buffer->Unlock();
  return bytes;
}

class DrawingProgramRebuild : public DeviceRebuild, public ::testing::WithParamInterface<bool> {};

// In a window: a lost device, then a rebuild the program asks for; in full
// screen: deactivation and reactivation.
TEST_P(DrawingProgramRebuild, GetsEverythingBackAfterEachKindOfRebuild) {
  const bool windowMode = GetParam();
  const qz::DisplayModeRecord modes[] = {{640, 480, 32, 60}};
  qz::SetDisplayModeListForTest(modes, 1);
  plat::SetD3D9ProfileForTest(plat::ShaderModel20D3D9Profile());
  Start(windowMode);
  ASSERT_EQ(qz::GetDeviceStateCache().shadersOn, 1);
  // A vertex buffer with data, a mesh with a part, a mask over the left half.
  const int buffer = qz::MakeVertexBufferHandle(8, 0x042);  // XYZ | DIFFUSE: 16 bytes a vertex
  ASSERT_NE(buffer, -1);
  std::vector<std::uint8_t> vertices(8 * 16);
  for (std::size_t i = 0; i < vertices.size(); ++i) vertices[i] = static_cast<std::uint8_t>(i * 7 + 1);
  ASSERT_EQ(qz::WriteVertexBufferData(0, vertices.data(), 8, buffer), 0);
  const int mesh = qz::CreateMeshObject();
  const std::uint16_t indexes[3] = {0, 1, 2};
  ASSERT_EQ(qz::AddMeshObjectPart(mesh, 0, 0, 0, vertices.data(), 8, 16, indexes, 3), 0);
  ASSERT_EQ(qz::CreateMeshBuffers(mesh, 0), 0);
  ASSERT_EQ(qz::MakeMaskScreen(), 0);
  qz::FillMaskScreenRect(0, 0, 320, 480, 1);
  const auto frame = [this] {
    qz::SelectDrawTarget(qz::kBackScreen);
    qz::SetMaskScreenInUse(0);
    qz::ClearDrawTarget(nullptr);
    qz::BlitGraphStretched(0, 0, 640, 240, graph_, 0);
    qz::DrawTextDefaultFont(20, 300, "Rebuild 0123", 0xFFFFFF, 0x000080);
    qz::SetMaskScreenInUse(1);
    qz::BlitGraphStretched(0, 240, 640, 480, graph_, 0);  // only the right half lands
    qz::SetMaskScreenInUse(0);
    std::vector<std::uint8_t> pixels = Screen();
    qz::SetMaskScreenInUse(1);
    return pixels;
  };
  const std::vector<std::uint8_t> before = frame();
  const auto meshBytes = [mesh] {
    int vertexCount = 0, indexCount = 0;
    void* vertexBuffer = nullptr;
    void* indexBuffer = nullptr;
    qz::GetMeshGroupNode(mesh, 0, 0, &vertexCount, &indexCount, &vertexBuffer, &indexBuffer);
    return DeviceBytes(static_cast<plat::IDirect3DVertexBuffer9*>(vertexBuffer), 8 * 16);
  };
  const auto bufferBytes = [buffer] {
    return DeviceBytes(static_cast<plat::IDirect3DVertexBuffer9*>(qz::GetVertexBufferRecord(buffer)->deviceBuffer),
                       8 * 16);
  };
  ASSERT_EQ(meshBytes(), vertices);
  ASSERT_EQ(bufferBytes(), vertices);

  const auto expectEverythingBack = [&](const char* how) {
    SCOPED_TRACE(how);
    ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
    EXPECT_EQ(frame(), before);
    EXPECT_EQ(meshBytes(), vertices);
    EXPECT_EQ(bufferBytes(), vertices);
    EXPECT_NE(qz::GetVertexShaderObject(32774), nullptr);
    EXPECT_NE(qz::GetPixelShaderObject(2454), nullptr);
    EXPECT_EQ(qz::GetMaskScreenValue(10, 10), 1);
    EXPECT_EQ(plat::GetD3D9ShaderDrawRefusalCount(), 0);
    ExpectNoObjectOfAReleasedDevice();
  };
  if (windowMode) {
    plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICELOST);
    Activate(false);
    plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICENOTRESET);
    Activate(true);
    plat::SetD3D9DeviceStateForTest(plat::D3D_OK);
    expectEverythingBack("a lost device in a window");
    ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
    expectEverythingBack("a rebuild asked for");
  } else {
    Activate(false);
    plat::SimulateMinimise(qz::QueryMainWindowHandle(), false);
    qz::PumpMessagesEntry();
    expectEverythingBack("full screen deactivated and back");
  }
}

INSTANTIATE_TEST_SUITE_P(WindowAndFullScreen, DrawingProgramRebuild, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Window") : std::string("FullScreen");
                         });

TEST_F(DeviceRebuild, FullScreenDeactivationEndsTheDeviceAndActivationRebuildsIt) {
  const qz::DisplayModeRecord modes[] = {{640, 480, 32, 60}};
  qz::SetDisplayModeListForTest(modes, 1);
  Start(false);
  const std::uint32_t before = DrawAndSample();
  EXPECT_EQ(before, 0x509040u);
  const int objectsBefore = plat::GetD3D9LiveObjectCount();

  Activate(false);
  EXPECT_EQ(qz::IsMainWindowActive(), 0);
  EXPECT_EQ(qz::GetGraphicsState().device, nullptr);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0) << "graph textures go with their device";

  // The user brings the minimised window back.
  plat::SimulateMinimise(qz::QueryMainWindowHandle(), false);
  qz::PumpMessagesEntry();
  EXPECT_EQ(qz::IsMainWindowActive(), 1);
  ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph_));
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objectsBefore);
  EXPECT_EQ(DrawAndSample(), before);
  ExpectNoObjectOfAReleasedDevice();
}

TEST_F(DeviceRebuild, WindowModeActivationRebuildsALostDevice) {
  Start(true);
  const std::uint32_t before = DrawAndSample();
  const auto devicesMade = [] { return plat::GetD3D9CallCount("CreateDevice") + plat::GetD3D9CallCount("CreateDeviceEx"); };
  const int madeAtStart = devicesMade();

  // An activation with the device fine keeps it.
  Activate(false);
  Activate(true);
  EXPECT_EQ(devicesMade(), madeAtStart);

  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICELOST);
  Activate(false);
  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICENOTRESET);
  Activate(true);
  plat::SetD3D9DeviceStateForTest(plat::D3D_OK);
  EXPECT_EQ(devicesMade(), madeAtStart + 1);
  ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph_));
  EXPECT_EQ(DrawAndSample(), before);
  ExpectNoObjectOfAReleasedDevice();
}

TEST_F(DeviceRebuild, ModeChangeByRebuildKeepsGraphsAndCallsTheProgramsCallback) {
  Start(true);
  const std::uint32_t before = DrawAndSample();
  int calls = 0;
  qz::SetDeviceRebuildCallback([](void* value) { ++*static_cast<int*>(value); }, &calls);
  qz::SetRebuildOnModeChange(1);
  const int bits = qz::GetScreenColorBitDepth();
  EXPECT_EQ(qz::SetScreenMode(800, 600, bits, 0), 0);
  qz::SetRebuildOnModeChange(0);
  qz::SetDeviceRebuildCallback(nullptr, nullptr);
  int width = 0;
  int height = 0;
  qz::GetScreenModeSize(&width, &height);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph_)) << "a rebuild keeps the graphs a restart would lose";
  EXPECT_EQ(DrawAndSample(), before);
  ExpectNoObjectOfAReleasedDevice();
}

// Full screen on the software path: the device ends with the deactivation
// and the rebuild on activation must bring the mask's work image back.
TEST_F(DeviceRebuild, TheSoftwarePathDrawsThroughItsMaskAfterFullScreenDeactivation) {
  const qz::DisplayModeRecord modes[] = {{640, 480, 32, 60}};
  qz::SetDisplayModeListForTest(modes, 1);
  Start(false, false);
  const std::uint32_t before = DrawAndSample();
  ASSERT_EQ(qz::MakeMaskScreen(), 0);
  qz::FillMaskScreenRect(0, 0, 320, 480, 1);

  Activate(false);
  plat::SimulateMinimise(qz::QueryMainWindowHandle(), false);
  qz::PumpMessagesEntry();
  ASSERT_EQ(qz::IsMainWindowActive(), 1);
  ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 0);
  qz::ClearDrawTarget(nullptr);
  qz::DrawSolidRectangle(0, 0, 640, 480, 0xFFFFFF);
  qz::SetMaskScreenInUse(0);
  EXPECT_EQ(ScreenPixels({100, 100, 101, 101})[0], 0u) << "masked";
  EXPECT_EQ(ScreenPixels({500, 100, 501, 101})[0], 0xFFFFFFu);
  EXPECT_EQ(DrawAndSample(), before);
}

// The device cannot be made again: graphs, drawing, text and the present go
// on through the software path.
TEST_F(DeviceRebuild, AFailedDeviceCreationLeavesAWorkingSoftwarePath) {
  Start(true);
  const std::uint32_t before = DrawAndSample();
  for (const char* create : {"CreateDevice", "CreateDeviceEx"}) {
    plat::FailD3D9CallForTest(create, 1, 100, plat::D3DERR_NOTAVAILABLE);
  }
  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 0);
  ExpectNoObjectOfAReleasedDevice();
  EXPECT_TRUE(qz::IsValidGraphHandle(graph_));
  EXPECT_EQ(DrawAndSample(), before) << "the graph reloaded from its source into a software image";

  qz::ClearDrawTarget(nullptr);
  qz::DrawSolidRectangle(10, 10, 50, 50, 0x3366CC);
  EXPECT_EQ(ScreenPixels({20, 20, 21, 21})[0], 0x3366CCu);
  ASSERT_EQ(qz::DrawTextDefaultFont(100, 100, "Text 0123", 0xFFFFFF, 0), 0);
  const std::vector<std::uint32_t> text = ScreenPixels({100, 100, 200, 130});
  EXPECT_GT(std::count(text.begin(), text.end(), 0xFFFFFFu), 20);
  ASSERT_EQ(qz::PresentFrame(), 0);
  std::vector<std::uint32_t> shown;
  int width = 0, height = 0;
  ASSERT_TRUE(plat::ReadPresentedFrame(qz::QueryMainWindowHandle(), &shown, &width, &height));
  ASSERT_EQ(width, 640);
  EXPECT_EQ(shown[20 * 640 + 20] & 0xFFFFFFu, 0x3366CCu);
}

TEST_F(DeviceRebuild, AModeChangeByRebuildOnTheSoftwarePathResizesItsScreen) {
  Start(true, false);
  const std::uint32_t before = DrawAndSample();
  qz::SetRebuildOnModeChange(1);
  ASSERT_EQ(qz::SetScreenMode(800, 600, qz::GetScreenColorBitDepth(), 0), 0);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph_));
  qz::ClearDrawTarget(nullptr);
  qz::DrawSolidRectangle(700, 500, 800, 600, 0x3366CC);
  EXPECT_EQ(ScreenPixels({799, 599, 800, 600})[0], 0x3366CCu) << "the back image and the clip have the new size";
  EXPECT_EQ(DrawAndSample(), before);
}

TEST_F(DeviceRebuild, AFullScreen320x240RequestRunsEmulatedAt640x480) {
  const qz::DisplayModeRecord modes[] = {{640, 480, 32, 60}};
  qz::SetDisplayModeListForTest(modes, 1);
  Start(false);
  EXPECT_EQ(qz::SetScreenMode(320, 240, 32, 0), 0);
  int width = 0, height = 0;
  qz::GetScreenModeSize(&width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(qz::GetScreen320x240Emulation(), 1);
  qz::QueryDrawScreenSize(&width, &height, nullptr);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
  EXPECT_EQ(qz::SetScreenMode(320, 240, 32, 0), 0) << "the current mode again";
  EXPECT_EQ(qz::SetScreenMode(640, 480, 32, 0), 0);
  EXPECT_EQ(qz::GetScreen320x240Emulation(), 0);
}

}  // namespace
