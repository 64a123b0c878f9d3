// The command transport against a camera that answers anything: each reply
// read gets the next piece of the input, of any length (also longer than the
// room asked for, and reported as longer than it is), empty, or a driver
// failure. Checks what must hold whatever the camera says: no read asks for
// more than the reply buffer has left, repeats stay bounded, and a value is
// only ever returned from a well-formed reply that carried it.
//
// Input, front to back: the operation (0 SendCommand, 1 SendPlainCommand,
// 2 SendShortCommand, modulo 3), the command code, the value, then pieces:
// a header byte (0xFF: the driver call fails; otherwise its low five bits are
// the piece's length, and with bit 5 set the driver reports eight bytes more
// than it delivered) followed by the piece's bytes. After the last piece
// every read fails.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <span>
#include <vector>

#include "camera/usb_camera.h"
#include "fuzz/fuzz_input.h"
#include "platform/driver_records.h"

namespace {

constexpr std::uint8_t kWriteCommand = 0xBC;
constexpr std::uint8_t kReadReply = 0xBD;

void Require(bool condition) {
  if (!condition) std::abort();
}

// A camera behind the driver interface whose replies come from the input.
class ScriptedCamera final : public platform::IDriver {
 public:
  void Start(fuzz::FuzzInput& input) {
    std::lock_guard lock(m_mutex);
    m_input = &input;
    m_writes = 0;
    m_receivedThisAttempt = 0;
  }
  void Stop() {
    std::lock_guard lock(m_mutex);
    m_input = nullptr;
  }
  int Writes() const {
    std::lock_guard lock(m_mutex);
    return m_writes;
  }

  platform::DeviceHandle Open(std::string_view) override {
    std::lock_guard lock(m_mutex);
    return static_cast<platform::DeviceHandle>(++m_lastHandle);
  }
  void CancelIo(platform::DeviceHandle) override {}
  void Close(platform::DeviceHandle) override {}

  bool DeviceIoControl(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                       std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) override {
    bytesReturned = 0;
    if (handle == platform::DeviceHandle::Null || code != platform::kVendorRequestIoctl) return false;
    const auto request = platform::VendorRequestBlock::Decode(input);
    if (!request) return false;
    std::lock_guard lock(m_mutex);
    if (request->requestCode == kWriteCommand) {
      ++m_writes;
      m_receivedThisAttempt = 0;
      bytesReturned = static_cast<std::uint32_t>(buffer.size());
      return true;
    }
    if (request->requestCode != kReadReply) return true;  // the open's 0xBE and the like
    if (m_input == nullptr || m_input->Remaining().empty()) return false;
    // Each read asks for the room left in the 24-byte reply buffer, no more.
    Require(m_receivedThisAttempt + buffer.size() <= CUsbCamera::kReplyBufferBytes);
    const std::uint8_t header = m_input->Byte();
    if (header == 0xFF) return false;
    std::vector<std::uint8_t> piece(header & 0x1F);
    m_input->Fill(piece);
    const std::size_t delivered = std::min(piece.size(), buffer.size());
    std::copy_n(piece.begin(), delivered, buffer.begin());
    m_receivedThisAttempt += delivered;
    bytesReturned = static_cast<std::uint32_t>(piece.size() + ((header & 0x20) != 0 ? 8 : 0));
    return true;
  }

 private:
  mutable std::mutex m_mutex;
  fuzz::FuzzInput* m_input = nullptr;
  std::uintptr_t m_lastHandle = 0;
  int m_writes = 0;
  std::size_t m_receivedThisAttempt = 0;
};

class LastLine final : public ICommandLogSink {
 public:
  void AppendHexLog(std::span<const std::uint8_t> bytes) override {
    Require(bytes.size() <= CUsbCamera::kReplyBufferBytes);
    line.assign(bytes.begin(), bytes.end());
  }
  std::vector<std::uint8_t> line;
};

// One link for the whole run: opening starts four reader threads, which
// would cost more than the exchange under test.
struct OpenLink {
  ScriptedCamera camera;
  LastLine log;
  CUsbCamera link{camera, CameraTiming{0.0}};
  OpenLink() {
    Require(link.Open());
    link.SetLogSink(&log);
  }
  ~OpenLink() {
    link.SetLogSink(nullptr);
    link.Close();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static OpenLink open;
  fuzz::FuzzInput in(data, size);
  const std::uint8_t operation = in.Byte() % 3;
  const std::uint8_t code = in.Byte();
  const std::uint8_t value = in.Byte();

  open.camera.Start(in);
  int result = 0;
  switch (operation) {
    case 0: result = open.link.SendCommand(code, value); break;
    case 1: result = open.link.SendPlainCommand(code, value); break;
    default: result = open.link.SendShortCommand(code); break;
  }
  open.camera.Stop();

  Require(result >= 0 && result <= 255);
  Require(open.camera.Writes() >= 1 && open.camera.Writes() <= CUsbCamera::kMaxCommandAttempts);
  if (result != 0) {
    // The last line logged is the reply the value came from.
    const std::vector<std::uint8_t>& reply = open.log.line;
    const std::size_t n = reply.size();
    Require(n >= 6 && reply[0] == 0x55 && reply[n - 1] == 0x5A && (reply[1] & 7) == 0);
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i + 2 < n; ++i) sum = static_cast<std::uint8_t>(sum + reply[i]);
    Require(sum == reply[n - 2]);
    Require(result == reply[4]);
  }
  return 0;
}
