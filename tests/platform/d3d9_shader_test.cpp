// The stand-in's shaders: sound vs_2_0 / ps_2_0 code becomes a shader object
// of a shader model 2.0 device, malformed code is refused, and a draw while a
// shader is set is refused and counted, since the stand-in runs no shader.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9_shader.h"
#include "tests/platform/d3d9_test_fixture.h"
#include "tools/shaderasm/shader_assembler.h"

namespace {

using namespace plat;

constexpr std::uint32_t kPixel20 = 0xFFFF0200u;
constexpr std::uint32_t kVertex20 = 0xFFFE0200u;

std::vector<std::uint32_t> Assemble(const char* source) {
  std::vector<std::uint32_t> tokens;
  std::string error;
  EXPECT_TRUE(shaderasm::AssembleShader(source, &tokens, &error)) << error;
  return tokens;
}

// What the check says of the code: "" when it passes.
std::string Refusal(const std::vector<std::uint32_t>& code, bool pixel) {
  std::string reason;
  const bool passed = ValidateD3D9ShaderCode(code.data(), code.size(), pixel, pixel ? kPixel20 : kVertex20, &reason);
  return passed ? std::string() : reason.empty() ? std::string("refused") : reason;
}

const char kVertexSource[] =
    "vs_2_0\n"
    "dcl_position v0\n"
    "defi i0, 3, 0, 1, 0\n"
    "mova a0.x, v0.x\n"
    "mov r0, c[a0.x + 2]\n"
    "rep i0\n"
    "  if b1\n"
    "    add r0, r0, c10\n"
    "  else\n"
    "    sub r0, r0, c11\n"
    "  endif\n"
    "endrep\n"
    "mov oPos, r0\n"
    "mov oT7, v15\n";

const char kPixelSource[] =
    "ps_2_0\n"
    "dcl v0\n"
    "dcl t0.xy\n"
    "dcl_2d s0\n"
    "texld r0, t0, s0\n"
    "texkill r0\n"
    "mul r0, r0, v0\n"
    "mov oC0, r0\n";

TEST(D3D9ShaderCheck, SoundCodePassesAndEveryKindOfDamageIsRefused) {
  const std::vector<std::uint32_t> vertex = Assemble(kVertexSource);
  const std::vector<std::uint32_t> pixel = Assemble(kPixelSource);
  std::size_t length = 0;
  std::string reason;
  ASSERT_TRUE(ValidateD3D9ShaderCode(vertex.data(), vertex.size(), false, kVertex20, &reason, &length)) << reason;
  EXPECT_EQ(length, vertex.size());
  ASSERT_EQ(Refusal(pixel, true), "");

  const auto damaged = [](std::vector<std::uint32_t> code, std::size_t index, std::uint32_t token) {
    code[index] = token;
    return code;
  };
  // Version tokens: the other kind, an older model, a model the device lacks.
  EXPECT_NE(Refusal(pixel, false), "");
  EXPECT_NE(Refusal(damaged(pixel, 0, 0xFFFF0101u), true), "");
  EXPECT_FALSE(ValidateD3D9ShaderCode(pixel.data(), pixel.size(), true, 0xFFFF0101u, nullptr));
  // The end token cut off: the check stops at the length it was given.
  EXPECT_EQ(Refusal(std::vector<std::uint32_t>(pixel.begin(), pixel.end() - 1), true), "no end token");
  // An unknown opcode, and a vertex-only instruction in a pixel shader (slt).
  const std::size_t mul = pixel.size() - 8;
  ASSERT_EQ(pixel[mul], 0x03000005u);
  EXPECT_EQ(Refusal(damaged(pixel, mul, 0x03000077u), true), "unknown instruction 119 at token " + std::to_string(mul));
  EXPECT_NE(Refusal(damaged(pixel, mul, 0x0300000Cu), true), "");
  // A length that disagrees with the operands.
  EXPECT_NE(Refusal(damaged(pixel, mul, 0x02000005u), true), "");
  // Registers outside the model: c32 and r12 of a pixel shader, v16 of a vertex shader.
  EXPECT_NE(Refusal(damaged(pixel, mul + 3, 0xA0E40020u), true), "");
  EXPECT_NE(Refusal(damaged(pixel, mul + 1, 0x800F000Cu), true), "");
  const std::size_t lastMov = vertex.size() - 4;
  ASSERT_EQ(vertex[lastMov + 2], 0x90E4000Fu);
  EXPECT_NE(Refusal(damaged(vertex, lastMov + 2, 0x90E40010u), false), "");
  // Writing an input register, and an empty write mask.
  EXPECT_NE(Refusal(damaged(pixel, mul + 1, 0x900F0000u), true), "");
  EXPECT_NE(Refusal(damaged(pixel, mul + 1, 0x80000000u), true), "");
  // Relative addressing in a pixel shader, a parameter without its marker bit.
  EXPECT_NE(Refusal(damaged(pixel, mul + 3, 0xA0E42000u), true), "");
  EXPECT_NE(Refusal(damaged(pixel, mul + 2, 0x00E40000u), true), "");
  // Flow control that does not close, or closes what it did not open.
  const std::vector<std::uint32_t> unclosed = Assemble("vs_2_0\nif b0\nmov oPos, c0\n");
  EXPECT_EQ(Refusal(unclosed, false), "flow control left open at token " + std::to_string(unclosed.size() - 1));
  EXPECT_NE(Refusal(Assemble("vs_2_0\nmov oPos, c0\nendrep\n"), false), "");
  EXPECT_NE(Refusal(Assemble("vs_2_0\nrep i0\nendif\n"), false), "");
}

class D3D9ShaderDevice : public qz::testing::D3D9Test {};

TEST_F(D3D9ShaderDevice, AShaderModel2DeviceKeepsSoundShadersAndRefusesToDrawUnderThem) {
  SetD3D9ProfileForTest(ShaderModel20D3D9Profile());
  ASSERT_NE(MakeDevice(), nullptr);
  const std::vector<std::uint32_t> vertex = Assemble(kVertexSource);
  const std::vector<std::uint32_t> pixel = Assemble(kPixelSource);
  IDirect3DVertexShader9* vertexShader = nullptr;
  IDirect3DPixelShader9* pixelShader = nullptr;
  ASSERT_EQ(device_->CreateVertexShader(vertex.data(), &vertexShader), D3D_OK);
  ASSERT_EQ(device_->CreatePixelShader(pixel.data(), &pixelShader), D3D_OK);
  std::vector<std::uint32_t> broken = pixel;
  broken[1] = 0x0200007Fu;
  IDirect3DPixelShader9* refused = nullptr;
  EXPECT_EQ(device_->CreatePixelShader(broken.data(), &refused), D3DERR_INVALIDCALL);
  EXPECT_EQ(refused, nullptr);

  // Pre-transformed untextured vertices: drawn without shaders, refused with either set.
  struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
  };
  const Vertex triangle[3] = {{0, 0, 0, 1, 0xFFFFFFFF}, {8, 0, 0, 1, 0xFFFFFFFF}, {0, 8, 0, 1, 0xFFFFFFFF}};
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
  ASSERT_EQ(device_->SetPixelShader(pixelShader), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->SetPixelShader(nullptr), D3D_OK);
  ASSERT_EQ(device_->SetVertexShader(vertexShader), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3DERR_INVALIDCALL);
  EXPECT_EQ(GetD3D9ShaderDrawRefusalCount(), 2);
  ASSERT_EQ(device_->SetVertexShader(nullptr), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
  EXPECT_EQ(GetD3D9ShaderDrawRefusalCount(), 2);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  vertexShader->Release();
  pixelShader->Release();
}

TEST_F(D3D9ShaderDevice, VolumeTexelsReadBackFromAnyPool) {
  ASSERT_NE(MakeDevice(), nullptr);
  IDirect3DVolumeTexture9* source = nullptr;
  IDirect3DVolumeTexture9* target = nullptr;
  ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &source, nullptr), D3D_OK);
  ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr), D3D_OK);
  D3DLOCKED_BOX box{};
  ASSERT_EQ(source->LockBox(0, &box, nullptr, 0), D3D_OK);
  static_cast<std::uint32_t*>(box.pBits)[3 * box.SlicePitch / 4 + 2 * box.RowPitch / 4 + 1] = 0xFF123456u;
  ASSERT_EQ(source->UnlockBox(0), D3D_OK);
  ASSERT_EQ(device_->UpdateTexture(source, target), D3D_OK);
  std::uint32_t texel = 0;
  ASSERT_TRUE(ReadD3D9VolumeTexel(target, 1, 2, 3, &texel));
  EXPECT_EQ(texel, 0xFF123456u);
  EXPECT_FALSE(ReadD3D9VolumeTexel(target, 4, 0, 0, &texel));
  source->Release();
  target->Release();
}

}  // namespace
