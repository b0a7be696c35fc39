// The key-input editor. Text is in the code page: a character is one byte or
// a lead byte and its trail, and the editor never splits one.
#include "input/key_input.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/call_trace.h"
#include "core/clock.h"
#include "core/handle.h"
#include "core/memory.h"
#include "core/multibyte.h"
#include "core/window_services.h"
#include "graphics/color_value.h"
#include "input/char_input.h"
#include "input/pad_input.h"

namespace qz {
namespace {

HandleTable<KeyInputRecord, kKeyInputSlots, kKeyInputHandle> gKeyInputs;
constexpr HandleTablePolicy kKeyInputPolicy{nullptr, false};
int gActive = -1;
std::int32_t gBlinkStart = 0;
std::int32_t gBlinkPeriod = 500;
std::int32_t gCaretVisible = 1;
std::uint32_t gColors[kKeyInputColorCount] = {};

bool IsLead(char c) { return IsCurrentLeadByte(static_cast<unsigned char>(c)); }

bool HasSelection(const KeyInputRecord& r) { return r.selectionAnchor != -1; }

bool ShiftHeld() { return TestKeyDown(0x2A) != 0 || TestKeyDown(0x36) != 0; }

// Byte size of the character that starts at `at`.
int CharSizeAt(const KeyInputRecord& r, int at) { return at + 1 < r.length && IsLead(r.text[at]) ? 2 : 1; }

// Byte size of the character that ends at `at` (the one before the cursor).
int CharSizeBefore(const KeyInputRecord& r, int at) {
  int pos = 0, size = 0;
  while (pos < at) {
    size = CharSizeAt(r, pos);
    pos += size;
  }
  return size;
}

void RemoveBytes(KeyInputRecord& r, int at, int count) {
  std::memmove(r.text + at, r.text + at + count, static_cast<std::size_t>(r.length - at - count));
  r.length -= count;
  r.text[r.length] = '\0';
}

void CopySelection(const KeyInputRecord& r) {
  if (!HasSelection(r)) return;
  const int from = std::min(r.selectionAnchor, r.selectionEnd), to = std::max(r.selectionAnchor, r.selectionEnd);
  std::vector<char> part(r.text + from, r.text + to);
  part.push_back('\0');
  PutTextOnClipboard(part.data());
}

// Moves the cursor to `to`, extending the selection with Shift held and
// clearing it otherwise.
void MoveCursor(KeyInputRecord& r, int to, bool shift) {
  if (shift) {
    if (!HasSelection(r)) r.selectionAnchor = r.cursor;
    r.selectionEnd = to;
  } else {
    r.selectionAnchor = -1;
  }
  r.cursor = to;
}

bool Accepts(const KeyInputRecord& r, const char* bytes, int n) {
  if (r.singleByteOnly != 0 && n == 2) return false;
  if (r.numbersOnly == 0) return true;
  if (n != 1) return false;
  const char c = bytes[0];
  if (c >= '0' && c <= '9') return true;
  if (c == '-') return r.cursor == 0;
  if (c == '.') return std::memchr(r.text, '.', static_cast<std::size_t>(r.length)) == nullptr;
  return false;
}

void Insert(KeyInputRecord& r, const char* bytes, int n) {
  DeleteKeyInputSelection(&r);
  if (!Accepts(r, bytes, n) || n > r.maxLength) return;
  // Whole characters go from the end until the new one fits.
  while (r.length + n > r.maxLength) {
    const int size = CharSizeBefore(r, r.length);
    RemoveBytes(r, r.length - size, size);
    r.cursor = std::min(r.cursor, r.length);
  }
  std::memmove(r.text + r.cursor + n, r.text + r.cursor, static_cast<std::size_t>(r.length - r.cursor));
  std::memcpy(r.text + r.cursor, bytes, static_cast<std::size_t>(n));
  r.cursor += n;
  r.length += n;
  r.text[r.length] = '\0';
}

void Edit(KeyInputRecord& r, const char* bytes, int n) {
  const auto code = static_cast<std::uint8_t>(bytes[0]);
  if (n == 2) {
    Insert(r, bytes, n);
    return;
  }
  switch (code) {
    case 0x03:
      CopySelection(r);
      break;
    case 0x08:
      if (HasSelection(r)) {
        DeleteKeyInputSelection(&r);
      } else if (r.cursor > 0) {
        const int size = CharSizeBefore(r, r.cursor);
        r.cursor -= size;
        RemoveBytes(r, r.cursor, size);
      }
      break;
    case 0x09:
    case 0x1E:
    case 0x1F:
      break;
    case 0x0D:
      r.finished = 1;
      break;
    case 0x10:
      if (!HasSelection(r)) {
        if (r.cursor < r.length) RemoveBytes(r, r.cursor, CharSizeAt(r, r.cursor));
      } else {
        if (ShiftHeld()) CopySelection(r);
        DeleteKeyInputSelection(&r);
      }
      break;
    case 0x16: {
      const int size = CopyClipboardTextOut(nullptr, 0);
      if (size > 0) {
        std::vector<char> pasted(static_cast<std::size_t>(size));
        if (CopyClipboardTextOut(pasted.data(), size) == 0) {
          for (const char* p = pasted.data(); *p != '\0'; ++p) PushInputChar(static_cast<std::uint8_t>(*p));
        }
      }
      break;
    }
    case 0x18:
      CopySelection(r);
      DeleteKeyInputSelection(&r);
      break;
    case 0x1A:
      MoveCursor(r, 0, ShiftHeld());
      break;
    case 0x19:
      MoveCursor(r, r.length, ShiftHeld());
      break;
    case 0x1C: {
      const bool shift = ShiftHeld();
      if (r.cursor < r.length) {
        MoveCursor(r, r.cursor + CharSizeAt(r, r.cursor), shift);
      } else if (!shift) {
        r.selectionAnchor = -1;
      }
      break;
    }
    case 0x1D: {
      const bool shift = ShiftHeld();
      if (r.cursor > 0) {
        MoveCursor(r, r.cursor - CharSizeBefore(r, r.cursor), shift);
      } else if (!shift) {
        r.selectionAnchor = -1;
      }
      break;
    }
    case 0x1B:
      if (r.escapeAllowed != 0) {
        r.cancelled = 1;
        r.finished = 1;
      }
      break;
    default:
      Insert(r, bytes, n);
      break;
  }
}

}  // namespace

KeyInputHandle CreateKeyInputHandle(int maxLength, int escapeAllowed, int singleByteOnly, int numbersOnly) {
  if (maxLength <= 0) return -1;
  const int handle = gKeyInputs.Create(kKeyInputPolicy);
  KeyInputRecord* r = gKeyInputs.Get(handle);
  if (r == nullptr) return -1;
  r->text = static_cast<char*>(QZ_ALLOC_ZEROED(static_cast<std::size_t>(maxLength) + 1));
  if (r->text == nullptr) {
    gKeyInputs.Delete(handle);
    return -1;
  }
  r->maxLength = maxLength;
  r->selectionAnchor = -1;
  r->escapeAllowed = escapeAllowed;
  r->singleByteOnly = singleByteOnly;
  r->numbersOnly = numbersOnly;
  return handle;
}

int SetActiveKeyInput(KeyInputHandle handle) {
  if (handle != -1 && !gKeyInputs.IsValid(handle)) return -1;
  gActive = handle;
  RestartCaretBlink();
  return 0;
}

KeyInputRecord* GetKeyInputRecord(KeyInputHandle handle) { return gKeyInputs.Get(handle); }

int RestartCaretBlink() {
  gBlinkStart = GetMillisecondCount();
  gCaretVisible = 1;
  return 0;
}

int DeleteKeyInputSelection(KeyInputRecord* record) {
  KeyInputRecord& r = *record;
  if (!HasSelection(r)) return 0;
  const int from = std::clamp(std::min(r.selectionAnchor, r.selectionEnd), 0, r.length);
  const int to = std::clamp(std::max(r.selectionAnchor, r.selectionEnd), 0, r.length);
  RemoveBytes(r, from, to - from);
  r.cursor = from;
  r.selectionAnchor = -1;
  if (r.displayStart > r.length) r.displayStart = r.length;
  return 0;
}

int UpdateActiveKeyInput() {
  RecordCall("UpdateActiveKeyInput");
  StepImeReset();
  if (gActive == -1) return 0;
  KeyInputRecord* r = gKeyInputs.Get(gActive);
  if (r == nullptr) return -1;
  while (r->finished == 0) {
    char bytes[2];
    const int n = PopInputChar(bytes, 1);
    if (n == 0) break;
    RestartCaretBlink();
    Edit(*r, bytes, n);
  }
  return 0;
}

int ReleaseKeyInputHandle(int handle) {
  KeyInputRecord* r = gKeyInputs.Get(handle);
  if (r == nullptr) return -1;
  QZ_FREE(r->text);
  gKeyInputs.Delete(handle);
  if (gActive == handle) gActive = -1;
  if (gKeyInputs.LiveCount() == 0) SetImeEnabled(0);
  return 0;
}

int ReleaseAllKeyInputHandles() {
  RecordCall("ReleaseAllKeyInputHandles");
  for (int slot = 0; slot < kKeyInputSlots; ++slot) {
    if (gKeyInputs.RecordAt(slot) != nullptr) ReleaseKeyInputHandle(gKeyInputs.HandleAt(slot));
  }
  gActive = -1;
  return 0;
}

void ResetKeyInputState() {
  ReleaseAllKeyInputHandles();
  gBlinkStart = 0;
  gBlinkPeriod = 500;
  gCaretVisible = 1;
}

void MakeKeyInputColors() {
  struct Rgb {
    int red, green, blue;
  };
  static constexpr Rgb kColors[kKeyInputColorCount] = {
      {255, 255, 255}, {255, 255, 0}, {255, 255, 255}, {0, 255, 255}, {255, 255, 255},
      {255, 0, 0},     {255, 255, 20}, {0, 0, 0},     {0, 0, 0},     {0, 0, 0},
      {255, 255, 0},   {0, 0, 0},     {255, 255, 255}, {0, 0, 0},    {128, 128, 128}};
  for (int i = 0; i < kKeyInputColorCount; ++i) {
    gColors[i] = MakeColorValue(kColors[i].red, kColors[i].green, kColors[i].blue);
  }
}

const std::uint32_t* GetKeyInputColors() { return gColors; }

int CountMultiByteChars(const char* text, int bytes) {
  int count = 0;
  for (int at = 0; at < bytes && text[at] != '\0'; ++count) {
    at += IsLead(text[at]) && at + 1 < bytes && text[at + 1] != '\0' ? 2 : 1;
  }
  return count;
}

}  // namespace qz
