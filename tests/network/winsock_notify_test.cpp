// The WinSock stand-in on its own: calls before WSAStartup, error numbers,
// and the notifications WSAAsyncSelect posts when the sockets are polled:
// accept and connect outcomes, FD_WRITE once the connection stands, FD_READ
// once and again only after a recv, FD_CLOSE once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/window.h"
#include "platform/winsock.h"

namespace {

constexpr std::uint32_t kNotify = 0x505;

class WinsockNotify : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::WsaData data{};
    ASSERT_EQ(plat::WSAStartup(0x0202, &data), 0);
    EXPECT_EQ(data.version, 0x0202);
    const plat::WindowClass windowClass{0, &plat::DefWindowProcA, 0, "QzWinsockNotifyTest"};
    plat::RegisterClassExA(&windowClass);
    window_ = plat::CreateWindowExA(0, "QzWinsockNotifyTest", "", 0, 0, 0, 0, 0, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    plat::DestroyWindow(window_);
    plat::UnregisterClassA("QzWinsockNotifyTest");
    EXPECT_EQ(plat::WSACleanup(), 0);
  }

  // Polls once and takes every notification: {socket, event, error}.
  struct Note {
    plat::SOCKET socket;
    int event;
    int error;
    bool operator==(const Note&) const = default;
  };
  std::vector<Note> Poll() {
    plat::PostSocketNotifications();
    std::vector<Note> notes;
    plat::Message message{};
    while (plat::PeekMessageA(&message, window_, 0, 0, plat::PM_REMOVE)) {
      EXPECT_EQ(message.message, kNotify);
      notes.push_back({message.wParam, plat::LowWord(static_cast<std::uintptr_t>(message.lParam)),
                       plat::HighWord(static_cast<std::uintptr_t>(message.lParam))});
    }
    return notes;
  }

  plat::SOCKET Listener(int* port) {
    const plat::SOCKET listener = plat::socket(plat::kWsAfInet, plat::kWsSockStream, plat::kWsIpProtoTcp);
    plat::SocketAddressIn in{};
    in.family = plat::kWsAfInet;
    in.address = plat::inet_addr("127.0.0.1");
    EXPECT_EQ(plat::bind(listener, reinterpret_cast<plat::SocketAddress*>(&in), sizeof(in)), 0);
    EXPECT_EQ(plat::listen(listener, plat::kWsSomaxconn), 0);
    int length = sizeof(in);
    EXPECT_EQ(plat::getsockname(listener, reinterpret_cast<plat::SocketAddress*>(&in), &length), 0);
    EXPECT_EQ(in.family, plat::kWsAfInet);
    *port = plat::ntohs(in.port);
    return listener;
  }

  plat::SOCKET Connect(int port) {
    const plat::SOCKET client = plat::socket(plat::kWsAfInet, plat::kWsSockStream, plat::kWsIpProtoTcp);
    EXPECT_EQ(plat::WSAAsyncSelect(client, window_, kNotify, 0x3F), 0);
    plat::SocketAddressIn to{};
    to.family = plat::kWsAfInet;
    to.port = plat::htons(static_cast<std::uint16_t>(port));
    to.address = plat::inet_addr("127.0.0.1");
    const int result = plat::connect(client, reinterpret_cast<plat::SocketAddress*>(&to), sizeof(to));
    EXPECT_TRUE(result == 0 || plat::WSAGetLastError() == plat::WSAEWOULDBLOCK);
    return client;
  }

  plat::HWND window_ = nullptr;
};

TEST(WinsockStandIn, CallsNeedTheStartAndReportWinsockErrors) {
  EXPECT_EQ(plat::socket(plat::kWsAfInet, plat::kWsSockStream, 0), plat::INVALID_SOCKET);
  EXPECT_EQ(plat::WSAGetLastError(), plat::WSANOTINITIALISED);
  EXPECT_EQ(plat::WSACleanup(), plat::SOCKET_ERROR);
  plat::WsaData data{};
  // The low byte is the major version: 0x0100 asks for 0.1, 0x0002 for 2.0.
  EXPECT_EQ(plat::WSAStartup(0x0001, &data), plat::WSAEINVAL);
  EXPECT_EQ(plat::WSAStartup(0x0100, &data), plat::WSAEINVAL);
  EXPECT_EQ(plat::socket(plat::kWsAfInet, plat::kWsSockStream, 0), plat::INVALID_SOCKET);
  ASSERT_EQ(plat::WSAStartup(0x0002, &data), 0);
  EXPECT_EQ(data.version, 0x0202);
  EXPECT_EQ(data.highVersion, 0x0202);
  EXPECT_EQ(plat::WSACleanup(), 0);
  ASSERT_EQ(plat::WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(data.version, 0x0101);
  char byte = 0;
  EXPECT_EQ(plat::recv(12345, &byte, 1, 0), plat::SOCKET_ERROR);
  EXPECT_EQ(plat::WSAGetLastError(), plat::WSAENOTSOCK);
  EXPECT_EQ(plat::socket(99, plat::kWsSockStream, 0), plat::INVALID_SOCKET);
  EXPECT_EQ(plat::WSAGetLastError(), plat::WSAEAFNOSUPPORT);
  EXPECT_EQ(plat::inet_addr("not an address"), plat::kWsInaddrNone);
  EXPECT_EQ(plat::inet_addr("127.0.0.1"), 0x0100007Fu);
  EXPECT_EQ(plat::htons(0x1234), 0x3412);
  const plat::HostEntry* host = plat::gethostbyname("localhost");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->addressType, plat::kWsAfInet);
  EXPECT_EQ(plat::WSACleanup(), 0);
}

TEST_F(WinsockNotify, NotificationsFollowTheConnectionFromAcceptToClose) {
  int port = 0;
  const plat::SOCKET listener = Listener(&port);
  ASSERT_EQ(plat::WSAAsyncSelect(listener, window_, kNotify, plat::FD_ACCEPT), 0);
  const plat::SOCKET client = Connect(port);

  std::vector<Note> notes = Poll();
  EXPECT_NE(std::find(notes.begin(), notes.end(), Note{listener, plat::FD_ACCEPT, 0}), notes.end());
  EXPECT_NE(std::find(notes.begin(), notes.end(), Note{client, plat::FD_CONNECT, 0}), notes.end());
  EXPECT_NE(std::find(notes.begin(), notes.end(), Note{client, plat::FD_WRITE, 0}), notes.end());

  plat::SocketAddressIn peer{};
  int length = sizeof(peer);
  const plat::SOCKET server = plat::accept(listener, reinterpret_cast<plat::SocketAddress*>(&peer), &length);
  ASSERT_NE(server, plat::INVALID_SOCKET);
  EXPECT_EQ(length, static_cast<int>(sizeof(plat::SocketAddressIn)));
  EXPECT_EQ(peer.address, plat::inet_addr("127.0.0.1"));
  ASSERT_EQ(plat::WSAAsyncSelect(server, window_, kNotify, plat::FD_READ | plat::FD_WRITE | plat::FD_CLOSE), 0);
  EXPECT_EQ(Poll(), (std::vector<Note>{{server, plat::FD_WRITE, 0}}));  // once, right after the selection
  EXPECT_TRUE(Poll().empty());

  char buffer[8] = {};
  EXPECT_EQ(plat::recv(server, buffer, 8, 0), plat::SOCKET_ERROR);
  EXPECT_EQ(plat::WSAGetLastError(), plat::WSAEWOULDBLOCK);
  ASSERT_EQ(plat::send(client, "hello", 5, 0), 5);
  // Unread bytes are reported once, and again after a recv (a peek too)
  // leaves some waiting.
  EXPECT_EQ(Poll(), (std::vector<Note>{{server, plat::FD_READ, 0}}));
  EXPECT_TRUE(Poll().empty());
  ASSERT_EQ(plat::send(client, "!", 1, 0), 1);
  EXPECT_TRUE(Poll().empty());
  EXPECT_EQ(plat::recv(server, buffer, 2, plat::kWsMsgPeek), 2);
  EXPECT_EQ(Poll(), (std::vector<Note>{{server, plat::FD_READ, 0}}));
  EXPECT_EQ(plat::recv(server, buffer, 5, 0), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  EXPECT_EQ(Poll(), (std::vector<Note>{{server, plat::FD_READ, 0}}));  // "!" still waits
  EXPECT_EQ(plat::recv(server, buffer, 8, 0), 1);
  EXPECT_TRUE(Poll().empty());

  ASSERT_EQ(plat::shutdown(client, plat::SD_SEND), 0);
  EXPECT_EQ(Poll(), (std::vector<Note>{{server, plat::FD_CLOSE, 0}}));
  EXPECT_TRUE(Poll().empty());
  EXPECT_EQ(plat::recv(server, buffer, 8, 0), 0);

  // Cancelled selection: nothing more is posted.
  ASSERT_EQ(plat::WSAAsyncSelect(client, window_, 0, 0), 0);
  EXPECT_EQ(plat::closesocket(server), 0);
  EXPECT_TRUE(Poll().empty());
  EXPECT_EQ(plat::closesocket(server), plat::SOCKET_ERROR);
  EXPECT_EQ(plat::WSAGetLastError(), plat::WSAENOTSOCK);
  EXPECT_EQ(plat::closesocket(client), 0);
  EXPECT_EQ(plat::closesocket(listener), 0);
}

TEST_F(WinsockNotify, AcceptOverIpv6GivesThePeersAddressAndPort) {
  const plat::SOCKET listener = plat::socket(plat::kWsAfInet6, plat::kWsSockStream, plat::kWsIpProtoTcp);
  if (listener == plat::INVALID_SOCKET) GTEST_SKIP() << "this machine has no IPv6";
  plat::SocketAddressIn6 loopback{};
  loopback.family = plat::kWsAfInet6;
  loopback.address[15] = 1;  // ::1
  if (plat::bind(listener, reinterpret_cast<plat::SocketAddress*>(&loopback), sizeof(loopback)) != 0) {
    plat::closesocket(listener);
    GTEST_SKIP() << "::1 is not available";
  }
  ASSERT_EQ(plat::listen(listener, plat::kWsSomaxconn), 0);
  plat::SocketAddressIn6 bound{};
  int length = sizeof(bound);
  ASSERT_EQ(plat::getsockname(listener, reinterpret_cast<plat::SocketAddress*>(&bound), &length), 0);
  EXPECT_EQ(length, static_cast<int>(sizeof(plat::SocketAddressIn6)));

  const plat::SOCKET client = plat::socket(plat::kWsAfInet6, plat::kWsSockStream, plat::kWsIpProtoTcp);
  ASSERT_EQ(plat::connect(client, reinterpret_cast<plat::SocketAddress*>(&bound), sizeof(bound)), 0);
  plat::SocketAddressIn6 clientName{};
  length = sizeof(clientName);
  ASSERT_EQ(plat::getsockname(client, reinterpret_cast<plat::SocketAddress*>(&clientName), &length), 0);

  // An IPv4-sized buffer cannot hold the peer: refused, and the connection waits.
  plat::SocketAddressIn6 peer{};
  length = sizeof(plat::SocketAddressIn);
  EXPECT_EQ(plat::accept(listener, reinterpret_cast<plat::SocketAddress*>(&peer), &length), plat::INVALID_SOCKET);
  EXPECT_EQ(plat::WSAGetLastError(), plat::WSAEFAULT);
  length = sizeof(peer);
  const plat::SOCKET server = plat::accept(listener, reinterpret_cast<plat::SocketAddress*>(&peer), &length);
  ASSERT_NE(server, plat::INVALID_SOCKET);
  EXPECT_EQ(length, static_cast<int>(sizeof(plat::SocketAddressIn6)));
  EXPECT_EQ(peer.family, plat::kWsAfInet6);
  EXPECT_EQ(std::vector<std::uint8_t>(peer.address, peer.address + 16),
            std::vector<std::uint8_t>(loopback.address, loopback.address + 16));
  EXPECT_EQ(plat::ntohs(peer.port), plat::ntohs(clientName.port));
  EXPECT_NE(peer.port, 0);

  ASSERT_EQ(plat::send(client, "v6", 2, 0), 2);
  char buffer[2] = {};
  EXPECT_EQ(plat::recv(server, buffer, 2, 0), 2);
  EXPECT_EQ(std::string(buffer, 2), "v6");
  EXPECT_EQ(plat::closesocket(server), 0);
  EXPECT_EQ(plat::closesocket(client), 0);
  EXPECT_EQ(plat::closesocket(listener), 0);
}

TEST_F(WinsockNotify, ARefusedConnectReportsItsErrorAndNothingElse) {
  int port = 0;
  const plat::SOCKET listener = Listener(&port);
  ASSERT_EQ(plat::closesocket(listener), 0);
  const plat::SOCKET client = Connect(port);
  std::vector<Note> notes;
  for (int i = 0; i < 100 && notes.empty(); ++i) notes = Poll();
  EXPECT_EQ(notes, (std::vector<Note>{{client, plat::FD_CONNECT, plat::WSAECONNREFUSED}}));
  EXPECT_TRUE(Poll().empty());
  EXPECT_EQ(plat::closesocket(client), 0);
}

}  // namespace
