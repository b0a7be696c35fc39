// The log of the archive coder, which the build tool carries without the
// library: its lines go to the standard error.
#include <cstdio>

#include "core/log.h"

namespace qz {

int AppendLogText(const char* text) {
  if (text != nullptr) std::fputs(text, stderr);
  return -1;
}

}  // namespace qz
