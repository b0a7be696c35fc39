// The start of networking: WinSock, the hidden window its notifications are
// posted to, the handle list; and the options of new connections.
#include "core/log.h"
#include "network/network.h"
#include "network/network_log_text.h"
#include "network/network_platform.h"
#include "network/network_services.h"
#include "network/network_state.h"

namespace qz {
namespace {

constexpr char kWindowClassName[] = "QzNetworkNotify";
constexpr std::uint16_t kWinsockVersion = 0x0202;

std::int32_t gMessageLimit = kDefaultMessageLimit;

plat::LRESULT NetworkWindowProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (message == kSocketNotifyMessage) return OnSocketEvent(wParam, lParam);
  if (message == plat::WM_DESTROY) {
    GetNetworkState().windowGone = 1;
    return 0;
  }
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

plat::HWND CreateNetworkWindow() {
  const plat::WindowClass windowClass{0, &NetworkWindowProc, 0, kWindowClassName};
  // A class left registered by an earlier start is used again.
  plat::RegisterClassExA(&windowClass);
  return plat::CreateWindowExA(0, kWindowClassName, kWindowClassName, 0, 0, 0, 0, 0, nullptr);
}

}  // namespace

void UnregisterNetworkWindowClass() { plat::UnregisterClassA(kWindowClassName); }

std::int32_t GetNetworkMessageLimit() { return gMessageLimit; }

int SetNetWorkMessageLimit(std::int32_t bytes) {
  if (bytes < 0) return -1;
  gMessageLimit = bytes;
  return 0;
}

int SetNetWorkStreamMode(int streamMode) {
  GetNetworkState().streamMode = streamMode != 0 ? 1 : 0;
  return 0;
}

int SetNetWorkNoAutoClose(int noAutoClose) {
  GetNetworkState().noAutoClose = noAutoClose != 0 ? 1 : 0;
  return 0;
}

int StartNetwork() {
  NetworkState& state = GetNetworkState();
  if (state.started != 0) return 0;
  AppendLogText(text::kNetworkStartBegin);
  if (LoadNetworkPlatform() != 0) return AppendLogText(text::kNetworkModuleMissing);
  plat::WsaData data{};
  if (Net().WSAStartup(kWinsockVersion, &data) != 0) {
    LogNetworkFormat("%s", text::kNetworkStartupFailed);
    UnloadNetworkPlatform();
    return -1;
  }
  state.windowGone = 0;
  state.window = CreateNetworkWindow();
  if (state.window == nullptr) {
    Net().WSACleanup();
    UnloadNetworkPlatform();
    return AppendLogText(text::kNetworkWindowFailed);
  }
  InitHandleList(&state.listHead, &state.listTail);
  state.started = 1;
  AppendLogText(text::kNetworkStartDone);
  return 0;
}

}  // namespace qz
