// The framing over a scripted connection: the bytes on the wire, messages
// reassembled from any split, partial length words both ways, bodies that
// wrap round the rings, hostile lengths, floods and the guards.
#include <cstdio>

#include "fake_wire.h"
#include "network/network_log_text.h"

namespace qz::testing {
namespace {

std::vector<std::uint8_t> Framed(const std::vector<std::uint8_t>& body) {
  const auto n = static_cast<std::uint32_t>(body.size());
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                     static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

// One connected record over the scripted wire.
class NetworkFraming : public FakeWireTest {
 protected:
  void SetUp() override {
    FakeWireTest::SetUp();
    handle_ = AddNetworkRecord(0, 555, 0);
    ASSERT_NE(handle_, -1);
    record_ = GetNetworkRecord(handle_);
    record_->connected = 1;
  }
  std::vector<std::uint8_t> Take(std::size_t n) {
    std::vector<std::uint8_t> got(n);
    EXPECT_EQ(NetWorkRecv(handle_, got.data(), static_cast<std::int32_t>(n)), static_cast<int>(n));
    return got;
  }

  int handle_ = -1;
  NetworkRecord* record_ = nullptr;
};

TEST_F(NetworkFraming, SendingPutsALittleEndianLengthBeforeTheBody) {
  const std::vector<std::uint8_t> body = Pattern(100, 1);
  ASSERT_EQ(NetWorkSend(handle_, body.data(), 100), 0);
  EXPECT_EQ(wire_.sent, Framed(body));
  EXPECT_EQ(wire_.sent[0], 0x64);
  // In one write: a body sent apart from its length word would wait for the
  // peer's acknowledgement of the word.
  EXPECT_EQ(wire_.sendCalls, 1);
  EXPECT_EQ(record_->sendRing.stored, 0u);

  // A body over the limit goes out as several messages, none over it.
  SetNetWorkMessageLimit(25);
  wire_.sent.clear();
  const std::vector<std::uint8_t> longBody = Pattern(45, 2);
  wire_.sendBlocked = true;
  ASSERT_EQ(NetWorkSend(handle_, longBody.data(), 45), 0);
  wire_.sendBlocked = false;
  SendSocket(handle_);
  std::vector<std::uint8_t> expected = Framed({longBody.begin(), longBody.begin() + 25});
  const std::vector<std::uint8_t> rest = Framed({longBody.begin() + 25, longBody.end()});
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(wire_.sent, expected);
}

TEST_F(NetworkFraming, AMessageSplitAnywhereCompletesOnlyWhenWhole) {
  const std::vector<std::uint8_t> body = Pattern(10, 3);
  wire_.Arrive(Framed(body), 4 + 6);
  EXPECT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->completedBytes, 0u);
  EXPECT_EQ(record_->incomingLeft, 4u);
  wire_.ArriveAll();
  EXPECT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->completedBytes, 10u);
  EXPECT_EQ(Take(10), body);

  // Back to back messages are all read in one pass.
  std::vector<std::uint8_t> all;
  std::vector<std::uint8_t> bodies;
  for (std::size_t size : {5u, 0u, 7u}) {
    const auto part = Pattern(size, static_cast<std::uint32_t>(size));
    const auto framed = Framed(part);
    all.insert(all.end(), framed.begin(), framed.end());
    bodies.insert(bodies.end(), part.begin(), part.end());
  }
  wire_.Arrive(all);
  EXPECT_EQ(RecvSocket(handle_), 0);
  // A zero-length message completes nothing and ends the pass.
  EXPECT_EQ(record_->completedBytes, 5u);
  EXPECT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->completedBytes, 12u);
  EXPECT_EQ(Take(12), bodies);
}

TEST_F(NetworkFraming, BodiesArrivingAByteAtATimeLoseNoByte) {
  for (std::size_t size : {1u, 3u}) {
    SCOPED_TRACE(size);
    wire_.Reset();
    const std::vector<std::uint8_t> body = Pattern(size, 9);
    wire_.Arrive(Framed(body));
    wire_.recvCaps = {4, 1, 1, 1};
    for (std::size_t call = 0; call < size; ++call) {
      EXPECT_EQ(record_->completedBytes, 0u);
      ASSERT_EQ(RecvSocket(handle_), 0);
    }
    EXPECT_EQ(record_->completedBytes, size);
    EXPECT_EQ(Take(size), body);
  }
}

TEST_F(NetworkFraming, ALongRunOfMessagesPumpsEvery64KilobytesItTakes) {
  // Four 32 KB messages in one pass: a pump as the second and the fourth
  // bring the count to 64 KB, after the one every receive starts with.
  SetNetWorkMessageLimit(65536);
  for (std::uint32_t i = 0; i < 4; ++i) wire_.Arrive(Framed(Pattern(32768, i)));
  ASSERT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->completedBytes, 131072u);
  EXPECT_EQ(wire_.notificationPosts, 3);
}

TEST_F(NetworkFraming, APartLengthWordStaysInTheSocketUntilItIsWhole) {
  const std::vector<std::uint8_t> body = Pattern(300, 4);
  for (std::size_t have : {1u, 2u, 3u}) {
    wire_.Reset();
    wire_.Arrive(Framed(body), have);
    EXPECT_EQ(RecvSocket(handle_), 0);
    EXPECT_EQ(wire_.readPosition, 0u);
    EXPECT_EQ(record_->incomingLeft, 0u);
    EXPECT_EQ(record_->receiveRing.stored, 0u);
    // The next call does not take stale bytes for a length.
    EXPECT_EQ(RecvSocket(handle_), 0);
    EXPECT_EQ(record_->receiveRing.stored, 0u);
    wire_.ArriveAll();
    EXPECT_EQ(RecvSocket(handle_), 0);
    ASSERT_EQ(record_->completedBytes, 300u);
    EXPECT_EQ(Take(300), body);
  }
}

TEST_F(NetworkFraming, ABodyThatWrapsRoundTheReceiveRingLandsInOrder) {
  wire_.Arrive(Framed(Pattern(1000, 5)));
  ASSERT_EQ(RecvSocket(handle_), 0);
  ASSERT_EQ(record_->receiveRing.capacity, 2000);  // 0 * 3 / 2 + 1000 + 1000
  Take(1000);
  // The next body starts at offset 1000 of 2000: 1000 bytes, then 500 at the start.
  const std::vector<std::uint8_t> body = Pattern(1500, 6);
  wire_.Arrive(Framed(body));
  wire_.recvCaps = {4, 1000, 200};  // the length word, then the body
  ASSERT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->receiveRing.writeOffset, 200u);
  EXPECT_EQ(record_->incomingLeft, 300u);
  ASSERT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->receiveRing.capacity, 2000);
  EXPECT_EQ(Take(1500), body);
}

TEST_F(NetworkFraming, SendsFinishAPartLengthWordAndCarryOneByteBodies) {
  const std::vector<std::uint8_t> body = Pattern(50, 7), framed = Framed(body);
  for (int cap : {1, 3}) {
    SCOPED_TRACE(cap);
    wire_.Reset();
    wire_.sendCaps = {cap};
    ASSERT_EQ(NetWorkSend(handle_, body.data(), 50), 0);
    EXPECT_EQ(wire_.sent, std::vector<std::uint8_t>(framed.begin(), framed.begin() + cap));
    EXPECT_EQ(record_->lengthWordLeft, 4 - cap);
    // Bytes queued meanwhile are not part of this message.
    ASSERT_EQ(NetWorkSend(handle_, "xy", 2), 0);
    EXPECT_EQ(SendSocket(handle_), 0);
    std::vector<std::uint8_t> expected = framed;
    for (std::uint8_t byte : Framed({'x', 'y'})) expected.push_back(byte);
    EXPECT_EQ(wire_.sent, expected);
  }
  // A body of one byte.
  wire_.sent.clear();
  ASSERT_EQ(NetWorkSend(handle_, "z", 1), 0);
  EXPECT_EQ(wire_.sent, Framed({'z'}));

  // Messages of one byte each go out in one call, a pump after each.
  const std::int32_t limit = GetNetworkMessageLimit();
  SetNetWorkMessageLimit(1);
  wire_.sent.clear();
  wire_.sendBlocked = true;
  ASSERT_EQ(NetWorkSend(handle_, "ab", 2), 0);  // two limits, the most that waits
  wire_.sendBlocked = false;
  const int posts = wire_.notificationPosts;
  EXPECT_EQ(SendSocket(handle_), 0);
  EXPECT_EQ(wire_.sent, (std::vector<std::uint8_t>{1, 0, 0, 0, 'a', 1, 0, 0, 0, 'b'}));
  EXPECT_EQ(wire_.notificationPosts - posts, 3);
  SetNetWorkMessageLimit(limit);

  // A message whose length word could not start takes in what is queued
  // before it is formed again.
  wire_.sent.clear();
  wire_.sendBlocked = true;
  ASSERT_EQ(NetWorkSend(handle_, "ab", 2), 0);
  ASSERT_EQ(NetWorkSend(handle_, "cd", 2), 0);
  wire_.sendBlocked = false;
  EXPECT_EQ(SendSocket(handle_), 0);
  EXPECT_EQ(wire_.sent, Framed({'a', 'b', 'c', 'd'}));
}

TEST_F(NetworkFraming, AShortSendOnTheWrappedPartResumesFromTheRightOffset) {
  ASSERT_EQ(NetWorkSend(handle_, Pattern(1000, 8).data(), 1000), 0);
  ASSERT_EQ(record_->sendRing.capacity, 2000);
  wire_.sent.clear();
  // Blocked: 1500 bytes wait from offset 1000, wrapping round the end.
  wire_.sendBlocked = true;
  const std::vector<std::uint8_t> body = Pattern(1500, 9);
  ASSERT_EQ(NetWorkSend(handle_, body.data(), 1500), 0);
  EXPECT_EQ(record_->sendRing.readOffset, 1000u);
  EXPECT_TRUE(wire_.sent.empty());
  // One write takes the length word, the part up to the ring's end and 200 bytes past it.
  wire_.sendCaps = {4 + 1000 + 200};
  wire_.sendCalls = 0;
  EXPECT_EQ(SendSocket(handle_), 0);
  EXPECT_EQ(wire_.sendCalls, 1);
  EXPECT_EQ(record_->sendRing.readOffset, 200u);
  EXPECT_EQ(record_->outgoingLeft, 300u);
  wire_.sendBlocked = false;
  EXPECT_EQ(SendSocket(handle_), 0);
  EXPECT_EQ(wire_.sent, Framed(body));
}

TEST_F(NetworkFraming, HostileOrBrokenLengthsPutTheConnectionInErrorAndThePumpClosesIt) {
  for (std::uint32_t length : {0xFFFFFFFFu, 0x80000000u, 17u}) {
    SCOPED_TRACE(length);
    SetNetWorkMessageLimit(16);
    if (GetNetworkRecord(handle_) == nullptr) {
      handle_ = AddNetworkRecord(0, 555, 0);
      record_ = GetNetworkRecord(handle_);
    }
    wire_.Reset();
    wire_.Arrive({static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                  static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24), 1, 2, 3});
    EXPECT_EQ(RecvSocket(handle_), -1);
    EXPECT_EQ(record_->error, 1);
    char line[256];
    std::snprintf(line, sizeof line, text::kNetworkRecvTooLong, length, 16);
    EXPECT_TRUE(Logged(line));
    EXPECT_EQ(record_->receiveRing.capacity, 0);
    EXPECT_EQ(RecvSocket(handle_), -1);
    EXPECT_TRUE(Logged(text::kNetworkRecvInError));
    PumpNetworkMessages(1);
    EXPECT_EQ(GetNetworkRecord(handle_), nullptr);
  }
  // Exactly the limit is a message.
  handle_ = AddNetworkRecord(0, 555, 0);
  record_ = GetNetworkRecord(handle_);
  wire_.Reset();
  wire_.Arrive(Framed(Pattern(16, 1)));
  EXPECT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->completedBytes, 16u);

  // A length word the peek saw whole but the read gets in part: what
  // follows is out of step.
  wire_.Arrive(Framed(Pattern(8, 1)));
  wire_.recvCaps = {2};
  EXPECT_EQ(RecvSocket(handle_), -1);
  EXPECT_EQ(record_->error, 1);
  EXPECT_TRUE(Logged(text::kNetworkRecvLengthLost));
}

TEST_F(NetworkFraming, AFloodWaitsInTheSocketUntilTheProgramTakesItsMessages) {
  SetNetWorkMessageLimit(16);
  const std::vector<std::uint8_t> body = Pattern(16, 2);
  for (int i = 0; i < 4; ++i) wire_.Arrive(Framed(body));
  EXPECT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->completedBytes, 32u);  // two limits, no more
  EXPECT_EQ(wire_.readPosition, 40u);
  Take(32);
  EXPECT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(record_->completedBytes, 32u);
  EXPECT_EQ(wire_.readPosition, 80u);

  // The program's own sends are held to two limits as well.
  wire_.sendBlocked = true;
  EXPECT_EQ(NetWorkSend(handle_, Pattern(32, 3).data(), 32), 0);
  EXPECT_EQ(NetWorkSend(handle_, "x", 1), -1);
  EXPECT_EQ(GetNetWorkSendDataLength(handle_), 32);
}

TEST_F(NetworkFraming, GuardsRefuseNestedCallsStreamsUdpAndBrokenRecords) {
  // A receive started while one runs (a dispatched event) does nothing.
  static int nested = 0;
  static int nestedHandle = 0;
  nestedHandle = handle_;
  wire_.onRecv = [] { return nested = RecvSocket(nestedHandle); };
  wire_.Arrive(Framed(Pattern(8, 1)));
  EXPECT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(nested, -1);
  EXPECT_EQ(record_->completedBytes, 8u);
  wire_.onRecv = nullptr;

  // Streams: both return 0 and touch neither the socket nor the rings.
  Take(8);
  record_->messageMode = 0;
  wire_.Arrive(Framed(Pattern(8, 2)));
  const std::size_t position = wire_.readPosition;
  EXPECT_EQ(RecvSocket(handle_), 0);
  EXPECT_EQ(wire_.readPosition, position);
  EXPECT_EQ(record_->receiveRing.stored, 0u);
  EXPECT_EQ(SendSocket(handle_), 0);
  record_->messageMode = 1;

  // UDP: -1 without a log line.
  const int udp = AddNetworkRecord(1, 556, 1);
  const std::string before = Log();
  EXPECT_EQ(RecvSocket(udp), -1);
  EXPECT_EQ(SendSocket(udp), -1);
  EXPECT_EQ(Log(), before);

  record_->valid = 0;
  EXPECT_EQ(RecvSocket(handle_), -1);
  EXPECT_EQ(SendSocket(handle_), -1);
  EXPECT_TRUE(Logged(text::kNetworkRecvInvalid));
  EXPECT_TRUE(Logged(text::kNetworkSendInvalid));
  record_->valid = 1;
  record_->error = 1;
  EXPECT_EQ(SendSocket(handle_), -1);
  EXPECT_TRUE(Logged(text::kNetworkSendInError));
  EXPECT_EQ(RecvSocket(-1), -1);
  EXPECT_EQ(SendSocket(handle_ + 1), -1);
}

}  // namespace
}  // namespace qz::testing
