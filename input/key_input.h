// Key-input handles: text-entry fields whose active one takes typed
// characters from the character ring once a frame and edits its text with a
// cursor, a selection, the clipboard and its limits.
#pragma once

#include <cstdint>

namespace qz {

struct KeyInputRecord {
  std::int32_t check;
  std::int32_t finished;   // set once Enter or Escape ended the entry
  std::int32_t cancelled;  // Escape
  std::int32_t length;     // bytes
  std::int32_t maxLength;  // bytes
  std::int32_t selectionAnchor;  // -1: no selection
  std::int32_t selectionEnd;
  std::int32_t displayStart;
  std::int32_t cursor;  // bytes
  char* text;           // maxLength + 1 bytes, owned
  std::int32_t escapeAllowed;
  std::int32_t singleByteOnly;
  std::int32_t numbersOnly;
};

// Handles of kind 0x38000000.
using KeyInputHandle = int;

inline constexpr int kKeyInputSlots = 256;
inline constexpr int kKeyInputColorCount = 15;

// Makes a field of at most maxLength bytes; the handle or -1. The field
// becomes the active one with SetActiveKeyInput.
KeyInputHandle CreateKeyInputHandle(int maxLength, int escapeAllowed, int singleByteOnly, int numbersOnly);
int SetActiveKeyInput(KeyInputHandle handle);
// The record of a valid handle, else null.
KeyInputRecord* GetKeyInputRecord(KeyInputHandle handle);

int RestartCaretBlink();
int DeleteKeyInputSelection(KeyInputRecord* record);
// Clears every record without freeing (library start).
void ResetKeyInputState();
// Makes the field colours in the screen's pixel format (character input
// start, after graphics); the array holds kKeyInputColorCount values.
void MakeKeyInputColors();
const std::uint32_t* GetKeyInputColors();
// Number of characters in the first `bytes` bytes (stops at a 0 byte).
int CountMultiByteChars(const char* text, int bytes);

}  // namespace qz
