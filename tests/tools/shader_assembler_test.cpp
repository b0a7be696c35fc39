// The shader assembler against encodings checked by hand from the Direct3D 9
// token layout, and the errors a mistyped shader gets.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/shaderasm/shader_assembler.h"

namespace {

std::vector<std::uint32_t> Assemble(const char* source) {
  std::vector<std::uint32_t> tokens;
  std::string error;
  EXPECT_TRUE(shaderasm::AssembleShader(source, &tokens, &error)) << error;
  return tokens;
}

std::string ErrorOf(const char* source) {
  std::vector<std::uint32_t> tokens;
  std::string error;
  EXPECT_FALSE(shaderasm::AssembleShader(source, &tokens, &error));
  return error;
}

TEST(ShaderAssembler, VertexShaderTokensMatchTheHandEncoding) {
  const std::vector<std::uint32_t> tokens = Assemble(
      "vs_2_0  ; a comment\n"
      "dcl_position v0\n"
      "dcl_texcoord1 v3\n"
      "def c0, 1.0, 0.5, 0, 2\n"
      "mov oPos, v0\n"
      "mul_sat r0.xy, -c[a0.x + 4].yzwx, r1  // relative, negated, swizzled\n"
      "if b4\n"
      "endif\n");
  const std::vector<std::uint32_t> expected = {
      0xFFFE0200u,                                                    // vs_2_0
      0x0200001Fu, 0x80000000u, 0x900F0000u,                          // dcl_position v0
      0x0200001Fu, 0x80010005u, 0x900F0003u,                          // dcl_texcoord1 v3
      0x05000051u, 0xA00F0000u, 0x3F800000u, 0x3F000000u, 0x00000000u, 0x40000000u,  // def c0
      0x02000001u, 0xC00F0000u, 0x90E40000u,                          // mov oPos, v0
      0x04000005u, 0x80130000u, 0xA1392004u, 0xB0000000u, 0x80E40001u,  // mul_sat with a0.x
      0x01000028u, 0xE0E40804u,                                       // if b4
      0x0000002Bu,                                                    // endif
      0x0000FFFFu};
  EXPECT_EQ(tokens, expected);
}

TEST(ShaderAssembler, PixelShaderTokensMatchTheHandEncoding) {
  const std::vector<std::uint32_t> tokens = Assemble(
      "ps_2_0\n"
      "dcl t0.xy\n"
      "dcl_2d s0\n"
      "dcl_volume s1\n"
      "texld r0, t0, s0\n"
      "texldp r1, r0, s1\n"
      "mov_pp oC0, r0.w\n");
  const std::vector<std::uint32_t> expected = {
      0xFFFF0200u,
      0x0200001Fu, 0x80000000u, 0xB0030000u,               // dcl t0.xy
      0x0200001Fu, 0x90000000u, 0xA00F0800u,               // dcl_2d s0
      0x0200001Fu, 0xA0000000u, 0xA00F0801u,               // dcl_volume s1
      0x03000042u, 0x800F0000u, 0xB0E40000u, 0xA0E40800u,  // texld r0, t0, s0
      0x03010042u, 0x800F0001u, 0x80E40000u, 0xA0E40801u,  // texldp r1, r0, s1
      0x02000001u, 0x802F0800u, 0x80FF0000u,               // mov_pp oC0, r0.w
      0x0000FFFFu};
  EXPECT_EQ(tokens, expected);
}

TEST(ShaderAssembler, MistakesNameTheirLine) {
  EXPECT_EQ(ErrorOf("mov r0, r1\n"), "line 1: expected vs_2_0 or ps_2_0");
  EXPECT_EQ(ErrorOf("vs_2_0\n\nfoo r0, r1\n"), "line 3: unknown instruction foo");
  EXPECT_EQ(ErrorOf("vs_2_0\ntexld r0, v0, v1\n"), "line 2: unknown instruction texld") << "a pixel instruction";
  EXPECT_EQ(ErrorOf("ps_2_0\nadd r0, r1\n"), "line 2: add takes 3 operands");
  EXPECT_EQ(ErrorOf("ps_2_0\nmov r0.yx, r1\n"), "line 2: bad write mask");
  EXPECT_EQ(ErrorOf("ps_2_0\nmov r0, q1\n"), "line 2: unknown source register");
  EXPECT_EQ(ErrorOf("vs_2_0\nmov r0, c[r1.x]\n"), "line 2: relative address must be a0.x or aL");
  EXPECT_EQ(ErrorOf("vs_2_0\ndcl_speed v0\n"), "line 2: unknown usage speed");
}

}  // namespace
