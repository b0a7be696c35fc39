// Two network handles of one process talking over 127.0.0.1: accepting,
// messages of every size the framing must carry, many messages per pump,
// the peer closing, and the network end with connections still open.
#include <algorithm>
#include <cstring>

#include "network/network_log_text.h"
#include "network_test_support.h"

namespace qz::testing {
namespace {

using NetworkLoopback = NetworkTest;

TEST_F(NetworkLoopback, AcceptedConnectionTakesTheFirstFreeSlotWithThePeerAddress) {
  const auto [client, server] = ConnectPair();
  EXPECT_EQ(NetworkHandleAt(kNetworkListenSlot) & kHandleSlotMask, 8192);
  EXPECT_EQ(server & kHandleKindMask, kNetworkHandle);
  const NetworkRecord* accepted = Record(server);
  ASSERT_NE(accepted, nullptr);
  EXPECT_EQ(accepted->valid, 1);
  EXPECT_EQ(accepted->connected, 1);
  EXPECT_EQ(accepted->messageMode, 1);
  EXPECT_EQ(accepted->autoClose, 1);
  EXPECT_EQ(accepted->closeMark, 0);
  EXPECT_EQ(accepted->newConnection, 0);  // taken by GetNewAcceptNetWork
  EXPECT_EQ(GetNewAcceptNetWork(), -1);

  // The client took slot 0 before the accept ran, so the server has slot 1.
  EXPECT_EQ(client & kHandleSlotMask, 0);
  EXPECT_EQ(server & kHandleSlotMask, 1);
  NetworkPeerAddress peer{};
  ASSERT_EQ(GetNetWorkIP(server, &peer), 0);
  EXPECT_EQ(peer.ipv6, 0);
  EXPECT_EQ(std::memcmp(peer.ipv4, "\x7f\x00\x00\x01", 4), 0);
  EXPECT_GT(peer.port, 0);
  ASSERT_EQ(GetNetWorkIP(client, &peer), 0);  // connected, not accepted: no address
  EXPECT_EQ(peer.port, 0);
}

TEST_F(NetworkLoopback, AnIpv6ListenerHandsOverThePeersAddressAndPort) {
  // The library listens over IPv4 only; an IPv6 listener goes into the
  // listening slot by hand, as a start side offering IPv6 would put it.
  const plat::SOCKET socket = Net().socket(plat::kWsAfInet6, plat::kWsSockStream, plat::kWsIpProtoTcp);
  if (socket == plat::INVALID_SOCKET) GTEST_SKIP() << "this machine has no IPv6";
  plat::SocketAddressIn6 address{};
  address.family = plat::kWsAfInet6;
  address.address[15] = 1;  // ::1
  const int listener = AddNetworkRecord(kNetworkListenSlot, socket, 0);
  ASSERT_NE(listener, -1);
  Record(listener)->ipv6 = 1;
  if (Net().bind(socket, reinterpret_cast<plat::SocketAddress*>(&address), sizeof(address)) != 0) {
    GTEST_SKIP() << "::1 is not available";
  }
  ASSERT_EQ(Net().listen(socket, plat::kWsSomaxconn), 0);
  ASSERT_EQ(Net().WSAAsyncSelect(socket, GetNetworkState().window, kSocketNotifyMessage, plat::FD_ACCEPT), 0);
  int length = sizeof(address);
  ASSERT_EQ(Net().getsockname(socket, reinterpret_cast<plat::SocketAddress*>(&address), &length), 0);

  const plat::SOCKET client = Net().socket(plat::kWsAfInet6, plat::kWsSockStream, plat::kWsIpProtoTcp);
  ASSERT_EQ(Net().connect(client, reinterpret_cast<plat::SocketAddress*>(&address), sizeof(address)), 0);
  plat::SocketAddressIn6 clientName{};
  length = sizeof(clientName);
  ASSERT_EQ(Net().getsockname(client, reinterpret_cast<plat::SocketAddress*>(&clientName), &length), 0);
  int server = -1;
  ASSERT_TRUE(PumpUntil([&] { return (server = GetNewAcceptNetWork()) != -1; }));

  NetworkPeerAddress peer{};
  ASSERT_EQ(GetNetWorkIP(server, &peer), 0);
  EXPECT_EQ(peer.ipv6, 1);
  EXPECT_EQ(std::memcmp(peer.ipv6Words, address.address, 16), 0);
  EXPECT_EQ(peer.port, Net().ntohs(clientName.port));
  EXPECT_GT(peer.port, 0);
  Net().closesocket(client);
}

TEST_F(NetworkLoopback, OptionsApplyToConnectionsMadeAfterThem) {
  SetNetWorkNoAutoClose(1);
  const auto [client, server] = ConnectPair();
  EXPECT_EQ(Record(server)->autoClose, 0);
  EXPECT_EQ(Record(client)->autoClose, 0);
  SetNetWorkStreamMode(1);
  const auto [streamClient, streamServer] = ConnectPair();
  EXPECT_EQ(Record(streamServer)->messageMode, 0);

  // Streams carry the bytes as they are, with no length word.
  ASSERT_EQ(NetWorkSend(streamClient, "abc", 3), 3);
  std::vector<std::uint8_t> got = ReceiveBytes(streamServer, 3);
  EXPECT_EQ(std::string(got.begin(), got.end()), "abc");
  EXPECT_EQ(Record(streamServer)->receiveRing.stored, 0u);
}

TEST_F(NetworkLoopback, MessagesOfEverySizeArriveWholeAndInOrder) {
  const auto [client, server] = ConnectPair();
  // Zero bytes queue nothing and send nothing.
  EXPECT_EQ(NetWorkSend(client, nullptr, 0), 0);
  EXPECT_EQ(GetNetWorkSendDataLength(client), 0);

  for (const std::size_t size : {std::size_t{1}, std::size_t{4096}, std::size_t{8} << 20}) {
    SCOPED_TRACE(size);
    const std::vector<std::uint8_t> sent = Pattern(size, static_cast<std::uint32_t>(size));
    ASSERT_EQ(NetWorkSend(client, sent.data(), static_cast<std::int32_t>(size)), 0);
    EXPECT_EQ(ReceiveBytes(server, size), sent);
    EXPECT_EQ(GetNetWorkDataLength(server), 0);
    EXPECT_EQ(GetNetWorkSendDataLength(client), 0);
  }
  // And back the other way.
  const std::vector<std::uint8_t> reply = Pattern(5000, 9);
  ASSERT_EQ(NetWorkSend(server, reply.data(), 5000), 0);
  EXPECT_EQ(ReceiveBytes(client, 5000), reply);
}

TEST_F(NetworkLoopback, ShortAndLongMessagesWrittenTogetherArriveWholeAndInOrder) {
  // Written past the library as one stream: the receiving side reads short
  // messages ahead in blocks and long bodies straight into the ring, so a
  // block ends inside a long body and the rest of it comes the other way.
  const auto [client, server] = ConnectPair();
  std::vector<std::uint8_t> stream;
  std::vector<std::uint8_t> bodies;
  auto add = [&](std::size_t size) {
    const std::vector<std::uint8_t> body = Pattern(size, static_cast<std::uint32_t>(stream.size()));
    for (int shift = 0; shift < 32; shift += 8) stream.push_back(static_cast<std::uint8_t>(size >> shift));
    stream.insert(stream.end(), body.begin(), body.end());
    bodies.insert(bodies.end(), body.begin(), body.end());
  };
  for (std::size_t i = 0; i < 300; ++i) add(i * 37 % 500);
  add((std::size_t{1} << 20) + 3);
  for (std::size_t i = 0; i < 300; ++i) add(i * 53 % 300);
  add(200000);
  add(1);
  const plat::SOCKET socket = Record(client)->socket;
  std::size_t written = 0;
  ASSERT_TRUE(PumpUntil([&] {
    const int sent = Net().send(socket, reinterpret_cast<const char*>(stream.data() + written),
                                static_cast<int>(stream.size() - written), 0);
    if (sent > 0) written += static_cast<std::size_t>(sent);
    return written == stream.size();
  }));
  EXPECT_EQ(ReceiveBytes(server, bodies.size()), bodies);
}

TEST_F(NetworkLoopback, ManyMessagesAreTakenInOnePumpAndOnlyWholeOnesAreOffered) {
  const auto [client, server] = ConnectPair();
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 200; ++i) {
    const std::vector<std::uint8_t> body = Pattern(100 + i, static_cast<std::uint32_t>(i));
    ASSERT_EQ(NetWorkSend(client, body.data(), static_cast<std::int32_t>(body.size())), 0);
    expected.insert(expected.end(), body.begin(), body.end());
  }
  EXPECT_EQ(GetNetWorkSendDataLength(client), 0);
  // One pass of the pump reads every message that has arrived.
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) > 0; }));
  PumpNetworkMessages(1);
  EXPECT_EQ(static_cast<std::size_t>(GetNetWorkDataLength(server)), expected.size());
  EXPECT_EQ(ReceiveBytes(server, expected.size()), expected);
}

TEST_F(NetworkLoopback, EventsRefusedInsideAnotherConnectionsReceiveAreRunAfterIt) {
  // Each receive pumps, and its pump hands it the other connections' reads,
  // which must wait for it to end instead of being dropped.
  std::vector<std::pair<int, int>> pairs;
  for (int i = 0; i < 5; ++i) pairs.push_back(ConnectPair());
  // Written past the library, so that every message waits for the same pump.
  std::vector<std::uint8_t> framed = {100, 0, 0, 0};
  const std::vector<std::uint8_t> body = Pattern(100, 12);
  framed.insert(framed.end(), body.begin(), body.end());
  for (const auto& [client, server] : pairs) {
    ASSERT_EQ(Net().send(Record(client)->socket, reinterpret_cast<const char*>(framed.data()), 104, 0), 104);
  }
  EXPECT_TRUE(PumpUntil([&] {
    return std::all_of(pairs.begin(), pairs.end(), [](auto pair) { return GetNetWorkDataLength(pair.second) == 100; });
  }));
  PumpNetworkMessages(1);
  EXPECT_EQ(GetNetworkState().eventDeferred, 0);
}

TEST_F(NetworkLoopback, TheIdleWaitWakesForNewBytesButNotForBytesLeftUnread) {
  const auto [client, server] = ConnectPair();
  while (WaitNetworkEvents(0) != 0) PumpNetworkMessages(1);
  EXPECT_EQ(WaitNetworkEvents(20), 0);
  // Written past the library: three bytes of a length word, which the
  // receive leaves in the socket until the fourth comes.
  const plat::SOCKET socket = Record(client)->socket;
  ASSERT_EQ(Net().send(socket, "\x04\x00\x00", 3, 0), 3);
  EXPECT_EQ(WaitNetworkEvents(60000), 1);
  PumpNetworkMessages(1);
  EXPECT_EQ(Record(server)->incomingLeft, 0u);
  EXPECT_EQ(WaitNetworkEvents(20), 0);
  ASSERT_EQ(Net().send(socket, "\x00ping", 5, 0), 5);
  EXPECT_EQ(WaitNetworkEvents(60000), 1);
  EXPECT_EQ(ReceiveBytes(server, 4), (std::vector<std::uint8_t>{'p', 'i', 'n', 'g'}));
}

TEST_F(NetworkLoopback, ThePeerClosingMakesTheConnectionLostAndThePumpClosesItOnceMarked) {
  const auto [client, server] = ConnectPair();
  const std::vector<std::uint8_t> last = Pattern(300, 3);
  ASSERT_EQ(NetWorkSend(client, last.data(), 300), 0);
  ASSERT_EQ(CloseNetWork(client), 0);
  EXPECT_EQ(GetNetWorkAcceptState(client), -1);

  ASSERT_TRUE(PumpUntil([&] { return Record(server)->connected == 0; }));
  // Lost, but kept until the program has been told: its last bytes wait.
  for (int i = 0; i < 3; ++i) PumpNetworkMessages(1);
  ASSERT_NE(Record(server), nullptr);
  EXPECT_EQ(GetNetWorkAcceptState(server), 0);
  EXPECT_EQ(ReceiveBytes(server, 300), last);
  EXPECT_EQ(NetWorkSend(server, "x", 1), -1);
  EXPECT_TRUE(Logged(text::kNetworkSendLost));

  EXPECT_EQ(GetLostNetWork(), server);
  EXPECT_EQ(GetLostNetWork(), -1);  // reported once
  PumpNetworkMessages(1);
  EXPECT_EQ(Record(server), nullptr);
}

TEST_F(NetworkLoopback, APeerClosingMidMessageDoesNotHoldTheCloseForTheRestOfIt) {
  const auto [client, server] = ConnectPair();
  // Half of a 1000-byte message, then the client goes.
  NetworkRecord* sender = Record(client);
  const std::uint8_t word[4] = {0xE8, 0x03, 0, 0};
  ASSERT_EQ(Net().send(sender->socket, reinterpret_cast<const char*>(word), 4, 0), 4);
  const std::vector<std::uint8_t> half = Pattern(500, 5);
  ASSERT_EQ(Net().send(sender->socket, reinterpret_cast<const char*>(half.data()), 500, 0), 500);
  ASSERT_EQ(CloseNetWork(client), 0);
  ASSERT_TRUE(PumpUntil([&] { return Record(server)->peerGone == 1; }));
  EXPECT_EQ(Record(server)->incomingLeft, 500u);
  EXPECT_EQ(GetNetWorkDataLength(server), 0);

  // The closing wait sees that nothing more can come and ends at once: far
  // fewer than the second's worth of reads of a clock that moves 1 ms a read.
  static int clockReads = 0;
  NetworkPlatform counted = StandInNetworkPlatform();
  counted.timeGetTime = [] { return static_cast<std::uint32_t>(++clockReads); };
  SetNetworkPlatformForTest(&counted);
  EXPECT_EQ(CloseNetWork(server), 0);
  SetNetworkPlatformForTest(nullptr);
  EXPECT_LT(clockReads, 100);
}

TEST_F(NetworkLoopback, TheEndClosesEveryHandleAndLaterCallsFindNothingStarted) {
  const auto [client, server] = ConnectPair();
  const std::vector<std::uint8_t> body = Pattern(1 << 20, 1);
  ASSERT_EQ(NetWorkSend(client, body.data(), 1 << 20), 0);
  EXPECT_EQ(EndNetwork(), 0);
  EXPECT_TRUE(Logged(text::kNetworkEndBegin));
  EXPECT_TRUE(Logged(text::kNetworkEndDone));
  EXPECT_EQ(GetNetworkState().started, 0);
  EXPECT_EQ(GetNetworkState().window, nullptr);
  for (int slot = 0; slot < kNetworkSlots; ++slot) ASSERT_EQ(GetNetworkState().records[slot], nullptr);
  EXPECT_EQ(NetWorkSend(server, "x", 1), -1);
  EXPECT_EQ(GetNetWorkAcceptState(client), -1);
  EXPECT_EQ(PumpNetworkMessages(1), 0);
  EXPECT_EQ(EndNetwork(), 0);
  // And it starts again.
  ASSERT_EQ(StartNetwork(), 0);
  const auto [again, accepted] = ConnectPair();
  EXPECT_NE(again, -1);
  EXPECT_NE(accepted, -1);
}

TEST_F(NetworkLoopback, AConnectionRefusedIsLostWithoutEverConnecting) {
  const int listener = ListenNetWork("127.0.0.1", 0);
  ASSERT_EQ(listener, NetworkHandleAt(kNetworkListenSlot));
  const int port = GetListenNetWorkPort();
  ASSERT_EQ(StopListenNetWork(), 0);
  EXPECT_EQ(GetListenNetWorkPort(), -1);
  const int client = ConnectNetWork("127.0.0.1", port);
  ASSERT_NE(client, -1);
  ASSERT_TRUE(PumpUntil([&] { return Record(client)->peerGone == 1; }));
  EXPECT_EQ(Record(client)->connected, 0);
  EXPECT_EQ(GetLostNetWork(), client);
  PumpNetworkMessages(1);
  EXPECT_EQ(GetNetWorkAcceptState(client), -1);
}

TEST_F(NetworkLoopback, BadArgumentsAreRefused) {
  EXPECT_EQ(ListenNetWork("127.0.0.1", 70000), -1);
  EXPECT_EQ(ConnectNetWork(nullptr, 80), -1);
  const auto [client, server] = ConnectPair();
  EXPECT_EQ(ListenNetWork("127.0.0.1", 0), -1);
  EXPECT_TRUE(Logged(text::kNetworkAlreadyListening));
  EXPECT_EQ(NetWorkSend(client, nullptr, 4), -1);
  EXPECT_EQ(NetWorkSend(client, "x", -1), -1);
  EXPECT_EQ(NetWorkRecv(server, nullptr, 4), -1);
  EXPECT_EQ(NetWorkSend(NetworkHandleAt(kNetworkListenSlot), "x", 1), -1);
  EXPECT_EQ(NetWorkSend(client ^ 0x10000, "x", 1), -1);  // wrong check number
}

}  // namespace
}  // namespace qz::testing
