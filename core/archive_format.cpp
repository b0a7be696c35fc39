// Keys, scrambling and search names of the QZA layout. The key values and the
// per-position transform are this library's own; archives made by the writer
// in this project use them.
#include "core/archive_format.h"

#include "core/multibyte.h"

namespace qz {
namespace {

// Every key byte is mixed with its position, so a key string of one repeated
// letter still scrambles with ten or more different bytes.
void TransformKey(std::uint8_t key[kArchiveKeySize]) {
  for (std::size_t i = 0; i < kArchiveKeySize; ++i) {
    const unsigned mixed = (key[i] ^ (0x5Du + 0x27u * i)) & 0xFFu;
    const unsigned turn = i % 7 + 1;
    key[i] = static_cast<std::uint8_t>((mixed << turn | mixed >> (8 - turn)) & 0xFFu);
  }
}

// Made at run time so the values do not stand in the program's data as a run.
void FillKey(std::uint8_t key[kArchiveKeySize], unsigned seed, unsigned step) {
  unsigned value = seed;
  for (std::size_t i = 0; i < kArchiveKeySize; ++i) {
    value = (value * step + 0x3Bu) & 0xFFFFu;
    key[i] = static_cast<std::uint8_t>(value >> 5);
  }
  TransformKey(key);
}

}  // namespace

int ArchiveCharsetFromCodePage(std::uint32_t codePage) {
  switch (codePage) {
    case 932: return 1;
    case 949: return 2;
    case 950: return 3;
    case 936: return 4;
    default: return 0;
  }
}

void MakeArchiveKey(const char* keyString, std::uint8_t key[kArchiveKeySize]) {
  if (keyString == nullptr || keyString[0] == '\0') {
    FillKey(key, 0x6A1Du, 0x9Du);
    return;
  }
  const std::size_t length = std::strlen(keyString);
  for (std::size_t i = 0; i < kArchiveKeySize; ++i) key[i] = static_cast<std::uint8_t>(keyString[i % length]);
  TransformKey(key);
}

void MakeAlternateArchiveKey(std::uint8_t key[kArchiveKeySize]) { FillKey(key, 0x1F35u, 0xC5u); }

void ScrambleArchiveData(std::size_t size, void* data, std::uint64_t position,
                         const std::uint8_t key[kArchiveKeySize]) {
  auto* bytes = static_cast<std::uint8_t*>(data);
  // The key laid out from the phase of the first byte, long enough for
  // whole 96-byte blocks (a multiple of 12 and of vector widths).
  constexpr std::size_t kBlock = 96;
  std::uint8_t run[kBlock];
  const std::size_t phase = static_cast<std::size_t>(position % kArchiveKeySize);
  for (std::size_t i = 0; i < kBlock; ++i) run[i] = key[(phase + i) % kArchiveKeySize];
  std::size_t done = 0;
  for (; done + kBlock <= size; done += kBlock) {
    for (std::size_t i = 0; i < kBlock; ++i) bytes[done + i] ^= run[i];
  }
  for (std::size_t i = 0; done + i < size; ++i) bytes[done + i] ^= run[i];
}

bool MakeArchiveSearchName(const char* name, int charset, ArchiveSearchName* out) {
  std::size_t length = 0;
  std::size_t read = 0;
  std::uint32_t sum = 0;
  while (name[read] != '\0' && name[read] != '\\' && name[read] != '/') {
    const auto c = static_cast<unsigned char>(name[read]);
    const bool pair = IsLeadByte(charset, c) && name[read + 1] != '\0';
    const std::size_t take = pair ? 2 : 1;
    // Room for the bytes and at least one terminating zero.
    if (length + take + 1 > kArchiveSearchNameMax) return false;
    if (pair) {
      out->form[length++] = c;
      out->form[length++] = static_cast<unsigned char>(name[read + 1]);
    } else {
      out->form[length++] = static_cast<std::uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    read += take;
  }
  for (std::size_t i = 0; i < length; ++i) sum += out->form[i];
  const std::size_t padded = (length / 4 + 1) * 4;
  std::memset(out->form + length, 0, padded - length);
  out->units = static_cast<std::uint16_t>(padded / 4);
  out->checkSum = static_cast<std::uint16_t>(sum);
  out->consumed = read;
  return true;
}

}  // namespace qz
