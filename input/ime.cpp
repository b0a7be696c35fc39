// The IME side of character input: composition messages, the candidate list,
// the on/off switch and the four-step reset after the window was activated.
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "core/clock.h"
#include "input/char_input.h"
#include "input/key_input.h"
#include "platform/imm.h"
#include "platform/module.h"

namespace qz {
namespace {

constexpr std::uint32_t kImeStart = 0x010D;
constexpr std::uint32_t kImeEnd = 0x010E;
constexpr std::uint32_t kImeComposition = 0x010F;
constexpr std::uint32_t kImeSetContext = 0x0281;
constexpr std::uint32_t kImeNotify = 0x0282;

struct ImeState {
  int enabled = 0;
  int open = 0;  // as read at the last open-status notification
  char composition[1024];
  std::uint8_t clauses[4096];
  std::uint8_t attributes[1024];
  int cursorChars = 0;
  int composing = 0;
  void* candidates = nullptr;
  int candidateCount = 0;
  int resetStep = 0;
  char savedComposition[1024];
  bool inOpenStatus = false;
};
ImeState gIme;

void FreeCandidates() {
  QZ_FREE(gIme.candidates);
  gIme.candidates = nullptr;
  gIme.candidateCount = 0;
}

void ReadCandidates(plat::HWND window) {
  plat::HIMC context = plat::ImmGetContext(window);
  const std::uint32_t size = plat::ImmGetCandidateListA(context, 0, nullptr, 0);
  if (size == 0) {
    AppendLogFormat(text::kImeCandidateSizeZero, static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window)),
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(context)));
  } else {
    FreeCandidates();
    gIme.candidates = QZ_ALLOC(size);
    if (gIme.candidates == nullptr) {
      AppendLogFormat(text::kImeCandidateAllocFailed, static_cast<int>(size));
    } else if (plat::ImmGetCandidateListA(context, 0, gIme.candidates, size) == 0) {
      AppendLogFormat(text::kImeCandidateGetFailed, static_cast<int>(size));
      FreeCandidates();
    } else {
      gIme.candidateCount = 1;
    }
  }
  plat::ImmReleaseContext(window, context);
}

void ReadComposition(plat::HWND window, plat::LPARAM flags) {
  plat::HIMC context = plat::ImmGetContext(window);
  if ((flags & plat::GCS_RESULTSTR) != 0) {
    char result[1024];
    const long n = plat::ImmGetCompositionStringA(context, plat::GCS_RESULTSTR, result, sizeof result);
    for (long i = 0; i < n; ++i) PushInputChar(static_cast<std::uint8_t>(result[i]));
  }
  if ((flags & plat::GCS_COMPSTR) != 0) {
    std::memset(gIme.composition, 0, sizeof gIme.composition);
    plat::ImmGetCompositionStringA(context, plat::GCS_COMPSTR, gIme.composition, sizeof gIme.composition - 1);
  }
  if ((flags & plat::GCS_CURSORPOS) != 0) {
    const long bytes = plat::ImmGetCompositionStringA(context, plat::GCS_CURSORPOS, nullptr, 0);
    gIme.cursorChars = CountMultiByteChars(gIme.composition, static_cast<int>(bytes));
  }
  if ((flags & plat::GCS_COMPCLAUSE) != 0) {
    plat::ImmGetCompositionStringA(context, plat::GCS_COMPCLAUSE, gIme.clauses, sizeof gIme.clauses);
  }
  if ((flags & plat::GCS_COMPATTR) != 0) {
    plat::ImmGetCompositionStringA(context, plat::GCS_COMPATTR, gIme.attributes, sizeof gIme.attributes);
  }
  plat::ImmReleaseContext(window, context);
}

}  // namespace

plat::LRESULT HandleImeMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
  switch (message) {
    case kImeStart:
      gIme.composing = 1;
      return 0;
    case kImeEnd:
      gIme.composing = 0;
      gIme.cursorChars = 0;
      return 0;
    case kImeComposition:
      ReadComposition(window, lParam);
      return 0;
    case kImeSetContext:
      return plat::DefWindowProcA(window, message, wParam, 0);
    case kImeNotify:
      switch (wParam) {
        case plat::IMN_OPENCANDIDATE:
        case plat::IMN_CHANGECANDIDATE:
        case plat::IMN_SETCANDIDATEPOS:
          ReadCandidates(window);
          return 0;
        case plat::IMN_CLOSECANDIDATE:
          FreeCandidates();
          return 0;
        case plat::IMN_SETOPENSTATUS: {
          if (gIme.inOpenStatus) return 0;
          gIme.inOpenStatus = true;
          plat::DefWindowProcA(window, message, wParam, lParam);
          // Let the IME settle before its state is read.
          const std::uint64_t until = GetMicrosecondCount(0) + 2000;
          while (GetMicrosecondCount(0) < until && PumpWindowMessages() == 0) {
          }
          plat::HIMC context = plat::ImmGetContext(window);
          gIme.open = plat::ImmGetOpenStatus(context) != plat::FALSE ? 1 : 0;
          plat::ImmReleaseContext(window, context);
          gIme.inOpenStatus = false;
          return 0;
        }
        default:
          return plat::DefWindowProcA(window, message, wParam, lParam);
      }
    default:
      return plat::DefWindowProcA(window, message, wParam, lParam);
  }
}

int SetImeEnabled(int flag) {
  const int wanted = flag != 0 ? 1 : 0;
  if (gIme.enabled == wanted) return 0;
  if (plat::ModuleHandle user = plat::LoadLibraryA("User32.dll")) {
    using EnableIme = plat::BOOL (*)(plat::HWND, plat::BOOL);
    if (auto enable = reinterpret_cast<EnableIme>(plat::GetProcAddress(user, "WINNLSEnableIME"))) {
      enable(QueryMainWindowHandle(), wanted);
    }
    plat::FreeLibrary(user);
  }
  gIme.enabled = wanted;
  if (wanted == 0) {
    FreeCandidates();
    std::memset(gIme.composition, 0, sizeof gIme.composition);
    gIme.composing = 0;
    gIme.cursorChars = 0;
  }
  return 0;
}

int GetImeCompositionFlag() { return gIme.enabled != 0 && gIme.open != 0 ? 1 : 0; }

void RequestKeyInputImeRefresh() { gIme.resetStep = 1; }

void StepImeReset() {
  if (gIme.resetStep == 0) return;
  plat::HWND window = QueryMainWindowHandle();
  plat::HIMC context = plat::ImmGetContext(window);
  switch (gIme.resetStep) {
    case 1:
      std::memset(gIme.savedComposition, 0, sizeof gIme.savedComposition);
      plat::ImmGetCompositionStringA(context, plat::GCS_COMPSTR, gIme.savedComposition,
                                     sizeof gIme.savedComposition - 1);
      plat::ImmNotifyIME(context, plat::NI_COMPOSITIONSTR, plat::CPS_CANCEL, 0);
      break;
    case 2:
      plat::ImmSetOpenStatus(context, plat::FALSE);
      break;
    case 3:
      plat::ImmSetOpenStatus(context, plat::TRUE);
      break;
    default:
      plat::ImmSetOpenStatus(context, plat::TRUE);
      plat::ImmSetCompositionStringA(context, plat::SCS_SETSTR, gIme.savedComposition,
                                     static_cast<std::uint32_t>(std::strlen(gIme.savedComposition)), nullptr, 0);
      break;
  }
  plat::ImmReleaseContext(window, context);
  gIme.resetStep = gIme.resetStep == 4 ? 0 : gIme.resetStep + 1;
}

void ResetImeState() {
  FreeCandidates();
  const int enabled = gIme.enabled;
  gIme = ImeState{};
  gIme.enabled = enabled;
}

const char* GetImeComposition() { return gIme.composition; }
int GetImeCursorChars() { return gIme.cursorChars; }
int IsImeComposing() { return gIme.composing; }

}  // namespace qz
