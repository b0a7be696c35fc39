// Socket events, accepting, closing and the network end over a scripted
// WinSock: what each event does to a record, the accept's refusals and their
// log lines, and closing waits bounded on an injected clock, across its wrap.
#include <cstdio>

#include "fake_wire.h"
#include "network/network_log_text.h"

namespace qz::testing {
namespace {

plat::LPARAM Event(std::int32_t event, int error = 0) { return plat::MakeLParam(event, error); }

// The network log line as written: Shift-JIS text and the WinSock error.
std::string NetworkLogLine(const char* text, int error) {
  char line[512];
  std::snprintf(line, sizeof(line), text::kNetworkLogFormat, text, error);
  return line;
}

TEST(NetworkNotStarted, EverythingReturnsAtOnceAndUnknownSocketsAreLogged) {
  ScratchLog log;
  EXPECT_EQ(OnSocketEvent(1234, Event(plat::FD_READ)), 0);
  EXPECT_TRUE(log.Contains(text::kNetworkUnknownSocket));
  EXPECT_EQ(PumpNetworkMessages(1), 0);
  EXPECT_EQ(EndNetwork(), 0);
  EXPECT_EQ(AcceptNetWork(), -1);
  EXPECT_EQ(RecvSocket(0x30000000), -1);
  EXPECT_EQ(SendSocket(0x30000000), -1);
  EXPECT_EQ(FlushAndCloseNetworkHandle(0x30000000), -1);
  EXPECT_EQ(CloseUdpNetworkHandle(0x30000000), -1);
  EXPECT_EQ(ListenNetWork("127.0.0.1", 0), -1);
  EXPECT_EQ(ConnectNetWork("127.0.0.1", 1), -1);
  EXPECT_EQ(GetNewAcceptNetWork(), -1);
  EXPECT_EQ(GetLostNetWork(), -1);
  EXPECT_FALSE(log.Contains(text::kNetworkEndBegin));
}

TEST(NetworkNotStarted, AMissingWinsockModuleFailsTheStart) {
  ScratchLog log;
  plat::SetModuleAbsentForTest("ws2_32.dll", true);
  EXPECT_EQ(StartNetwork(), -1);
  plat::SetModuleAbsentForTest("ws2_32.dll", false);
  EXPECT_TRUE(log.Contains(text::kNetworkModuleMissing));
  EXPECT_EQ(GetNetworkState().started, 0);
}

class NetworkEvents : public FakeWireTest {
 protected:
  int AddConnection(int slot, plat::SOCKET socket) {
    const int handle = AddNetworkRecord(slot, socket, 0);
    GetNetworkRecord(handle)->connected = 1;
    return handle;
  }
};

TEST_F(NetworkEvents, EventsChangeTheirRecordByItsSocket) {
  const int handle = AddNetworkRecord(3, 900, 0);
  NetworkRecord* record = GetNetworkRecord(handle);
  EXPECT_EQ(OnSocketEvent(901, Event(plat::FD_READ)), 0);
  EXPECT_TRUE(Logged(text::kNetworkUnknownSocket));

  // A failed connect leaves the record unconnected (and lost); a good one connects.
  EXPECT_EQ(OnSocketEvent(900, Event(plat::FD_CONNECT, plat::WSAECONNREFUSED)), 1);
  EXPECT_EQ(record->connected, 0);
  EXPECT_EQ(record->peerGone, 1);
  record->peerGone = 0;
  EXPECT_EQ(OnSocketEvent(900, Event(plat::FD_CONNECT)), 1);
  EXPECT_EQ(record->connected, 1);

  record->closeMark = 1;
  EXPECT_EQ(OnSocketEvent(900, Event(plat::FD_CLOSE)), 1);
  EXPECT_EQ(record->connected, 0);
  EXPECT_EQ(record->closeMark, 0);
  EXPECT_EQ(OnSocketEvent(900, Event(plat::FD_OOB)), 1);

  // UDP sockets only raise their ready flags.
  const int udp = AddNetworkRecord(4, 902, 1);
  EXPECT_EQ(OnSocketEvent(902, Event(plat::FD_READ)), 1);
  EXPECT_EQ(OnSocketEvent(902, Event(plat::FD_WRITE)), 1);
  EXPECT_EQ(GetNetworkRecord(udp)->udpReadReady, 1);
  EXPECT_EQ(GetNetworkRecord(udp)->udpWriteReady, 1);
  EXPECT_EQ(FlushAndCloseNetworkHandle(udp), -1);
  EXPECT_EQ(CloseUdpNetworkHandle(handle), -1);
  EXPECT_EQ(CloseUdpNetworkHandle(udp), 0);
  EXPECT_EQ(GetNetworkRecord(udp), nullptr);

  // A late event of a closed socket reaches nobody, even when its slot has
  // gone to another socket.
  const int reused = AddConnection(4, 903);
  EXPECT_EQ(OnSocketEvent(902, Event(plat::FD_CLOSE)), 0);
  EXPECT_EQ(GetNetworkRecord(reused)->connected, 1);
  EXPECT_EQ(OnSocketEvent(903, Event(plat::FD_CLOSE)), 1);
  EXPECT_EQ(GetNetworkRecord(reused)->connected, 0);
}

TEST_F(NetworkEvents, TheNotificationWindowHandsSocketMessagesToTheirRecords) {
  const int handle = AddConnection(0, 910);
  ASSERT_TRUE(plat::PostMessageA(GetNetworkState().window, kSocketNotifyMessage, 910, Event(plat::FD_CLOSE)));
  PumpNetworkMessages(0);
  EXPECT_EQ(GetNetworkRecord(handle)->connected, 0);
}

TEST_F(NetworkEvents, TheLostAreClosedOnceMarkedAndRecordsInErrorAtOnce) {
  const int lost = AddConnection(0, 920);
  const int keptOpen = AddConnection(1, 921);
  const int failed = AddConnection(2, 922);
  GetNetworkRecord(keptOpen)->autoClose = 0;
  OnSocketEvent(920, Event(plat::FD_CLOSE));
  OnSocketEvent(921, Event(plat::FD_CLOSE));
  GetNetworkRecord(failed)->error = 1;

  PumpNetworkMessages(0);
  EXPECT_NE(GetNetworkRecord(failed), nullptr);  // only the pump with 1 closes
  PumpNetworkMessages(1);
  EXPECT_EQ(GetNetworkRecord(failed), nullptr);
  ASSERT_NE(GetNetworkRecord(lost), nullptr);  // lost, but not marked yet

  EXPECT_EQ(GetLostNetWork(), keptOpen);  // newest first
  EXPECT_EQ(GetLostNetWork(), lost);
  PumpNetworkMessages(1);
  EXPECT_EQ(GetNetworkRecord(lost), nullptr);
  EXPECT_NE(GetNetworkRecord(keptOpen), nullptr);  // auto-close off
  EXPECT_EQ(CloseNetWork(keptOpen), 0);
}

TEST_F(NetworkEvents, AcceptTakesTheFirstFreeSlotAndRefusesWhenNoneIsLeft) {
  const int listener = AddNetworkRecord(kNetworkListenSlot, 930, 0);
  EXPECT_EQ(listener & kHandleSlotMask, 8192);
  AddConnection(0, 931);
  AddConnection(2, 932);
  wire_.acceptResult = 933;
  EXPECT_EQ(OnSocketEvent(930, Event(plat::FD_ACCEPT)), 1);
  const int accepted = GetNewAcceptNetWork();
  ASSERT_EQ(accepted & kHandleSlotMask, 1);
  const NetworkRecord* record = GetNetworkRecord(accepted);
  EXPECT_EQ(record->socket, 933u);
  EXPECT_EQ(record->connected, 1);
  EXPECT_EQ(record->valid, 1);
  NetworkPeerAddress peer{};
  ASSERT_EQ(GetNetWorkIP(accepted, &peer), 0);
  EXPECT_EQ(peer.port, 12345);
  EXPECT_EQ(peer.ipv4[0], 127);
  EXPECT_EQ(peer.ipv4[3], 1);

  for (int slot = 0; slot < kNetworkConnectionSlots; ++slot) {
    if (GetNetworkState().records[slot] == nullptr) AddConnection(slot, 10000 + static_cast<plat::SOCKET>(slot));
  }
  EXPECT_EQ(AcceptNetWork(), -1);
  EXPECT_TRUE(Logged(text::kNetworkAcceptNoFreeSlot));
  EXPECT_EQ(GetNetworkRecord(listener)->socket, 930u);  // slot 8192 is never a connection
}

TEST_F(NetworkEvents, AFailedAcceptOrSelectLeavesNothingBehind) {
  AddNetworkRecord(kNetworkListenSlot, 940, 0);
  wire_.acceptError = plat::WSAECONNRESET;
  EXPECT_EQ(AcceptNetWork(), -1);
  EXPECT_TRUE(Logged(NetworkLogLine(text::kNetworkAcceptFailed, 10054).c_str()));
  wire_.acceptError = 0;
  wire_.selectFails = true;
  EXPECT_EQ(AcceptNetWork(), -1);
  EXPECT_TRUE(Logged(NetworkLogLine(text::kNetworkAcceptSelectFailed, 10038).c_str()));
  for (int slot = 0; slot < kNetworkConnectionSlots; ++slot) ASSERT_EQ(GetNetworkState().records[slot], nullptr);
  EXPECT_EQ(GetNetworkState().listHead.next->next->next, nullptr);  // only the listener is listed
}

TEST_F(NetworkEvents, TheLogFunctionAddsTheWinsockError) {
  wire_.lastError = 10054;
  EXPECT_EQ(LogNetworkFormat("%s", text::kNetworkAcceptFailed), -1);
  EXPECT_TRUE(Logged((NetworkLogLine(text::kNetworkAcceptFailed, 10054) + "\n").c_str()));
}

// Half a message in and bytes to send, on a peer that never moves: one
// second for each, then the close. The clock may wrap on the way.
TEST_F(NetworkEvents, ClosingWaitsASecondForEachDirectionThenCloses) {
  for (std::uint32_t start : {0u, 0x7FFFFF00u, 0xFFFFFF00u}) {
    SCOPED_TRACE(start);
    const int handle = AddConnection(0, 950);
    NetworkRecord* record = GetNetworkRecord(handle);
    wire_.Reset();
    wire_.Arrive({100, 0, 0, 0, 1, 2, 3});
    ASSERT_EQ(RecvSocket(handle), 0);
    ASSERT_EQ(record->incomingLeft, 97u);
    wire_.sendBlocked = true;
    ASSERT_EQ(NetWorkSend(handle, "abc", 3), 0);
    wire_.clock = start;
    EXPECT_EQ(FlushAndCloseNetworkHandle(handle), 0);
    EXPECT_EQ(GetNetworkRecord(handle), nullptr);
    EXPECT_GE(wire_.clock - start, 2000u);
    EXPECT_LT(wire_.clock - start, 2100u);
  }
}

TEST_F(NetworkEvents, TheEndFlushesManyStalledHandlesWithinOneBudget) {
  wire_.sendBlocked = true;
  for (int slot = 0; slot < 50; ++slot) {
    const int handle = AddConnection(slot, 960 + static_cast<plat::SOCKET>(slot));
    ASSERT_EQ(NetWorkSend(handle, "abc", 3), 0);
  }
  AddNetworkRecord(60, 1060, 1);
  AddNetworkRecord(kNetworkListenSlot, 1061, 0);
  EXPECT_EQ(EndNetwork(), 0);
  // Fifty handles at a second each would be 50 s; the whole end takes its
  // 2 s and a few clock reads per handle once the budget is spent.
  EXPECT_GE(wire_.clock, 2000u);
  EXPECT_LT(wire_.clock, 2500u);
  EXPECT_EQ(GetNetworkState().started, 0);
  EXPECT_TRUE(Logged(text::kNetworkEndDone));
}

}  // namespace
}  // namespace qz::testing
