// The whole camera link on the libusb backend against an emulated camera that
// goes wrong: pulled out during a frame, a pipe that stalls, and a camera that
// floods its command replies. Each ends as the link promises, and leaves no
// transfer pending and no descriptor open (the sanitizer builds see the rest).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/usb_camera.h"
#include "emulated_camera.h"
#include "platform/usb/libusb_driver.h"
#include "simulated_camera.h"

namespace {

using platform::usb::LibusbDriver;
using platform::usb::UsbDriverOptions;
using usbtest::BulkMode;
using usbtest::EmulatedBus;
using usbtest::EmulatedCamera;

constexpr std::uint8_t kQueryMode = 0xB0, kStartFrame = 0xB4, kRecover = 0xB5, kGiveUp = 0xB7;
constexpr std::uint8_t kWriteCommand = 0xBC, kReadReply = 0xBD;

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

template <typename Condition>
void WaitUntil(Condition condition) {
  while (!condition()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

std::vector<std::uint8_t> RequestCodes(const EmulatedCamera& camera) {
  std::vector<std::uint8_t> codes;
  for (const usbtest::ControlRequest& r : camera.ControlRequests()) codes.push_back(r.request);
  return codes;
}

std::size_t CountOf(const std::vector<std::uint8_t>& codes, std::uint8_t code) {
  return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), code));
}

class LineCounter final : public ICommandLogSink {
 public:
  void AppendHexLog(std::span<const std::uint8_t>) override { lines.fetch_add(1); }
  std::atomic<int> lines{0};
};

class CameraLinkOnUsb : public ::testing::Test {
 protected:
  void SetUp() override {
    // Claims of their own: a copy of the program running beside the tests must not matter.
    setenv("TAVROCAM_CLAIM_DIR", m_claims.c_str(), 1);
    std::filesystem::create_directories(m_claims);
  }
  void TearDown() override { std::filesystem::remove_all(m_claims); }

  // A camera at 640 x 480 that answers every frame at once, and the link opened
  // on it with the product's waits: every frame through the emulated bus goes
  // through one thread of umockdev, which a loaded machine can hold up for
  // longer than shortened waits would allow.
  void OpenLink(UsbDriverOptions options = {}, CameraTiming timing = {}) {
    m_camera = &m_bus.Add({});
    m_camera->SetReply(kQueryMode, std::vector<std::uint8_t>(20, 0));
    m_driver = LibusbDriver::Create(options);
    ASSERT_NE(m_driver, nullptr);
    m_baseline = OpenDescriptors();
    m_link = std::make_unique<CUsbCamera>(*m_driver, timing);
    ASSERT_TRUE(m_link->Open());
    m_link->SetHighSpeed(m_link->QueryHighSpeed());
    ASSERT_TRUE(m_link->QueryMode());
    m_frame.assign(CUsbCamera::kFrameBytes, 0);
    ASSERT_TRUE(m_link->GrabFrame(m_frame.data()));
  }

  // Closed with nothing left behind: no transfer pending, every descriptor the link opened closed.
  void ExpectNothingLeft() {
    m_link->Close();
    EXPECT_FALSE(m_link->IsOpen());
    EXPECT_FALSE(m_link->ReadersRunning());
    EXPECT_EQ(m_camera->PendingCount(), 0);
    m_link.reset();
    // umockdev closes its side of a device file on its own thread: give it a moment.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (OpenDescriptors() > m_baseline && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(OpenDescriptors(), m_baseline);
  }

  std::filesystem::path m_claims =
      std::filesystem::temp_directory_path() / ("tavrocam-link-test-" + std::to_string(::getpid()));
  EmulatedBus m_bus;  // before the driver: libusb must find the testbed when it starts
  EmulatedCamera* m_camera = nullptr;
  std::shared_ptr<LibusbDriver> m_driver;
  std::unique_ptr<CUsbCamera> m_link;
  std::vector<std::uint8_t> m_frame;
  std::size_t m_baseline = 0;
};

TEST_F(CameraLinkOnUsb, UnpluggedDuringAFrameTheFrameFailsAndTheWatchdogsCheckClosesTheLink) {
  OpenLink();
  m_camera->SetBulkMode(BulkMode::Hold);
  std::vector<std::uint8_t> frame(CUsbCamera::kFrameBytes, 0x5C);
  auto grab = std::async(std::launch::async, [&] { return m_link->GrabFrame(frame.data()); });
  WaitUntil([&] { return m_camera->PendingCount() > 0; });
  m_camera->Unplug();

  EXPECT_FALSE(grab.get());
  EXPECT_EQ(frame[0], 0x5C) << "a failed frame leaves the destination alone";
  EXPECT_FALSE(m_link->ReadersRunning());
  // The device leaves libusb's list once its hot-plug thread has seen the removal.
  WaitUntil([&] { return !m_link->CheckPresent(); });
  EXPECT_FALSE(m_link->IsOpen());
  std::uint8_t reply[24];
  EXPECT_EQ(m_link->ReadReplyBytes(reply, sizeof reply), -1);
  EXPECT_EQ(m_link->SendCommand(0x25, 1), 0);
  EXPECT_FALSE(m_link->GrabFrame(m_frame.data()));
  ExpectNothingLeft();
}

TEST_F(CameraLinkOnUsb, AStalledPipeIsRecoveredOnceThenGivenUpWhileTheCableStaysIn) {
  UsbDriverOptions options;
  options.bulkTimeout = std::chrono::hours(1);  // only the link's own give-up ends the reads
  OpenLink(options, CameraTiming{0.25});        // the held frame is given up after 1.75 s
  m_camera->SetBulkMode(BulkMode::Hold);
  const std::size_t before = m_camera->ControlRequests().size();

  EXPECT_FALSE(m_link->GrabFrame(m_frame.data()));
  std::vector<std::uint8_t> codes = RequestCodes(*m_camera);
  codes.erase(codes.begin(), codes.begin() + static_cast<std::ptrdiff_t>(before));
  EXPECT_EQ(codes, (std::vector<std::uint8_t>{kStartFrame, kRecover, kGiveUp}));
  EXPECT_FALSE(m_link->ReadersRunning());
  EXPECT_EQ(m_link->LastLinkError(), camera::CameraError::TransferGivenUp);
  // Still attached: the watchdog's check finds it, and the program ends through Close.
  EXPECT_TRUE(m_link->CheckPresent());
  EXPECT_GT(m_camera->PendingCount(), 0) << "the readers are still inside their reads";
  ExpectNothingLeft();
  EXPECT_GT(m_camera->DiscardCount(), 0);
}

TEST_F(CameraLinkOnUsb, AHaltedPipeFailsTheFrameAtOnce) {
  OpenLink();
  m_camera->SetBulkMode(BulkMode::Stall);
  EXPECT_FALSE(m_link->GrabFrame(m_frame.data()));
  EXPECT_EQ(m_link->LastLinkError(), camera::CameraError::TransferFailed);
  EXPECT_EQ(CountOf(RequestCodes(*m_camera), kRecover), 0u);
  EXPECT_FALSE(m_link->ReadersRunning());
  ExpectNothingLeft();
}

TEST_F(CameraLinkOnUsb, AReplyStormNeverOverrunsTheReplyBufferAndEveryExchangeEnds) {
  OpenLink();
  LineCounter log;
  m_link->SetLogSink(&log);

  // Bytes without an end: each read fills the room left, then the reply is malformed.
  std::vector<std::uint8_t> endless(64, 0x55);
  m_camera->SetReply(kReadReply, endless);
  EXPECT_EQ(m_link->SendCommand(0x25, 1), 0);
  EXPECT_EQ(m_link->LastCommandError(), camera::CameraError::MalformedReply);
  for (const usbtest::ControlRequest& r : m_camera->ControlRequests()) {
    if (r.request == kReadReply) {
      EXPECT_LE(r.length, CUsbCamera::kReplyBufferBytes);
    }
  }

  // A camera that asks for every command again gets it a bounded number of times.
  m_camera->SetReply(kReadReply, test_support::ReplyFrame(0x25, 0x07, 2));
  const std::size_t writesBefore = CountOf(RequestCodes(*m_camera), kWriteCommand);
  const int linesBefore = log.lines.load();
  EXPECT_EQ(m_link->SendPlainCommand(0x25, 1), 0);
  EXPECT_EQ(CountOf(RequestCodes(*m_camera), kWriteCommand) - writesBefore,
            static_cast<std::size_t>(CUsbCamera::kMaxCommandAttempts));
  EXPECT_EQ(log.lines.load() - linesBefore, 2 * CUsbCamera::kMaxCommandAttempts);

  // Frames keep coming between the commands, and a good reply still gives its value.
  EXPECT_TRUE(m_link->GrabFrame(m_frame.data()));
  m_camera->SetReply(kReadReply, test_support::ReplyFrame(0x25, 0x07));
  EXPECT_EQ(m_link->SendCommand(0x25, 1), 7);
  m_link->SetLogSink(nullptr);
  ExpectNothingLeft();
}

}  // namespace
