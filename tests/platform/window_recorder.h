// A window class whose procedure records every message it receives, for the
// window stand-in tests. Class names carry the pid and a counter so tests
// that run in parallel never share one.
#pragma once

#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/window.h"

namespace qz::testing {

struct RecordedMessage {
  plat::HWND window;
  std::uint32_t message;
  plat::WPARAM wParam;
  plat::LPARAM lParam;
};

inline std::vector<RecordedMessage>& Recorded() {
  static std::vector<RecordedMessage> messages;
  return messages;
}

// The messages recorded since the last take, as (message, wParam, lParam),
// and the record emptied.
inline std::vector<std::tuple<std::uint32_t, plat::WPARAM, plat::LPARAM>> TakeRecorded() {
  std::vector<std::tuple<std::uint32_t, plat::WPARAM, plat::LPARAM>> taken;
  for (const RecordedMessage& m : Recorded()) taken.emplace_back(m.message, m.wParam, m.lParam);
  Recorded().clear();
  return taken;
}

inline plat::LRESULT RecordingProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                   plat::LPARAM lParam) {
  Recorded().push_back(RecordedMessage{window, message, wParam, lParam});
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

inline std::string UniqueClassName(const char* stem) {
  static int counter = 0;
  return std::string(stem) + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

// Registers a recording class and unregisters it at the end of the scope.
class RecordingClass {
 public:
  explicit RecordingClass(const char* stem = "qzwin") : name_(UniqueClassName(stem)) {
    const plat::WindowClass windowClass{plat::CS_HREDRAW | plat::CS_VREDRAW, RecordingProc, 0, name_.c_str()};
    atom_ = plat::RegisterClassExA(&windowClass);
    Recorded().clear();
  }
  ~RecordingClass() {
    for (plat::HWND window = plat::FindWindowA(name_.c_str(), nullptr); plat::IsWindow(window);
         window = plat::FindWindowA(name_.c_str(), nullptr)) {
      plat::DestroyWindow(window);
    }
    plat::UnregisterClassA(name_.c_str());
    plat::Message drain{};
    while (plat::PeekMessageA(&drain, nullptr, 0, 0, plat::PM_REMOVE)) {
    }
    Recorded().clear();
  }
  RecordingClass(const RecordingClass&) = delete;
  RecordingClass& operator=(const RecordingClass&) = delete;

  const char* name() const { return name_.c_str(); }
  std::uint16_t atom() const { return atom_; }

  // A visible captioned window whose client area is 640x480 at (100, 100).
  plat::HWND Create(std::uint32_t style = plat::WS_POPUP | plat::WS_CAPTION | plat::WS_SYSMENU) const {
    return plat::CreateWindowExA(0, name_.c_str(), "title", style | plat::WS_VISIBLE, 92, 69, 656, 519, nullptr);
  }

 private:
  std::string name_;
  std::uint16_t atom_ = 0;
};

// Removes every pending message and returns them in order, without dispatch.
inline std::vector<plat::Message> DrainMessages(plat::HWND filter = nullptr) {
  std::vector<plat::Message> messages;
  plat::Message message{};
  while (plat::PeekMessageA(&message, filter, 0, 0, plat::PM_REMOVE)) {
    if (message.message == plat::WM_PAINT) {
      plat::DispatchMessageA(&message);  // validates, or it would come forever
      continue;
    }
    messages.push_back(message);
  }
  return messages;
}

}  // namespace qz::testing
