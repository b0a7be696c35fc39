// Full-path making over arbitrary relative paths and bases (multi-byte names,
// "..", drives, separators): the result must fit its buffer and be terminated.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto* bytes = reinterpret_cast<const char*>(data);
  const void* split = std::memchr(bytes, '\0', size);
  if (split == nullptr) return 0;
  std::string relative(bytes);
  std::string base(static_cast<const char*>(split) + 1,
                   bytes + size - (static_cast<const char*>(split) + 1));
  base = base.c_str();
  if (base.empty()) base = "C:\\";

  char out[64];
  std::memset(out, 0x7F, sizeof out);
  if (qz::MakeFullPath(relative.c_str(), out, sizeof out, base.c_str()) == 0 &&
      std::memchr(out, '\0', sizeof out) == nullptr) {
    __builtin_trap();
  }
  return 0;
}
