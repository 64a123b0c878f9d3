// Camera commands over requests 0xBC and 0xBD: frames sent, replies collected
// and judged, repeats, and the command log.
#include "link_fixture.h"
#include "platform/failure_record.h"

namespace camera_test {
namespace {

using test_support::Bytes;
using Kind = DriverCall::Kind;

const Bytes kGoodReply = test_support::ReplyFrame(0x25, 0x07);
const Bytes kRepeatReply = test_support::ReplyFrame(0x25, 0x07, 2);

class CommandTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    ASSERT_TRUE(link->Open());
  }
  std::vector<std::size_t> ReplyReadLengths() const {
    std::vector<std::size_t> out;
    for (const DriverCall& c : camera.VendorCalls(0xBD)) out.push_back(c.length);
    return out;
  }
};

TEST_F(CommandTest, CommandGoesOutOnAHandleOfItsOwnAndItsReplyValueComesBack) {
  camera.AnswerEveryCommand(kGoodReply);
  EXPECT_EQ(link->SendCommand(0x25, 0x01), 7);
  EXPECT_EQ(link->LastCommandError(), camera::CameraError::None);
  EXPECT_EQ(camera.Commands(), (std::vector<Bytes>{{0xAA, 0x80, 0x00, 0x25, 0x01, 0xA6, 0xA5}}));
  EXPECT_EQ(log.Lines(), (std::vector<Bytes>{{0xAA, 0x80, 0x00, 0x25, 0x01, 0xA6, 0xA5}, kGoodReply}));

  const auto write = camera.VendorCalls(0xBC);
  ASSERT_EQ(write.size(), 1u);
  EXPECT_EQ(write[0].length, 7u);
  EXPECT_EQ(write[0].vendor->transferDirection, platform::TransferDirection::HostToDevice);
  EXPECT_NE(write[0].handle, OpenedHandle(0));
  EXPECT_NE(write[0].handle, OpenedHandle(1));
  const auto read = camera.VendorCalls(0xBD);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].length, 24u);
  EXPECT_EQ(read[0].vendor->transferDirection, platform::TransferDirection::DeviceToHost);
  // Each request's own handle is closed again.
  bool writeHandleClosed = false;
  for (const DriverCall& c : camera.Calls()) {
    if (c.kind == Kind::Close && c.handle == write[0].handle) writeHandleClosed = true;
  }
  EXPECT_TRUE(writeHandleClosed);
}

TEST_F(CommandTest, ShortAndPlainFormsAndTheirFrames) {
  camera.AnswerEveryCommand({0x55, 0x00, 0x00, 0x36, 0x04, 0x3A, 0x5A});
  EXPECT_EQ(link->SendShortCommand(0x36), 4);
  EXPECT_EQ(link->SendPlainCommand(0x81, 0x90), 4);
  EXPECT_EQ(camera.Commands(),
            (std::vector<Bytes>{{0xAA, 0x00, 0x00, 0x36, 0x36, 0xA5}, {0xAA, 0x00, 0x00, 0x81, 0x90, 0x11, 0xA5}}));
}

TEST_F(CommandTest, ReplyInPiecesIsJoinedAndLoggedAsOneLine) {
  camera.QueueReplies({{{0x55, 0x00, 0x00}}, {{0x25, 0x07, 0x2C, 0x5A}}});
  EXPECT_EQ(link->SendCommand(0x25, 0x01), 7);
  EXPECT_EQ(log.Lines().back(), kGoodReply);
  // Each read asks for the room left after what arrived.
  EXPECT_EQ(ReplyReadLengths(), (std::vector<std::size_t>{24, 21}));
}

TEST_F(CommandTest, EmptyReadsBetweenPiecesAreWaitedOut) {
  camera.QueueReplies({{{0x55, 0x00}}, {{}}, {{}}, {{0x00, 0x25, 0x07, 0x2C, 0x5A}}});
  EXPECT_EQ(link->SendCommand(0x25, 0x01), 7);
}

TEST_F(CommandTest, StatusTwoSendsTheSameFrameAgain) {
  for (std::uint8_t status : {0x02, 0x0A}) {
    Bytes repeat = kRepeatReply;
    repeat[1] = status;
    repeat[5] = static_cast<std::uint8_t>(status + 0x25 + 0x07);
    camera.QueueReplies({{repeat}, {kGoodReply}});
    EXPECT_EQ(link->SendShortCommand(0x25), 7) << int(status);
  }
  const auto commands = camera.Commands();
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[0], commands[1]);
  // Frame, reply, frame, reply for each exchange.
  EXPECT_EQ(log.Lines().size(), 8u);
}

TEST_F(CommandTest, FailureStatusAndMalformedRepliesGiveZeroWithoutRepeat) {
  const std::vector<Bytes> bad{
      {0x55, 0x01, 0x00, 0x25, 0x07, 0x2D, 0x5A},  // status 1
      {0x55, 0x00, 0x00, 0x25, 0x07, 0x2D, 0x5A},  // checksum
      {0x54, 0x00, 0x00, 0x25, 0x07, 0x2C, 0x5A},  // start byte
  };
  for (const Bytes& reply : bad) {
    camera.QueueReplies({{reply}});
    EXPECT_EQ(link->SendPlainCommand(0x25, 0x01), 0);
  }
  EXPECT_EQ(camera.Commands().size(), bad.size());
  EXPECT_EQ(link->LastCommandError(), camera::CameraError::MalformedReply);
  camera.QueueReplies({{bad[0]}});
  EXPECT_EQ(link->SendPlainCommand(0x25, 0x01), 0);
  EXPECT_EQ(link->LastCommandError(), camera::CameraError::CommandRefused);
}

TEST_F(CommandTest, ShortReplyIsRepeatedByTheReadBackFormsOnly) {
  const Bytes shortReply{0x55, 0x00, 0x00, 0x5A};
  camera.QueueReplies({{shortReply}, {kGoodReply}});
  EXPECT_EQ(link->SendShortCommand(0x25), 7);
  EXPECT_EQ(camera.Commands().size(), 2u);
  camera.QueueReplies({{shortReply}, {kGoodReply}});
  EXPECT_EQ(link->SendPlainCommand(0x25, 1), 7);
  EXPECT_EQ(camera.Commands().size(), 4u);
  // The tagged form does not repeat, and must not return a byte 4 that never came.
  camera.QueueReplies({{shortReply}});
  EXPECT_EQ(link->SendCommand(0x25, 1), 0);
  EXPECT_EQ(camera.Commands().size(), 5u);
  camera.QueueReplies({{{0x55, 0x00, 0x00, 0x00, 0x5A}}});
  EXPECT_EQ(link->SendCommand(0x25, 1), 0);
}

TEST_F(CommandTest, OverlongReplyNeverWritesPastTheBufferAndIsMalformed) {
  Bytes overlong(30, 0x11);
  overlong[0] = 0x55;
  camera.QueueReplies(
      {{Bytes(overlong.begin(), overlong.begin() + 10)}, {Bytes(overlong.begin() + 10, overlong.end())}});
  EXPECT_EQ(link->SendShortCommand(0x25), 0);
  EXPECT_EQ(link->LastCommandError(), camera::CameraError::MalformedReply);
  EXPECT_EQ(ReplyReadLengths(), (std::vector<std::size_t>{24, 14}));
  EXPECT_EQ(log.Lines().back().size(), 24u);
  EXPECT_EQ(camera.Commands().size(), 1u);
}

// Support sees which command failed and why; a frame fetched without a
// camera's answer says so too.
TEST_F(CommandTest, FailuresKeepTheCommandAndTheReasonForSupport) {
  platform::Failures().Clear();
  EXPECT_EQ(link->SendCommand(0x25, 1), 0);
  auto failure = platform::Failures().Last();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->what, "camera command AA 80 00 25 01 A6 A5");
  EXPECT_EQ(failure->why, camera::CameraErrorText(camera::CameraError::NoReply));
  link->Close();
  std::vector<std::uint8_t> frame(CUsbCamera::kFrameBytes);
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  failure = platform::Failures().Last();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->what, "camera link: fetching a frame");
  EXPECT_EQ(failure->why, camera::CameraErrorText(link->LastLinkError()));
}

TEST_F(CommandTest, SilentCameraIsGivenTwentyReads) {
  EXPECT_EQ(link->SendCommand(0x25, 1), 0);
  EXPECT_EQ(link->LastCommandError(), camera::CameraError::NoReply);
  EXPECT_EQ(ReplyReadLengths().size(), 20u);
  EXPECT_EQ(log.Lines().back(), Bytes{});
  EXPECT_EQ(camera.Commands().size(), 1u);
}

TEST_F(CommandTest, FailedReadBeforeAnyByteEndsTheExchange) {
  camera.QueueReplies({{{}, true}});
  EXPECT_EQ(link->SendShortCommand(0x25), 0);
  EXPECT_EQ(ReplyReadLengths().size(), 1u);
  EXPECT_EQ(log.Lines().size(), 2u);
  EXPECT_EQ(log.Lines().back(), Bytes{});
}

TEST_F(CommandTest, FailedReadAfterAWholeReplyStillChecksIt) {
  camera.QueueReplies({{{0x55, 0x00, 0x00, 0x25, 0x07, 0x2C}}, {{}, true}});
  EXPECT_EQ(link->SendShortCommand(0x25), 0) << "no end byte arrived";
  EXPECT_EQ(log.Lines().back().size(), 6u);
}

TEST_F(CommandTest, CameraThatAlwaysAsksAgainIsGivenUpOn) {
  camera.AnswerEveryCommand(kRepeatReply);
  EXPECT_EQ(link->SendShortCommand(0x25), 0);
  EXPECT_EQ(link->LastCommandError(), camera::CameraError::RepeatsExhausted);
  EXPECT_EQ(camera.Commands().size(), static_cast<std::size_t>(CUsbCamera::kMaxCommandAttempts));
}

TEST_F(CommandTest, ClosedLinkSendsNothingAndLogsAnEmptyReply) {
  link->Close();
  camera.Clear();
  EXPECT_EQ(link->SendCommand(0x25, 1), 0);
  EXPECT_EQ(link->LastCommandError(), camera::CameraError::NotOpen);
  EXPECT_TRUE(camera.Calls().empty());
  EXPECT_EQ(log.Lines().back(), Bytes{});
  EXPECT_EQ(log.Lines().size(), 1u) << "no frame was written, so only the empty reply is logged";
}

TEST_F(CommandTest, NoLogSinkIsFine) {
  link->SetLogSink(nullptr);
  camera.AnswerEveryCommand(kGoodReply);
  EXPECT_EQ(link->SendCommand(0x25, 1), 7);
  EXPECT_TRUE(log.Lines().empty());
}

// The worker's frames and mode queries run beside the user's commands.
TEST_F(CommandTest, CommandsWhileFramesAreFetched) {
  camera.SetVendorReply(0xB0, {4});
  camera.SetFrameSize(320, 240);
  camera.AnswerEveryCommand(kGoodReply, 2);
  std::atomic<bool> stop{false};
  std::atomic<int> frames{0};
  std::thread worker([&] {
    std::vector<std::uint8_t> buffer(CUsbCamera::kFrameBytes);
    while (!stop) {
      if (link->QueryMode() && link->GrabFrame(buffer.data())) ++frames;
    }
  });
  for (int i = 0; i < 10; ++i) EXPECT_EQ(link->SendCommand(0x25, 1), 7);
  EXPECT_TRUE(Eventually([&] { return frames.load() >= 3; }));
  stop = true;
  worker.join();
}

}  // namespace
}  // namespace camera_test
