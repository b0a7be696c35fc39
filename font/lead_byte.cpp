// The lead-byte tests of multi-byte text.
#include "font/lead_byte.h"

#include "core/multibyte.h"

namespace qz {

int IsMultiByteLeadByte(const unsigned char* byte, int charset) { return IsLeadByte(charset, *byte) ? 1 : 0; }

int IsSecondByteOfMultiByteChar(const char* text, int position, int charset) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  int i = 0;
  while (true) {
    if (bytes[i] == 0) return -1;
    if (IsLeadByte(charset, bytes[i])) {
      if (i == position) return 1;
      if (bytes[i + 1] == 0) return -1;
      if (i + 1 == position) return 2;
      i += 2;
    } else {
      if (i == position) return 0;
      ++i;
    }
  }
}

}  // namespace qz
