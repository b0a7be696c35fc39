// What the stand-in device asks of its shader checks: whether code may become
// a shader object of the device, and the count of draws refused while a
// shader is set.
#pragma once

#include <cstdint>

namespace plat::d3d9 {

// The version token of the kind (vertex 0xFFFE, pixel 0xFFFF) not above the
// device's; model 2.0 code must pass the full check, older code needs its end
// token. Sets `version` when the token is readable.
bool AcceptShaderCode(const std::uint32_t* code, bool pixelShader, std::uint32_t deviceVersion,
                      std::uint32_t* version);

void CountShaderDrawRefusal();
void ResetShaderDrawRefusals();

}  // namespace plat::d3d9
