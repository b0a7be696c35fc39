// A small assembler of vs_2_0 and ps_2_0 text into Direct3D 9 shader
// bytecode, so the shaders of the pack are kept as readable assembly in the
// project and turned into the tokens a device takes at build time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace shaderasm {

// Assembles one shader: a first line "vs_2_0" or "ps_2_0", then one
// instruction a line in the usual syntax (";" or "//" start comments).
// True with the tokens, ending with the end token; false with the line and
// reason of the first error.
bool AssembleShader(std::string_view source, std::vector<std::uint32_t>* tokens, std::string* error);

}  // namespace shaderasm
