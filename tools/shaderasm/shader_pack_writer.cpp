// The shader pack writer: sizes go into the table little-endian, and the
// code blocks follow in the order the loader walks the table.
#include "tools/shaderasm/shader_pack_writer.h"

#include <map>

#include "graphics/shader_pack_layout.h"

namespace shaderasm {

bool BuildShaderPack(const std::vector<PackedShader>& shaders, std::vector<std::uint8_t>* pack, std::string* error) {
  // Pixel slots follow every vertex slot in the table.
  std::map<int, const PackedShader*> bySlot;
  for (const PackedShader& shader : shaders) {
    const int limit = shader.pixel ? qz::kPixelShaderCodeSlots : qz::kVertexShaderCodeSlots;
    const std::string name = std::string(shader.pixel ? "pixel" : "vertex") + " slot " + std::to_string(shader.slot);
    if (shader.slot < 0 || shader.slot >= limit) return *error = name + " is outside its table", false;
    if (shader.code.size() * 4 > 0xFFFF) return *error = name + " is too long", false;
    const int index = shader.slot + (shader.pixel ? qz::kVertexShaderCodeSlots : 0);
    if (!bySlot.emplace(index, &shader).second) return *error = name + " is given twice", false;
  }
  pack->assign(qz::kShaderPackTableBytes, 0);
  for (const auto& [index, shader] : bySlot) {
    const std::size_t bytes = shader->code.size() * 4;
    (*pack)[index * 2] = static_cast<std::uint8_t>(bytes);
    (*pack)[index * 2 + 1] = static_cast<std::uint8_t>(bytes >> 8);
    for (const std::uint32_t token : shader->code) {
      for (int shift = 0; shift < 32; shift += 8) pack->push_back(static_cast<std::uint8_t>(token >> shift));
    }
  }
  return true;
}

}  // namespace shaderasm
