// Lays assembled shaders out as the shader pack the library loads: the size
// table of every slot, then the code in slot order.
// At build time graphics/shaders/*.vsh|*.psh, listed with their code slots in
// pack.txt, are assembled into the pack, stored as "QzShaderPack.bin" in an
// archive, packed once more and compiled into qzlib (the generated
// graphics/shader_archive.cpp); LoadShaderPack unpacks it at the first device
// with shaders on. The tool compiles the archive writer's sources itself,
// since the library embeds its output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace shaderasm {

struct PackedShader {
  bool pixel;
  int slot;  // record * 6 + position
  std::vector<std::uint32_t> code;
};

// False with a reason for a slot outside its table, a slot given twice, or
// code too long for a 16-bit size.
bool BuildShaderPack(const std::vector<PackedShader>& shaders, std::vector<std::uint8_t>* pack, std::string* error);

}  // namespace shaderasm
