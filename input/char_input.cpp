// The ring of typed bytes and the edit-key table the window procedure fills
// it through.
#include "input/char_input.h"

#include "core/call_trace.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/multibyte.h"
#include "input/key_input.h"

namespace qz {
namespace {

struct EditKey {
  std::uint32_t virtualKey;
  std::uint8_t code;
};

constexpr EditKey kEditKeys[] = {
    {0x2E, 0x10}, {0x25, 0x1D}, {0x27, 0x1C}, {0x26, 0x1E}, {0x28, 0x1F},
    {0x24, 0x1A}, {0x23, 0x19}, {0x21, 0x17}, {0x22, 0x15},
};

// Empty when the indices are equal, full when writing would reach the read index.
struct CharInputRing {
  std::uint8_t bytes[kCharInputRingSize];
  int read;
  int write;
};

CharInputRing gRing{};

int Next(int index) { return index + 1 == kCharInputRingSize ? 0 : index + 1; }
bool RingEmpty() { return gRing.read == gRing.write; }

}  // namespace

int PushInputChar(std::uint8_t byte) {
  if (IsCharInputRingFull() != 0) return -1;
  gRing.bytes[gRing.write] = byte;
  gRing.write = Next(gRing.write);
  return 0;
}

int PopInputChar(char out[2], int take) {
  out[0] = 0;
  out[1] = 0;
  if (RingEmpty()) return 0;
  const std::uint8_t first = gRing.bytes[gRing.read];
  int count = 1;
  if (IsEditControlCode(first) == 0 && IsCurrentLeadByte(first)) {
    // The trail byte has not arrived: leave the lead byte for later.
    if (Next(gRing.read) == gRing.write) return 0;
    out[1] = static_cast<char>(gRing.bytes[Next(gRing.read)]);
    count = 2;
  }
  out[0] = static_cast<char>(first);
  if (take != 0) gRing.read = count == 2 ? Next(Next(gRing.read)) : Next(gRing.read);
  return count;
}

int IsCharInputRingFull() { return Next(gRing.write) == gRing.read ? 1 : 0; }

int IsEditControlCode(std::uint8_t byte) {
  for (const EditKey& key : kEditKeys) {
    if (key.code == byte) return 1;
  }
  return 0;
}

std::uint8_t LookupEditKeyCode(std::uint32_t virtualKey) {
  for (const EditKey& key : kEditKeys) {
    if (key.virtualKey == virtualKey) return key.code;
  }
  return 0;
}

int InitCharCodeBuffer() {
  RecordCall("InitCharCodeBuffer");
  AppendLogText(text::kCharBufferInit);
  gRing.read = 0;
  gRing.write = 0;
  ResetImeState();
  ResetKeyInputState();
  MakeKeyInputColors();
  AppendLogFormat("%s", text::kCharBufferDone);
  return 0;
}

}  // namespace qz
