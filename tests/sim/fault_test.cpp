// Injected faults and bad requests: what a host sees when the camera stalls,
// fails, vanishes or answers badly, and that waiting calls always end.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "sim_host.h"

namespace simtest {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kXgaShare = 589824;

sim::SimOptions Fast(double timeScale = 0.002) {
  sim::SimOptions o;
  o.startMode = 4;  // small frames
  o.timeScale = timeScale;
  return o;
}

bool ReadOne(Host& host, DeviceHandle h, std::uint32_t pipe, std::size_t n = 64) {
  std::vector<std::uint8_t> buf(n);
  std::uint32_t got = 0;
  return platform::ReadBulkPipe(*host.driver, h, pipe, buf, got) && got == n;
}

TEST(SimRequests, MalformedRequestsFail) {
  sim::SimOptions xga = Fast();
  xga.startMode = 2;
  Host host(xga);
  const auto h = host.Open();
  std::vector<std::uint8_t> data(20);
  std::uint32_t got = 7;
  auto block = platform::VendorRequestBlock{platform::TransferDirection::DeviceToHost, 2, 0, 0, 0xB0}.Encode();
  EXPECT_TRUE(host.driver->DeviceIoControl(h, platform::kVendorRequestIoctl, block, data, got));
  EXPECT_EQ(got, 20u);

  EXPECT_FALSE(host.driver->DeviceIoControl(h, 0x00222000, block, data, got)) << "unknown control code";
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(host.driver->DeviceIoControl(h, platform::kVendorRequestIoctl, std::span(block).first(9), data, got))
      << "short record";
  auto classRequest = block;
  classRequest[1] = 1;
  EXPECT_FALSE(host.driver->DeviceIoControl(h, platform::kVendorRequestIoctl, classRequest, data, got));
  auto unknown = block;
  unknown[4] = 0xB1;
  EXPECT_FALSE(host.driver->DeviceIoControl(h, platform::kVendorRequestIoctl, unknown, data, got)) << "unknown code";
  EXPECT_FALSE(host.Out(h, 0xB0)) << "mode query in the wrong direction";
  EXPECT_FALSE(host.Request(h, 0xB4, TransferDirection::DeviceToHost, data, got)) << "frame request the wrong way";
  EXPECT_FALSE(host.driver->DeviceIoControl(DeviceHandle::Null, platform::kVendorRequestIoctl, block, data, got));
  EXPECT_FALSE(
      host.driver->DeviceIoControl(static_cast<DeviceHandle>(999), platform::kVendorRequestIoctl, block, data, got));

  ASSERT_TRUE(host.Out(h, 0xB4));
  std::vector<std::uint8_t> big(platform::kMaxBulkReadBytes + 1);
  EXPECT_FALSE(platform::ReadBulkPipe(*host.driver, h, 0, big, got)) << "above 65,024 bytes";
  auto pipeRecord = platform::BulkReadBlock{0}.Encode();
  EXPECT_FALSE(host.driver->DeviceIoControl(h, platform::kBulkReadIoctl, std::span(pipeRecord).first(3), data, got));
  EXPECT_FALSE(platform::ReadBulkPipe(*host.driver, h, 4, data, got)) << "no pipe 4";
  big.resize(platform::kMaxBulkReadBytes);
  EXPECT_TRUE(platform::ReadBulkPipe(*host.driver, h, 0, big, got));
  EXPECT_EQ(got, platform::kMaxBulkReadBytes);

  EXPECT_EQ(host.driver->Open("\\\\.\\EZUSB-1"), DeviceHandle::Null) << "one camera only";
  EXPECT_EQ(host.driver->Open("EZUSB-0"), DeviceHandle::Null);
}

TEST(SimRequests, SpeedAndStartModeAreReported) {
  for (bool highSpeed : {true, false}) {
    sim::SimOptions o;
    o.highSpeed = highSpeed;
    o.startMode = 3;  // a code with no picture size, for hosts that must refuse it
    Host host(o);
    const auto h = host.Open();
    std::vector<std::uint8_t> speed(1, 0xEE);
    std::uint32_t got = 0;
    ASSERT_TRUE(host.Request(h, 0xB3, TransferDirection::DeviceToHost, speed, got));
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(speed[0] != 0, highSpeed);
    EXPECT_EQ(host.Mode(h), 3);
    EXPECT_TRUE(host.Out(h, 0xBE));
  }
}

TEST(SimRequests, SeveralCamerasAreSeparateDevices) {
  sim::SimOptions o = Fast();
  o.cameraCount = 3;
  Host host(o);
  const auto a = host.Open(0), c = host.Open(2);
  ASSERT_NE(a, DeviceHandle::Null);
  ASSERT_NE(c, DeviceHandle::Null);
  EXPECT_EQ(host.Open(3), DeviceHandle::Null);
  host.Exchange(c, SetFrame(0x31, 1));
  EXPECT_TRUE(host.driver->Camera(2).Settings().negative);
  EXPECT_FALSE(host.driver->Camera(0).Settings().negative);
  host.driver->Camera(1).Unplug();
  EXPECT_EQ(host.Open(1), DeviceHandle::Null);
  EXPECT_NE(host.Open(0), DeviceHandle::Null);
  EXPECT_FALSE(host.driver->Camera(3).IsPlugged()) << "a number without a camera is never attached";
  EXPECT_FALSE(host.driver->Camera(-1).IsPlugged());
}

TEST(SimFaults, PipeStalledForATimeDeliversAfterwards) {
  Host host(Fast(1.0));
  const auto h = host.Open();
  host.driver->Camera(0).StallPipe(1, 30ms);
  ASSERT_TRUE(host.Out(h, 0xB4));
  EXPECT_TRUE(ReadOne(host, h, 0));
  EXPECT_TRUE(ReadOne(host, h, 1));
}

TEST(SimFaults, PipeStalledUntilRecoveryWaitsForRequestB5) {
  Host host(Fast(1.0));  // reads would wait 15 s
  const auto h = host.Open(), reader = host.Open();
  auto& cam = host.driver->Camera(0);
  cam.StallPipeUntilRecovery(3);
  ASSERT_TRUE(host.Out(h, 0xB4));
  auto pending = std::async(std::launch::async, [&] { return ReadOne(host, reader, 3); });
  EXPECT_EQ(pending.wait_for(20ms), std::future_status::timeout);
  ASSERT_TRUE(host.Out(h, 0xB5));
  EXPECT_TRUE(pending.get());
  EXPECT_EQ(cam.VendorRequestCount(0xB5), 1u);
}

TEST(SimFaults, PipeStalledForeverTimesOutAndAbortEndsWaitingReads) {
  {
    Host host(Fast(0.001));  // a 15 ms read time-out
    const auto h = host.Open();
    host.driver->Camera(0).StallPipeForever(0);
    ASSERT_TRUE(host.Out(h, 0xB4));
    EXPECT_FALSE(ReadOne(host, h, 0));
    ASSERT_TRUE(host.Out(h, 0xB5));
    EXPECT_FALSE(ReadOne(host, h, 0)) << "recovery does not cure a dead pipe";
    EXPECT_TRUE(ReadOne(host, h, 2));
    ASSERT_TRUE(host.Out(h, 0xB7));
    EXPECT_FALSE(ReadOne(host, h, 1, 1)) << "abort drops the rest of the frame";
  }
  Host host(Fast(1.0));
  const auto h = host.Open(), reader = host.Open();
  host.driver->Camera(0).StallPipeForever(0);
  ASSERT_TRUE(host.Out(h, 0xB4));
  auto pending = std::async(std::launch::async, [&] { return ReadOne(host, reader, 0); });
  EXPECT_EQ(pending.wait_for(20ms), std::future_status::timeout);
  ASSERT_TRUE(host.Out(h, 0xB7));  // the host gives the frame up
  EXPECT_FALSE(pending.get());
  host.driver->Camera(0).ClearFaults();
  ASSERT_TRUE(host.Out(h, 0xB4));
  EXPECT_TRUE(ReadOne(host, reader, 0)) << "the next frame flows again";
}

TEST(SimFaults, ReadWithNoFrameQueuedTimesOut) {
  Host host(Fast(0.001));
  const auto h = host.Open();
  EXPECT_FALSE(ReadOne(host, h, 0));
}

TEST(SimFaults, FailedBulkReadsAndVendorRequests) {
  Host host(Fast());
  const auto h = host.Open();
  auto& cam = host.driver->Camera(0);
  ASSERT_TRUE(host.Out(h, 0xB4));
  cam.FailBulkReads(2, 1);
  EXPECT_TRUE(ReadOne(host, h, 1));
  EXPECT_FALSE(ReadOne(host, h, 2));
  EXPECT_TRUE(ReadOne(host, h, 2));
  cam.FailBulkReads(-1, 2);
  EXPECT_FALSE(ReadOne(host, h, 0));
  EXPECT_FALSE(ReadOne(host, h, 3));
  EXPECT_TRUE(ReadOne(host, h, 3));

  cam.FailVendorRequests(0xB0, 2);
  EXPECT_EQ(host.Mode(h), -100);
  EXPECT_EQ(host.Mode(h), -100);
  EXPECT_EQ(host.Mode(h), 4);
  EXPECT_EQ(cam.VendorRequestCount(0xB0), 3u);
  cam.FailVendorRequests(0xB4, 1);
  EXPECT_FALSE(host.Out(h, 0xB4));
  EXPECT_TRUE(host.Out(h, 0xB4));
}

TEST(SimFaults, UnplugFailsEverythingAndPlugPowersUpAfresh) {
  Host host(Fast(1.0));
  const auto h = host.Open(), reader = host.Open();
  auto& cam = host.driver->Camera(0);
  host.Exchange(h, SetFrame(0x31, 1));
  auto pending = std::async(std::launch::async, [&] { return ReadOne(host, reader, 0); });
  EXPECT_EQ(pending.wait_for(20ms), std::future_status::timeout);
  cam.Unplug();
  EXPECT_FALSE(pending.get()) << "a pending read fails at once";
  EXPECT_FALSE(cam.IsPlugged());
  EXPECT_EQ(host.Open(), DeviceHandle::Null);
  EXPECT_EQ(host.Mode(h), -100);
  EXPECT_TRUE(host.Exchange(h, SetFrame(0x30, 1)).empty());

  cam.Plug();
  EXPECT_EQ(host.Mode(h), -100) << "handles from before stay dead";
  const auto fresh = host.Open();
  ASSERT_NE(fresh, DeviceHandle::Null);
  EXPECT_EQ(host.Mode(fresh), 4);
  EXPECT_FALSE(cam.Settings().negative) << "settings back to power-up";
  ASSERT_TRUE(host.Out(fresh, 0xB4));
  EXPECT_TRUE(ReadOne(host, fresh, 0));
}

TEST(SimFaults, CancelAndCloseEndPendingReads) {
  Host host(Fast(1.0));
  const auto h = host.Open(), reader = host.Open();
  auto pending = std::async(std::launch::async, [&] { return ReadOne(host, reader, 1); });
  EXPECT_EQ(pending.wait_for(20ms), std::future_status::timeout);
  host.driver->CancelIo(reader);
  EXPECT_FALSE(pending.get());
  ASSERT_TRUE(host.Out(h, 0xB4));
  EXPECT_TRUE(ReadOne(host, reader, 1)) << "the handle stays open after a cancel";

  ASSERT_TRUE(host.Out(h, 0xB4));
  ASSERT_TRUE(host.ReadShare(reader, 2, 57600).size() == 57600);
  pending = std::async(std::launch::async, [&] { return ReadOne(host, reader, 2); });
  EXPECT_EQ(pending.wait_for(20ms), std::future_status::timeout);
  host.driver->Close(reader);
  EXPECT_FALSE(pending.get());
  EXPECT_FALSE(ReadOne(host, reader, 3)) << "closed";
  host.driver->Close(reader);  // twice: ignored
  host.driver->Close(DeviceHandle::Null);
}

TEST(SimReplyFaults, EachFaultShapesTheNextReplyOnly) {
  Host host(Fast());
  const auto h = host.Open();
  auto& cam = host.driver->Camera(0);
  auto exchange = [&](sim::ReplyFault fault) {
    cam.InjectReplyFault(fault);
    auto r = host.Exchange(h, SetFrame(0x35, 1));
    host.Exchange(h, SetFrame(0x35, 0));
    return r;
  };
  EXPECT_TRUE(exchange(sim::ReplyFault::NoReply).empty());
  EXPECT_FALSE(cam.Settings().edge);

  auto r = exchange(sim::ReplyFault::Status1);
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[1] & 7, 1);
  EXPECT_EQ(r[5], Sum(r, 1, 5));

  r = exchange(sim::ReplyFault::BadChecksum);
  ASSERT_EQ(r.size(), 7u);
  EXPECT_NE(r[5], Sum(r, 1, 5));
  r = exchange(sim::ReplyFault::WrongStart);
  ASSERT_EQ(r.size(), 7u);
  EXPECT_NE(r[0], 0x55);
  EXPECT_EQ(r[6], 0x5A);
  r = exchange(sim::ReplyFault::WrongEnd);
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[0], 0x55);
  EXPECT_NE(r[6], 0x5A);
  r = exchange(sim::ReplyFault::Short);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r.front(), 0x55);
  EXPECT_EQ(r.back(), 0x5A);
  r = exchange(sim::ReplyFault::Overlong);
  EXPECT_GT(r.size(), 24u);
  EXPECT_EQ(std::count(r.begin(), r.end(), 0x5A), 0) << "no end byte anywhere";

  // A garbled reply still reports a command that was carried out.
  cam.InjectReplyFault(sim::ReplyFault::BadChecksum);
  host.Exchange(h, SetFrame(0x32, 1));
  EXPECT_TRUE(cam.Settings().emboss);
  // A refused one was not.
  cam.InjectReplyFault(sim::ReplyFault::Status1);
  host.Exchange(h, SetFrame(0x32, 0));
  EXPECT_TRUE(cam.Settings().emboss);
}

TEST(SimReplyFaults, StatusTwoAsksForRepeatsUntilTheCountIsUsed) {
  Host host(Fast());
  const auto h = host.Open();
  auto& cam = host.driver->Camera(0);
  cam.InjectReplyFault(sim::ReplyFault::Status2, 3);
  int repeats = 0;
  std::vector<std::uint8_t> r;
  for (;;) {
    r = host.Exchange(h, SetFrame(0x31, 1));
    ASSERT_EQ(r.size(), 7u);
    if ((r[1] & 7) != 2) break;
    EXPECT_FALSE(cam.Settings().negative) << "not carried out while asking for a repeat";
    ++repeats;
  }
  EXPECT_EQ(repeats, 3);
  EXPECT_EQ(r[1] & 7, 0);
  EXPECT_TRUE(cam.Settings().negative);
  EXPECT_EQ(cam.ReceivedCommands().size(), 4u);
}

TEST(SimReplyFaults, ReplyInPiecesAndUnreadRepliesReplaced) {
  Host host(Fast());
  const auto h = host.Open();
  auto& cam = host.driver->Camera(0);
  cam.SetReplyPieceSize(3);
  std::vector<std::uint8_t> frame = SetFrame(0x25, 1);
  std::uint32_t got = 0;
  ASSERT_TRUE(host.Request(h, 0xBC, TransferDirection::HostToDevice, frame, got));
  EXPECT_EQ(got, 7u);
  std::vector<std::size_t> pieces;
  std::vector<std::uint8_t> joined;
  for (;;) {
    std::vector<std::uint8_t> buf(24);
    ASSERT_TRUE(host.Request(h, 0xBD, TransferDirection::DeviceToHost, buf, got));
    if (got == 0) break;
    pieces.push_back(got);
    joined.insert(joined.end(), buf.begin(), buf.begin() + got);
  }
  EXPECT_EQ(pieces, (std::vector<std::size_t>{3, 3, 1}));
  EXPECT_EQ(joined, (std::vector<std::uint8_t>{0x55, 0x00, 0x00, 0x25, 0x01, 0x26, 0x5A}));

  cam.SetReplyPieceSize(0);
  std::vector<std::uint8_t> small(2);
  host.Exchange(h, SetFrame(0x25, 0));  // leaves nothing pending
  frame = SetFrame(0x25, 1);
  ASSERT_TRUE(host.Request(h, 0xBC, TransferDirection::HostToDevice, frame, got));
  ASSERT_TRUE(host.Request(h, 0xBD, TransferDirection::DeviceToHost, small, got));
  EXPECT_EQ(got, 2u) << "as much as fits";
  // A new command replaces what was left of the old reply.
  EXPECT_EQ(host.Exchange(h, QueryFrame(0x25)), (std::vector<std::uint8_t>{0x55, 0x00, 0x00, 0x25, 0x01, 0x26, 0x5A}));
  // The start-up hello drops a pending reply.
  frame = SetFrame(0x25, 1);
  ASSERT_TRUE(host.Request(h, 0xBC, TransferDirection::HostToDevice, frame, got));
  ASSERT_TRUE(host.Out(h, 0xBE));
  ASSERT_TRUE(host.Request(h, 0xBD, TransferDirection::DeviceToHost, small, got));
  EXPECT_EQ(got, 0u);
}

TEST(SimRecords, BulkReadLengthsAndClear) {
  Host host(Fast());
  const auto h = host.Open();
  auto& cam = host.driver->Camera(0);
  ASSERT_TRUE(host.Out(h, 0xB4));
  host.ReadShare(h, 1, 57600);
  EXPECT_EQ(cam.BulkReadLengths(1), (std::vector<std::uint32_t>{57600}));
  EXPECT_TRUE(cam.BulkReadLengths(7).empty());
  cam.ClearRecords();
  EXPECT_TRUE(cam.BulkReadLengths(1).empty());
  EXPECT_EQ(cam.VendorRequestCount(0xB4), 0u);
}

}  // namespace
}  // namespace simtest
