// Programmable shaders of the hardware path: when they are switched on, what
// a damaged pack does, the objects, declarations and brightness volume made
// for a shader model 2.0 device and made again after a rebuild, and the 2D
// drawing functions clearing any shader before they draw.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/archive_codec.h"
#include "core/archive_writer.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "graphics/buffer_handles.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_target.h"
#include "graphics/graph_test_fixture.h"
#include "graphics/screen_present.h"
#include "graphics/shader_objects.h"
#include "platform/d3d9_shader.h"
#include "support/scratch_log.h"
#include "tests/graphics/draw_test_support.h"
#include "tools/shaderasm/shader_assembler.h"
#include "tools/shaderasm/shader_pack_writer.h"

namespace {

using qz::testing::DrawingLibrary;
using qz::testing::DrawingOptions;
using qz::testing::Frame;
using qz::testing::Renderer;

plat::D3D9Profile ShaderProfile() {
  plat::D3D9Profile profile = qz::testing::GraphProfile(2048);
  profile.caps.VertexShaderVersion = plat::D3DVS_VERSION(2, 0);
  profile.caps.PixelShaderVersion = plat::D3DPS_VERSION(2, 0);
  return profile;
}

std::vector<std::uint32_t> Assemble(const char* source) {
  std::vector<std::uint32_t> tokens;
  std::string error;
  EXPECT_TRUE(shaderasm::AssembleShader(source, &tokens, &error)) << error;
  return tokens;
}

// A shader archive as the build makes it, around the pack bytes given.
std::vector<std::uint8_t> PackedArchive(std::vector<std::uint8_t> pack, bool packMember = true) {
  qz::ArchiveSourceNode root;
  root.isDirectory = true;
  qz::ArchiveSourceNode member;
  member.name = qz::kShaderPackMemberName;
  member.bytes = std::move(pack);
  root.children.push_back(std::move(member));
  qz::ArchiveWriteOptions options;
  options.pack = packMember;
  std::vector<std::uint8_t> image, packed;
  std::string error;
  EXPECT_TRUE(qz::BuildArchiveImage(root, options, &image, nullptr, &error)) << error;
  qz::EncodeArchiveData(image.data(), image.size(), &packed);
  return packed;
}

// A pack with the two test slots filled by small sound shaders.
std::vector<std::uint8_t> TestSlotPack() {
  std::vector<shaderasm::PackedShader> shaders = {
      {false, qz::kTestVertexShaderSlot, Assemble("vs_2_0\ndcl_position v0\nmov oPos, v0\n")},
      {true, qz::kTestPixelShaderSlot, Assemble("ps_2_0\ndcl v0\nmov oC0, v0\n")}};
  std::vector<std::uint8_t> pack;
  std::string error;
  EXPECT_TRUE(shaderasm::BuildShaderPack(shaders, &pack, &error)) << error;
  return pack;
}

class ShaderObjects : public qz::testing::GraphTest {
 protected:
  void TearDown() override {
    qz::testing::GraphTest::TearDown();
    qz::SetShaderArchiveForTest(nullptr, 0);
  }
  // Starts on `profile` with a pack of its own (null: the built-in one) and
  // says whether shaders came on.
  bool StartWith(const plat::D3D9Profile& profile, const std::vector<std::uint8_t>* archive = nullptr) {
    qz::SetShaderArchiveForTest(archive != nullptr ? archive->data() : nullptr,
                                archive != nullptr ? archive->size() : 0);
    Start(profile);
    return qz::GetDeviceStateCache().shadersOn != 0;
  }
  void End() {
    qz::TerminateGraphics();
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
  }
  qz::testing::ScratchLog log_;
};

TEST(MaximizeColorBrightness, KeepsHueAndSaturationAtFullValue) {
  struct Case {
    int in[3];
    int out[3];
  };
  const Case cases[] = {
      {{0, 0, 0}, {255, 255, 255}},      {{10, 10, 10}, {255, 255, 255}}, {{100, 50, 0}, {255, 127, 0}},
      {{0, 50, 100}, {0, 127, 255}},     {{200, 100, 50}, {255, 128, 64}}, {{100, 100, 0}, {255, 255, 0}},
      {{300, 0, 0}, {255, 0, 0}},        {{40, 80, 80}, {128, 255, 255}},
  };
  for (const Case& c : cases) {
    int r = -1, g = -1, b = -1;
    qz::MaximizeColorBrightness(c.in[0], c.in[1], c.in[2], &r, &g, &b);
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{c.out[0], c.out[1], c.out[2]}))
        << c.in[0] << "," << c.in[1] << "," << c.in[2];
  }
}

TEST_F(ShaderObjects, AShaderModel2DeviceWithHardwareVertexProcessingSwitchesThemOn) {
  // The default adapter (shader model 1.1): fixed function only, and no
  // multisampling without shader model 2.0.
  qz::DeviceOptions& options = qz::GetGraphicsState().options;
  options.multiSampleType = 2;
  EXPECT_FALSE(StartWith(qz::testing::GraphProfile(2048)));
  EXPECT_TRUE(log_.Contains(qz::text::kShadersOff));
  EXPECT_EQ(qz::QueryShaderModel(), 0);
  EXPECT_EQ(options.multiSampleType, 0);
  EXPECT_EQ(qz::GetVertexDeclaration(0), nullptr);
  EXPECT_EQ(qz::GetBrightnessVolumeTexture(), nullptr);
  End();

  // Pixel shader 2.0 but vertex shader 1.1: software vertex processing, off.
  plat::D3D9Profile pixelOnly = ShaderProfile();
  pixelOnly.caps.VertexShaderVersion = plat::D3DVS_VERSION(1, 1);
  EXPECT_FALSE(StartWith(pixelOnly));
  End();

  plat::D3D9Profile multiSampling = ShaderProfile();
  multiSampling.multiSampleTypes |= 1u << plat::D3DMULTISAMPLE_2_SAMPLES;
  options.multiSampleType = 2;
  ASSERT_TRUE(StartWith(multiSampling));
  EXPECT_EQ(options.multiSampleType, 2);
  options.multiSampleType = 0;
  EXPECT_TRUE(log_.Contains(qz::text::kShadersOn));
  EXPECT_EQ(qz::QueryShaderModel(), 200);
  EXPECT_NE(qz::GetVertexShaderObject(qz::kTestVertexShaderSlot), nullptr);
  EXPECT_NE(qz::GetPixelShaderObject(qz::kTestPixelShaderSlot), nullptr);
  plat::D3D9StateSnapshot snapshot;
  ASSERT_TRUE(plat::GetD3D9StateSnapshot(qz::GetGraphicsState().device, &snapshot));
  EXPECT_NE(snapshot.behaviorFlags & plat::D3DCREATE_MIXED_VERTEXPROCESSING, 0u);
  ASSERT_GE(snapshot.vertexShaderConstantsF.size(), 4u);
  EXPECT_EQ(std::vector<float>(snapshot.vertexShaderConstantsF.begin(), snapshot.vertexShaderConstantsF.begin() + 4),
            (std::vector<float>{0.0f, 1.0f, 0.0f, 0.0f}));
  EXPECT_EQ(std::vector<float>(snapshot.pixelShaderConstantsF.begin(), snapshot.pixelShaderConstantsF.begin() + 4),
            (std::vector<float>{0.0f, 0.5f, 1.0f, 2.0f}));

  // 54 layouts with their texture coordinates, and the mesh vertex.
  for (int slot = 0; slot < qz::kVertexDeclarationCount; ++slot) {
    ASSERT_NE(qz::GetVertexDeclaration(slot), nullptr) << slot;
  }
  const int layout = 4;
  const int coordinates = 3;
  std::uint32_t count = 0;
  plat::D3DVERTEXELEMENT9 elements[32];
  plat::IDirect3DVertexDeclaration9* declaration = qz::GetVertexDeclaration(layout * qz::kTexCoordCounts + coordinates);
  ASSERT_EQ(declaration->GetDeclaration(elements, &count), plat::D3D_OK);
  ASSERT_EQ(count, 8u + coordinates + 1);
  for (int j = 0; j < coordinates; ++j) {
    const plat::D3DVERTEXELEMENT9& e = elements[8 + j];
    EXPECT_EQ(e.Offset, qz::GetVertexLayoutSize(layout) + 16 * j);
    EXPECT_EQ(e.Type, plat::D3DDECLTYPE_FLOAT4);
    EXPECT_EQ(e.Usage, plat::D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(e.UsageIndex, j);
  }
  EXPECT_EQ(qz::GetVertexLayoutSize(layout), 76);

  // The brightness volume: dark texels white, others at full value.
  plat::IDirect3DVolumeTexture9* volume = qz::GetBrightnessVolumeTexture();
  ASSERT_NE(volume, nullptr);
  const struct {
    std::uint32_t x, y, z, texel;
  } texels[] = {{0, 0, 0, 0xFFFFFFFFu}, {7, 3, 0, 0xFFFFFFFFu}, {50, 25, 0, 0xFFFF7F00u},
                {0, 25, 50, 0xFF007FFFu}, {100, 50, 25, 0xFFFF8040u}, {127, 127, 127, 0xFFFFFFFFu}};
  for (const auto& t : texels) {
    std::uint32_t texel = 0;
    ASSERT_TRUE(plat::ReadD3D9VolumeTexel(volume, t.x, t.y, t.z, &texel));
    EXPECT_EQ(texel, t.texel) << t.x << "," << t.y << "," << t.z;
  }
}

TEST_F(ShaderObjects, ARefusedTestShaderOrAFailedVolumeLeavesNothingBehind) {
  plat::FailD3D9CallForTest("CreatePixelShader", 1, 1, plat::E_FAIL);
  EXPECT_FALSE(StartWith(ShaderProfile()));
  EXPECT_TRUE(log_.Contains(qz::text::kShadersOff));
  EXPECT_EQ(qz::GetVertexDeclaration(0), nullptr);
  End();

  // The system-memory volume is refused: logged, and the default-pool one goes too.
  plat::FailD3D9CallForTest("CreateVolumeTexture", 2, 1, plat::E_OUTOFMEMORY);
  EXPECT_TRUE(StartWith(ShaderProfile()));
  EXPECT_TRUE(log_.Contains(qz::text::kBrightnessSourceVolumeFailed));
  EXPECT_EQ(qz::GetBrightnessVolumeTexture(), nullptr);
  plat::FailD3D9CallForTest("VolumeTexture.LockBox", 1, 1, plat::E_FAIL);
  EXPECT_EQ(qz::CreateBrightnessVolumeTexture(), -1);
  EXPECT_TRUE(log_.Contains(qz::text::kBrightnessSourceLockFailed));
  EXPECT_EQ(qz::GetBrightnessVolumeTexture(), nullptr);
  EXPECT_EQ(qz::CreateBrightnessVolumeTexture(), 0);
  End();
}

TEST_F(ShaderObjects, ADamagedPackLeavesShadersOffAndFreesWhatItUnpacked) {
  const int blocksBefore = qz::GetTrackedBlockCount();
  std::vector<std::uint8_t> good = TestSlotPack();
  std::vector<std::uint8_t> shortTable(good.begin(), good.begin() + 1000);
  std::vector<std::uint8_t> pastTheEnd = good;
  pastTheEnd[qz::kTestVertexShaderSlot * 2 + 1] = 0x7F;  // a size beyond the member
  std::vector<std::uint8_t> noEndToken = good;
  noEndToken[noEndToken.size() - 4] = 0x00;  // the last block's end token damaged
  std::vector<std::uint8_t> oddSize = good;
  oddSize[qz::kTestVertexShaderSlot * 2] += 2;  // not whole tokens
  // The last block alone fits in the member, but not after the block before it.
  std::vector<std::uint8_t> lastRunsPast = good;
  const auto sizeAt = [&good](std::size_t entry) { return good[entry] | good[entry + 1] << 8; };
  const std::size_t lastEntry = (qz::kVertexShaderCodeSlots + qz::kTestPixelShaderSlot) * 2;
  const int grown = sizeAt(lastEntry) + sizeAt(qz::kTestVertexShaderSlot * 2);
  ASSERT_LE(static_cast<std::size_t>(grown), good.size() - qz::kShaderPackTableBytes);
  lastRunsPast[lastEntry] = static_cast<std::uint8_t>(grown & 0xFF);
  lastRunsPast[lastEntry + 1] = static_cast<std::uint8_t>(grown >> 8);
  for (const std::vector<std::uint8_t>* pack : {&shortTable, &pastTheEnd, &noEndToken, &oddSize, &lastRunsPast}) {
    const std::vector<std::uint8_t> archive = PackedArchive(*pack);
    EXPECT_FALSE(StartWith(ShaderProfile(), &archive));
    EXPECT_TRUE(log_.Contains(qz::text::kShaderPackMemoryFailed));
    EXPECT_EQ(qz::GetVertexShaderCode(qz::kTestVertexShaderSlot), nullptr);
    End();
    EXPECT_EQ(qz::GetTrackedBlockCount(), blocksBefore);
  }

  // Bytes that are no packed archive at all.
  const std::vector<std::uint8_t> garbage(64, 0x5A);
  EXPECT_FALSE(StartWith(ShaderProfile(), &garbage));
  End();

  // A sound pack without the test slots loads, but shaders stay off.
  const std::vector<std::uint8_t> empty = PackedArchive(std::vector<std::uint8_t>(qz::kShaderPackTableBytes, 0));
  EXPECT_FALSE(StartWith(ShaderProfile(), &empty));
  EXPECT_EQ(qz::LoadShaderPack(), 1);
  End();

  // The member stored unpacked loads as well.
  const std::vector<std::uint8_t> stored = PackedArchive(good, false);
  EXPECT_TRUE(StartWith(ShaderProfile(), &stored));
  End();
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocksBefore);
}

TEST_F(ShaderObjects, TheBuiltInPackIsUnpackedOnceAndEveryShaderInItIsAccepted) {
  ASSERT_TRUE(StartWith(ShaderProfile()));
  const std::uint32_t* code = qz::GetVertexShaderCode(qz::kTestVertexShaderSlot);
  const int blocks = qz::GetTrackedBlockCount();
  EXPECT_EQ(qz::LoadShaderPack(), 1);
  EXPECT_EQ(qz::GetVertexShaderCode(qz::kTestVertexShaderSlot), code) << "not unpacked again";
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);

  int shaders = 0;
  for (int slot = 0; slot < qz::kVertexShaderCodeSlots; ++slot) {
    if (qz::GetVertexShaderCode(slot) == nullptr) continue;
    ++shaders;
    EXPECT_EQ(qz::SetPackShaders(slot, -1), 0) << "vertex slot " << slot;
  }
  for (int slot = 0; slot < qz::kPixelShaderCodeSlots; ++slot) {
    if (qz::GetPixelShaderCode(slot) == nullptr) continue;
    ++shaders;
    EXPECT_EQ(qz::SetPackShaders(-1, slot), 0) << "pixel slot " << slot;
  }
  EXPECT_GE(shaders, 5);
  EXPECT_EQ(qz::SetPackShaders(0, -1), -1) << "a slot without code";
  qz::ClearCurrentShaders();
}

// Every 2D drawing function on a shader model 2.0 device, each right after a
// program set the pack's shaders: the same pixels as on a fixed-function
// device, and no draw refused by the device.
Frame DrawEverythingUnderShaders(bool shaderModel20) {
  DrawingOptions options;
  options.shaderModel20 = shaderModel20;
  DrawingLibrary library(Renderer::kDevice, options);
  EXPECT_EQ(qz::GetDeviceStateCache().shadersOn, shaderModel20 ? 1 : 0);
  const int graph = qz::testing::MakePatternGraph(40, 30, 2);
  const auto withShaders = [shaderModel20](auto draw) {
    if (shaderModel20) {
      EXPECT_EQ(qz::SetPackShaders(qz::kTestVertexShaderSlot, qz::kTestPixelShaderSlot), 0);
    }
    EXPECT_EQ(draw(), 0);
  };
  withShaders([] { return qz::ClearDrawTarget(nullptr); });
  withShaders([&] { return qz::BlitGraph(10, 10, graph, 1); });
  withShaders([&] { return qz::BlitGraphStretched(60, 10, 140, 50, graph, 0); });
  withShaders([&] { return qz::BlitGraphRotated(200, 60, 1.5, 0.7, graph, 1, 0); });
  withShaders([&] { return qz::BlitGraphOnQuad(300, 10, 380, 20, 290, 90, 390, 70, graph, 1); });
  withShaders([] { return qz::DrawSolidRectangle(20, 120, 90, 160, qz::MakeColorValue(200, 40, 90)); });
  withShaders([] { return qz::DrawRectangleFrame(100, 120, 170, 160, qz::MakeColorValue(30, 200, 90)); });
  qz::SetBlendModeAndParam(qz::kBlendAlpha, 128);
  withShaders([&] { return qz::BlitGraph(30, 20, graph, 1); });
  const Frame frame = qz::testing::ReadBackScreen();
  EXPECT_EQ(qz::PresentScreen(), 0);
  EXPECT_EQ(plat::GetD3D9ShaderDrawRefusalCount(), 0);
  return frame;
}

TEST(ShaderDrawing, TwoDimensionalDrawsClearTheShadersFirst) {
  const Frame fixedFunction = DrawEverythingUnderShaders(false);
  const Frame shaded = DrawEverythingUnderShaders(true);
  EXPECT_EQ(qz::testing::CountDifferentPixels(fixedFunction, shaded), 0);
}

TEST(ShaderDrawing, ObjectsAreReleasedWithTheDeviceAndMadeAgainByTheRebuild) {
  DrawingOptions options;
  options.shaderModel20 = true;
  DrawingLibrary library(Renderer::kDevice, options);
  ASSERT_EQ(qz::GetDeviceStateCache().shadersOn, 1);
  ASSERT_EQ(qz::SetPackShaders(qz::kTestVertexShaderSlot + 1, qz::kTestPixelShaderSlot + 1), 0);
  // A freed device's address can come back, so a rebuild is seen by the devices made.
  const auto devicesMade = [] {
    return plat::GetD3D9CallCount("CreateDevice") + plat::GetD3D9CallCount("CreateDeviceEx");
  };
  const int devicesBefore = devicesMade();
  // A constant the program set reaches the new device through the shadow bank.
  const float constant[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  qz::SetVertexShaderConstants(200, constant, 1);

  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICELOST);
  plat::SimulateActivation(qz::QueryMainWindowHandle(), false);
  qz::PumpMessagesEntry();
  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICENOTRESET);
  plat::SimulateActivation(qz::QueryMainWindowHandle(), true);
  qz::PumpMessagesEntry();
  plat::SetD3D9DeviceStateForTest(plat::D3D_OK);

  plat::IDirect3DDevice9* device = qz::GetGraphicsState().device;
  ASSERT_NE(device, nullptr);
  ASSERT_GT(devicesMade(), devicesBefore);
  EXPECT_EQ(qz::GetDeviceStateCache().shadersOn, 1);
  EXPECT_NE(qz::GetVertexShaderObject(qz::kTestVertexShaderSlot), nullptr);
  EXPECT_EQ(qz::GetVertexShaderObject(qz::kTestVertexShaderSlot + 1), nullptr) << "made again only when used";
  EXPECT_NE(qz::GetVertexDeclaration(qz::kMeshDeclarationSlot), nullptr);
  EXPECT_NE(qz::GetBrightnessVolumeTexture(), nullptr);
  EXPECT_EQ(qz::SetPackShaders(qz::kTestVertexShaderSlot + 1, qz::kTestPixelShaderSlot + 1), 0);
  plat::D3D9StateSnapshot snapshot;
  ASSERT_TRUE(plat::GetD3D9StateSnapshot(device, &snapshot));
  ASSERT_GE(snapshot.vertexShaderConstantsF.size(), 201u * 4);
  EXPECT_EQ(
      std::vector<float>(snapshot.vertexShaderConstantsF.begin() + 800, snapshot.vertexShaderConstantsF.begin() + 804),
      std::vector<float>(constant, constant + 4));
  qz::ClearCurrentShaders();
  EXPECT_EQ(plat::ListD3D9OrphanedObjects(), std::vector<std::string>{});
  EXPECT_EQ(plat::GetD3D9ForeignObjectUseCount(), 0);
  EXPECT_EQ(plat::GetD3D9ShaderDrawRefusalCount(), 0);
}

}  // namespace
