// The input-method calls of the character input, over SDL's text editing: the
// composition SDL reports becomes the context's composition string (in the
// library's code page) and the composition messages a window would get.
// Candidate lists are not reported by SDL: the list is always empty.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace plat {

using HIMC = void*;

inline constexpr std::uint32_t GCS_COMPATTR = 0x0010;
inline constexpr std::uint32_t GCS_COMPCLAUSE = 0x0020;
inline constexpr std::uint32_t GCS_COMPSTR = 0x0008;
inline constexpr std::uint32_t GCS_CURSORPOS = 0x0080;
inline constexpr std::uint32_t GCS_RESULTSTR = 0x0800;
inline constexpr std::uint32_t SCS_SETSTR = GCS_COMPSTR | 0x1;
inline constexpr std::uint32_t NI_COMPOSITIONSTR = 0x15;
inline constexpr std::uint32_t CPS_CANCEL = 0x4;
inline constexpr std::uint32_t IMN_CLOSECANDIDATE = 0x4;
inline constexpr std::uint32_t IMN_OPENCANDIDATE = 0x5;
inline constexpr std::uint32_t IMN_CHANGECANDIDATE = 0x3;
inline constexpr std::uint32_t IMN_SETOPENSTATUS = 0x8;
inline constexpr std::uint32_t IMN_SETCANDIDATEPOS = 0x9;

HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// Bytes copied (or needed with a null buffer); the cursor position is the
// result itself, in bytes. Negative for an unknown index.
long ImmGetCompositionStringA(HIMC context, std::uint32_t index, void* buffer, std::uint32_t size);
BOOL ImmSetCompositionStringA(HIMC context, std::uint32_t index, const void* composition, std::uint32_t size,
                              const void* reading, std::uint32_t readingSize);
BOOL ImmNotifyIME(HIMC context, std::uint32_t action, std::uint32_t index, std::uint32_t value);
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
BOOL ImmGetOpenStatus(HIMC context);
std::uint32_t ImmGetCandidateListA(HIMC context, std::uint32_t index, void* list, std::uint32_t size);

// The window layer's composition events: text being composed (UTF-8, empty
// when the composition ends) with the cursor in characters, and the end of a
// composition when its result arrives as text.
void DeliverImeComposition(HWND window, const char* utf8, int cursorChars);
void EndImeComposition(HWND window);
// What the backend delivers for an input method's composition.
void SimulateComposition(HWND window, const char* utf8, int cursorChars);

}  // namespace plat
