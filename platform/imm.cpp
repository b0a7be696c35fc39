// One input context for the program: the library has one window taking text.
#include "platform/imm.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

namespace plat {
namespace {

constexpr std::uint32_t kImeNotify = 0x0282;
constexpr std::uint32_t kImeStart = 0x010D;
constexpr std::uint32_t kImeEnd = 0x010E;
constexpr std::uint32_t kImeComposition = 0x010F;

struct InputContext {
  std::mutex mutex;
  std::string composition;  // code page bytes
  long cursorBytes = 0;
  bool composing = false;
  bool open = true;
  HWND window = nullptr;  // the window that last asked for the context
};
InputContext gContext;

long Copy(const std::string& bytes, void* buffer, std::uint32_t size) {
  if (buffer == nullptr || size == 0) return static_cast<long>(bytes.size());
  const std::size_t n = std::min<std::size_t>(bytes.size(), size);
  std::memcpy(buffer, bytes.data(), n);
  return static_cast<long>(n);
}

// The code-page length of the first `chars` characters of UTF-8 text.
long CodePageOffset(const char* utf8, int chars) {
  std::size_t at = 0;
  for (int c = 0; c < chars && utf8[at] != '\0'; ++c) {
    do {
      ++at;
    } while ((static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80);
  }
  return static_cast<long>(Utf8ToCodePage(std::string(utf8, at).c_str()).size());
}

}  // namespace

HIMC ImmGetContext(HWND window) {
  if (window == nullptr) return nullptr;
  std::lock_guard lock(gContext.mutex);
  gContext.window = window;
  return &gContext;
}

BOOL ImmReleaseContext(HWND, HIMC context) { return context == &gContext ? TRUE : FALSE; }

long ImmGetCompositionStringA(HIMC context, std::uint32_t index, void* buffer, std::uint32_t size) {
  if (context != &gContext) return -1;
  std::lock_guard lock(gContext.mutex);
  switch (index) {
    case GCS_COMPSTR:
      return Copy(gContext.composition, buffer, size);
    case GCS_COMPATTR:
      // Every byte is being input: attribute 0.
      return Copy(std::string(gContext.composition.size(), '\0'), buffer, size);
    case GCS_COMPCLAUSE: {
      // One clause over the whole string: offsets 0 and its length.
      if (gContext.composition.empty()) return 0;
      const std::uint32_t clause[2] = {0, static_cast<std::uint32_t>(gContext.composition.size())};
      return Copy(std::string(reinterpret_cast<const char*>(clause), sizeof clause), buffer, size);
    }
    case GCS_CURSORPOS:
      return gContext.cursorBytes;
    case GCS_RESULTSTR:
      return 0;
    default:
      return -1;
  }
}

BOOL ImmSetCompositionStringA(HIMC context, std::uint32_t index, const void* composition, std::uint32_t size,
                              const void*, std::uint32_t) {
  if (context != &gContext || index != SCS_SETSTR) return FALSE;
  std::lock_guard lock(gContext.mutex);
  gContext.composition.assign(static_cast<const char*>(composition), composition != nullptr ? size : 0);
  gContext.cursorBytes = static_cast<long>(gContext.composition.size());
  return TRUE;
}

BOOL ImmNotifyIME(HIMC context, std::uint32_t action, std::uint32_t index, std::uint32_t) {
  if (context != &gContext || action != NI_COMPOSITIONSTR || index != CPS_CANCEL) return FALSE;
  std::lock_guard lock(gContext.mutex);
  gContext.composition.clear();
  gContext.cursorBytes = 0;
  return TRUE;
}

BOOL ImmSetOpenStatus(HIMC context, BOOL open) {
  if (context != &gContext) return FALSE;
  HWND window;
  {
    std::lock_guard lock(gContext.mutex);
    gContext.open = open != FALSE;
    window = gContext.window;
  }
  // The window hears of the change as the system would tell it.
  if (window != nullptr) PostMessageA(window, kImeNotify, IMN_SETOPENSTATUS, 0);
  return TRUE;
}

BOOL ImmGetOpenStatus(HIMC context) {
  if (context != &gContext) return FALSE;
  std::lock_guard lock(gContext.mutex);
  return gContext.open ? TRUE : FALSE;
}

std::uint32_t ImmGetCandidateListA(HIMC, std::uint32_t, void*, std::uint32_t) { return 0; }

void DeliverImeComposition(HWND window, const char* utf8, int cursorChars) {
  if (utf8 == nullptr || utf8[0] == '\0') {
    EndImeComposition(window);
    return;
  }
  bool starting;
  {
    std::lock_guard lock(gContext.mutex);
    starting = !gContext.composing;
    gContext.composing = true;
    gContext.composition = Utf8ToCodePage(utf8);
    gContext.cursorBytes = CodePageOffset(utf8, std::max(cursorChars, 0));
  }
  if (starting) PostMessageA(window, kImeStart, 0, 0);
  PostMessageA(window, kImeComposition, 0, GCS_COMPSTR | GCS_COMPATTR | GCS_COMPCLAUSE | GCS_CURSORPOS);
}

void EndImeComposition(HWND window) {
  {
    std::lock_guard lock(gContext.mutex);
    if (!gContext.composing) return;
    gContext.composing = false;
    gContext.composition.clear();
    gContext.cursorBytes = 0;
  }
  PostMessageA(window, kImeEnd, 0, 0);
}

void SimulateComposition(HWND window, const char* utf8, int cursorChars) {
  DeliverImeComposition(window, utf8, cursorChars);
}

}  // namespace plat
