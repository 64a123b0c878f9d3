// A USB camera emulated in the kernel's usbfs interface (via umockdev), so
// the libusb backend can be driven without hardware. Tests run under
// umockdev-wrapper; the testbed must exist before libusb starts. It works a
// layer below the shared simulated camera (tests/support), which stands in
// for the whole driver and so cannot test the backend: here the URBs, claims,
// halts and hot-unplug are what is tested, and the camera's answers are only
// the canned bytes a test sets (command replies built with ReplyFrame).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace usbtest {

struct CameraSpec {
  std::uint16_t vendorId = 0x04b4;
  std::uint16_t productId = 0x8613;
  int bus = 1;
  int address = 2;
  std::string portPath = "1";  // "2" or "1.4": the ports from the root hub down
  // Endpoint addresses in descriptor order; bit 7 marks IN. All bulk.
  std::vector<std::uint8_t> endpoints{0x82, 0x84, 0x86, 0x88};
};

struct ControlRequest {
  std::uint8_t requestType = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;
  std::vector<std::uint8_t> data;  // the data stage of a host-to-device request
};

struct BulkRequest {
  std::uint8_t endpoint = 0;
  int length = 0;
};

// How the camera answers bulk reads.
enum class BulkMode {
  Fill,   // at once, the whole length, bytes (endpoint + offset) & 0xFF
  Hold,   // never; the read ends only by time-out, cancellation or unplug
  Stall,  // the endpoint halts, until the host clears it
};

class EmulatedCamera {
 public:
  EmulatedCamera(UMockdevTestbed* testbed, CameraSpec description);
  ~EmulatedCamera();
  EmulatedCamera(const EmulatedCamera&) = delete;
  EmulatedCamera& operator=(const EmulatedCamera&) = delete;

  const CameraSpec& Description() const { return m_description; }

  void SetBulkMode(BulkMode mode);
  // Leaves device-to-host vendor requests unanswered (as Hold does reads).
  void SetControlInUnanswered(bool unanswered);
  // The data stage the camera answers to device-to-host request `request`
  // (by default as many bytes 0xEE as asked for).
  void SetReply(std::uint8_t request, std::vector<std::uint8_t> reply);
  // Another process holds the interface: claiming fails with EBUSY.
  void SetClaimedElsewhere(bool claimed);
  // The cable is pulled: pending reads end with the device gone, the device
  // leaves the bus and every later request fails.
  void Unplug();

  std::vector<ControlRequest> ControlRequests() const;
  std::vector<BulkRequest> BulkRequests() const;
  int PendingCount() const;
  int DiscardCount() const;
  int ClaimCount() const;
  int ReleaseCount() const;
  std::vector<std::uint8_t> ClearedHalts() const;

 private:
  static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, EmulatedCamera* self);
  bool HandleIoctl(UMockdevIoctlClient* client);
  bool Submit(UMockdevIoctlClient* client, UMockdevIoctlData* argument);
  bool Reap(UMockdevIoctlClient* client, UMockdevIoctlData* argument);
  bool Discard(UMockdevIoctlClient* client, UMockdevIoctlData* argument);

  struct Finished {
    UMockdevIoctlData* urb;  // referenced
    int status;
  };

  UMockdevTestbed* m_testbed;
  CameraSpec m_description;
  std::string m_sysPath;
  std::string m_devNode;
  UMockdevIoctlBase* m_handler = nullptr;

  mutable std::mutex m_lock;  // the ioctl handler runs on umockdev's thread
  BulkMode m_bulkMode = BulkMode::Fill;
  std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> m_replies;
  bool m_claimedElsewhere = false;
  bool m_controlInUnanswered = false;
  bool m_unplugged = false;
  std::vector<UMockdevIoctlData*> m_pending;  // referenced
  std::vector<Finished> m_finished;
  std::vector<ControlRequest> m_controlRequests;
  std::vector<BulkRequest> m_bulkRequests;
  int m_discards = 0;
  int m_claims = 0;
  int m_releases = 0;
  std::vector<std::uint8_t> m_clearedHalts;
};

// A testbed with cameras on it.
class EmulatedBus {
 public:
  EmulatedBus();

  EmulatedCamera& Add(CameraSpec description);

 private:
  struct TestbedRelease {
    void operator()(UMockdevTestbed* testbed) const;
  };

  // Declared first, so the cameras on it go before it does.
  std::unique_ptr<UMockdevTestbed, TestbedRelease> m_testbed;
  std::vector<std::unique_ptr<EmulatedCamera>> m_cameras;
};

}  // namespace usbtest
