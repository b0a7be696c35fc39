// Programmable shaders on the Direct3D 9 stand-in: the bytecode check a
// device runs on CreateVertexShader and CreatePixelShader, the adapter
// profile of a shader model 2.0 card, the count of draws refused because a
// shader was set (the stand-in keeps shaders but never runs them), and the
// read-back of volume textures.
//
// A device takes vs_2_0/ps_2_0 code only after the check of
// d3d9_shader_validate.cpp (version, instructions of the model with their
// operand counts, register files and their uses, relative addressing, static
// flow control, end token; code of older models needs only its end token),
// and refuses and counts a draw while a shader is set, so tests show the 2D
// path clears shaders first. The default adapter stays at shader model 1.1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/d3d9.h"

namespace plat {

// Checks vs_2_0 / ps_2_0 bytecode of at most `maxTokens` tokens: the version
// token of the kind (vertex 0xFFFE, pixel 0xFFFF) not above `highestVersion`,
// known instructions of that model with their operand counts, registers
// inside the model's files and used as the model allows, balanced static flow
// control, and the end token. True when the code is sound; else false with
// the reason. `tokens`, when given, receives the length up to the end token.
bool ValidateD3D9ShaderCode(const std::uint32_t* code, std::size_t maxTokens, bool pixelShader,
                            std::uint32_t highestVersion, std::string* reason, std::size_t* tokens = nullptr);

// The default profile with vertex and pixel shader 2.0 (and 256 vertex
// shader constants), so device creation chooses hardware vertex processing.
D3D9Profile ShaderModel20D3D9Profile();

// Draws refused because a vertex or pixel shader was set, since the last reset.
int GetD3D9ShaderDrawRefusalCount();

// Texel (x, y, z) of level 0 of a 32-bit volume texture, in any pool, as
// 0xAARRGGBB; false for another format or a texel outside.
bool ReadD3D9VolumeTexel(IDirect3DVolumeTexture9* volume, std::uint32_t x, std::uint32_t y, std::uint32_t z,
                         std::uint32_t* texel);

}  // namespace plat
