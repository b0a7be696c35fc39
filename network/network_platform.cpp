// The table of WinSock entry points networking calls through, filled from the
// module registry when networking starts.
#include "network/network_platform.h"

#include "platform/clock.h"
#include "platform/module.h"

namespace qz {
namespace {

NetworkPlatform gLoaded{};
const NetworkPlatform* gTestPlatform = nullptr;
plat::ModuleHandle gModule = nullptr;

template <typename Function>
bool Resolve(plat::ModuleHandle module, const char* name, Function*& out) {
  out = reinterpret_cast<Function*>(plat::GetProcAddress(module, name));
  return out != nullptr;
}

// Every entry networking calls, by its export name; false when one is absent.
bool ResolveAll(plat::ModuleHandle module, NetworkPlatform& table) {
  return Resolve(module, "WSAGetLastError", table.WSAGetLastError) &&
         Resolve(module, "WSAStartup", table.WSAStartup) && Resolve(module, "WSACleanup", table.WSACleanup) &&
         Resolve(module, "WSAAsyncSelect", table.WSAAsyncSelect) &&
         Resolve(module, "gethostbyname", table.gethostbyname) && Resolve(module, "htons", table.htons) &&
         Resolve(module, "ntohs", table.ntohs) && Resolve(module, "inet_addr", table.inet_addr) &&
         Resolve(module, "socket", table.socket) && Resolve(module, "bind", table.bind) &&
         Resolve(module, "listen", table.listen) && Resolve(module, "accept", table.accept) &&
         Resolve(module, "connect", table.connect) && Resolve(module, "send", table.send) &&
         Resolve(module, "WSASend", table.WSASend) &&
         Resolve(module, "recv", table.recv) && Resolve(module, "closesocket", table.closesocket) &&
         Resolve(module, "getsockname", table.getsockname);
}

// The module's entries and the stand-in's own three; false when one is absent.
bool FillTable(plat::ModuleHandle module, NetworkPlatform& table) {
  table.PostSocketNotifications = &plat::PostSocketNotifications;
  table.WaitForSocketEvents = &plat::WaitForSocketEvents;
  table.timeGetTime = &plat::timeGetTime;
  return module != nullptr && ResolveAll(module, table);
}

}  // namespace

const NetworkPlatform& Net() { return gTestPlatform != nullptr ? *gTestPlatform : gLoaded; }

int LoadNetworkPlatform() {
  if (gModule != nullptr) return 0;
  gModule = plat::LoadLibraryA("ws2_32.dll");
  NetworkPlatform table{};
  if (!FillTable(gModule, table)) {
    UnloadNetworkPlatform();
    return -1;
  }
  gLoaded = table;
  return 0;
}

void UnloadNetworkPlatform() {
  if (gModule != nullptr) plat::FreeLibrary(gModule);
  gModule = nullptr;
  gLoaded = NetworkPlatform{};
}

void SetNetworkPlatformForTest(const NetworkPlatform* platform) { gTestPlatform = platform; }

NetworkPlatform StandInNetworkPlatform() {
  NetworkPlatform table{};
  plat::ModuleHandle module = plat::LoadLibraryA("ws2_32.dll");
  FillTable(module, table);
  if (module != nullptr) plat::FreeLibrary(module);
  return table;
}

}  // namespace qz
