// Scan codes of a standard keyboard for the virtual keys, so simulated keys
// carry the same lParam bits as real ones (bits 16-23 scan code, bit 24
// extended key), and the characters the keys type on a US layout.
#include <cstdint>

#include "platform/window_internal.h"

namespace plat {
namespace {

struct KeyScan {
  std::uint8_t virtualKey;
  std::uint8_t scanCode;
  bool extended;
};

constexpr KeyScan kKeys[] = {
    {0x08, 0x0E, false}, {0x09, 0x0F, false}, {0x0D, 0x1C, false}, {0x10, 0x2A, false}, {0x11, 0x1D, false},
    {0x12, 0x38, false}, {0x13, 0x45, false}, {0x14, 0x3A, false}, {0x1B, 0x01, false}, {0x20, 0x39, false},
    {0x21, 0x49, true},  {0x22, 0x51, true},  {0x23, 0x4F, true},  {0x24, 0x47, true},  {0x25, 0x4B, true},
    {0x26, 0x48, true},  {0x27, 0x4D, true},  {0x28, 0x50, true},  {0x2D, 0x52, true},  {0x2E, 0x53, true},
    {'0', 0x0B, false},  {'1', 0x02, false},  {'2', 0x03, false},  {'3', 0x04, false},  {'4', 0x05, false},
    {'5', 0x06, false},  {'6', 0x07, false},  {'7', 0x08, false},  {'8', 0x09, false},  {'9', 0x0A, false},
    {'A', 0x1E, false},  {'B', 0x30, false},  {'C', 0x2E, false},  {'D', 0x20, false},  {'E', 0x12, false},
    {'F', 0x21, false},  {'G', 0x22, false},  {'H', 0x23, false},  {'I', 0x17, false},  {'J', 0x24, false},
    {'K', 0x25, false},  {'L', 0x26, false},  {'M', 0x32, false},  {'N', 0x31, false},  {'O', 0x18, false},
    {'P', 0x19, false},  {'Q', 0x10, false},  {'R', 0x13, false},  {'S', 0x1F, false},  {'T', 0x14, false},
    {'U', 0x16, false},  {'V', 0x2F, false},  {'W', 0x11, false},  {'X', 0x2D, false},  {'Y', 0x15, false},
    {'Z', 0x2C, false},  {0x60, 0x52, false}, {0x61, 0x4F, false}, {0x62, 0x50, false}, {0x63, 0x51, false},
    {0x64, 0x4B, false}, {0x65, 0x4C, false}, {0x66, 0x4D, false}, {0x67, 0x47, false}, {0x68, 0x48, false},
    {0x69, 0x49, false}, {0x6A, 0x37, false}, {0x6B, 0x4E, false}, {0x6D, 0x4A, false}, {0x6E, 0x53, false},
    {0x6F, 0x35, true},  {0x70, 0x3B, false}, {0x71, 0x3C, false}, {0x72, 0x3D, false}, {0x73, 0x3E, false},
    {0x74, 0x3F, false}, {0x75, 0x40, false}, {0x76, 0x41, false}, {0x77, 0x42, false}, {0x78, 0x43, false},
    {0x79, 0x44, false}, {0x7A, 0x57, false}, {0x7B, 0x58, false}, {0x90, 0x45, true},  {0x91, 0x46, false},
    {0xA0, 0x2A, false}, {0xA1, 0x36, false}, {0xA2, 0x1D, false}, {0xA3, 0x1D, true},  {0xA4, 0x38, false},
    {0xA5, 0x38, true},  {0xBA, 0x27, false}, {0xBB, 0x0D, false}, {0xBC, 0x33, false}, {0xBD, 0x0C, false},
    {0xBE, 0x34, false}, {0xBF, 0x35, false}, {0xC0, 0x29, false}, {0xDB, 0x1A, false}, {0xDC, 0x2B, false},
    {0xDD, 0x1B, false}, {0xDE, 0x28, false},
};

const KeyScan* Find(std::uint32_t virtualKey) {
  for (const KeyScan& key : kKeys) {
    if (key.virtualKey == virtualKey) return &key;
  }
  return nullptr;
}

}  // namespace

std::uint32_t ScanCodeOfVirtualKey(std::uint32_t virtualKey) {
  const KeyScan* key = Find(virtualKey);
  return key != nullptr ? key->scanCode : 0;
}

bool IsVirtualKeyExtended(std::uint32_t virtualKey) {
  const KeyScan* key = Find(virtualKey);
  return key != nullptr && key->extended;
}

char TypedCharacterOfVirtualKey(std::uint32_t virtualKey, bool shift) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    return static_cast<char>(shift ? virtualKey : virtualKey - 'A' + 'a');
  }
  if (virtualKey == VK_SPACE) return ' ';
  static constexpr char kDigitsShifted[] = ")!@#$%^&*(";
  if (virtualKey >= '0' && virtualKey <= '9') {
    return shift ? kDigitsShifted[virtualKey - '0'] : static_cast<char>(virtualKey);
  }
  struct Punctuation {
    std::uint8_t virtualKey;
    char plain;
    char shifted;
  };
  static constexpr Punctuation kPunctuation[] = {
      {0xBA, ';', ':'}, {0xBB, '=', '+'}, {0xBC, ',', '<'},  {0xBD, '-', '_'}, {0xBE, '.', '>'}, {0xBF, '/', '?'},
      {0xC0, '`', '~'}, {0xDB, '[', '{'}, {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'},
  };
  for (const Punctuation& key : kPunctuation) {
    if (key.virtualKey == virtualKey) return shift ? key.shifted : key.plain;
  }
  return 0;
}

}  // namespace plat
