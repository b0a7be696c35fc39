// Feeds arbitrary tokens to the Direct3D 9 stand-in's shader bytecode check:
// the first byte chooses a vertex or a pixel shader, the rest are the tokens.
// The check must stay inside the tokens it is given, and a length it reports
// for sound code must lie inside them and end on the end token.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9_shader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool pixel = (data[0] & 1) != 0;
  std::vector<std::uint32_t> tokens((size - 1) / 4);
  if (tokens.empty()) return 0;
  std::memcpy(tokens.data(), data + 1, tokens.size() * 4);
  std::string reason;
  std::size_t length = 0;
  const std::uint32_t version = pixel ? 0xFFFF0200u : 0xFFFE0200u;
  if (plat::ValidateD3D9ShaderCode(tokens.data(), tokens.size(), pixel, version, &reason, &length) &&
      (length == 0 || length > tokens.size() || tokens[length - 1] != 0x0000FFFFu)) {
    std::abort();
  }
  return 0;
}
