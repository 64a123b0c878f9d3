#include "emulated_camera.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace usbtest {

namespace {

void Append16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Device descriptor, then one configuration with one vendor-specific
// interface whose endpoints are all bulk, 512-byte packets.
std::vector<std::uint8_t> Descriptors(const CameraSpec& description) {
  std::vector<std::uint8_t> bytes{18, 1, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 64};
  Append16(bytes, description.vendorId);
  Append16(bytes, description.productId);
  bytes.insert(bytes.end(), {0x01, 0x00, 0, 0, 0, 1});
  const auto total = static_cast<std::uint16_t>(9 + 9 + 7 * description.endpoints.size());
  bytes.insert(bytes.end(), {9, 2});
  Append16(bytes, total);
  bytes.insert(bytes.end(), {1, 1, 0, 0x80, 50});
  bytes.insert(bytes.end(), {9, 4, 0, 0, static_cast<std::uint8_t>(description.endpoints.size()), 0xFF, 0, 0, 0});
  for (std::uint8_t endpoint : description.endpoints) bytes.insert(bytes.end(), {7, 5, endpoint, 2, 0x00, 0x02, 0});
  return bytes;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char digits[3];
  for (std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

std::string Node(int bus, int address) {
  char text[32];
  std::snprintf(text, sizeof text, "bus/usb/%03d/%03d", bus, address);
  return text;
}

std::string SysName(int bus, const std::string& portPath) { return std::to_string(bus) + "-" + portPath; }

}  // namespace

EmulatedCamera::EmulatedCamera(UMockdevTestbed* testbed, CameraSpec description)
    : m_testbed(testbed), m_description(std::move(description)) {
  const std::string node = Node(m_description.bus, m_description.address);
  m_devNode = "/dev/" + node;
  m_handler = umockdev_ioctl_base_new();
  g_signal_connect_after(m_handler, "handle-ioctl", G_CALLBACK(&EmulatedCamera::OnIoctl), this);
  // The handler goes on first, so libusb can open the device the moment it appears.
  if (!umockdev_testbed_attach_ioctl(m_testbed, m_devNode.c_str(), m_handler, nullptr)) {
    throw std::runtime_error("umockdev could not attach the ioctl handler");
  }
  const std::string hex = Hex(Descriptors(m_description));
  const std::string name = SysName(m_description.bus, m_description.portPath);
  const std::string record = "P: /devices/pci0000:00/0000:00:14.0/usb" + std::to_string(m_description.bus) + "/" +
                             name +
                             "\n"
                             "N: " +
                             node +
                             "\n"
                             "E: SUBSYSTEM=usb\n"
                             "E: DEVTYPE=usb_device\n"
                             "E: DRIVER=usb\n"
                             "E: DEVNAME=" +
                             m_devNode +
                             "\n"
                             "E: BUSNUM=" +
                             node.substr(8, 3) +
                             "\n"
                             "E: DEVNUM=" +
                             node.substr(12, 3) +
                             "\n"
                             "A: busnum=" +
                             std::to_string(m_description.bus) +
                             "\\n\n"
                             "A: devnum=" +
                             std::to_string(m_description.address) +
                             "\\n\n"
                             "A: devpath=" +
                             m_description.portPath +
                             "\\n\n"
                             "A: speed=480\\n\n"
                             "A: bConfigurationValue=1\\n\n"
                             "H: descriptors=" +
                             hex + "\n";
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(m_testbed, record.c_str(), &error)) {
    std::string message = error ? error->message : "unknown";
    if (error) g_error_free(error);
    throw std::runtime_error("umockdev could not add the device: " + message);
  }
  m_sysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(m_description.bus) + "/" + name;
}

EmulatedCamera::~EmulatedCamera() {
  umockdev_testbed_detach_ioctl(m_testbed, m_devNode.c_str(), nullptr);
  std::lock_guard guard(m_lock);
  for (UMockdevIoctlData* urb : m_pending) umockdev_ioctl_data_unref(urb);
  for (Finished& finished : m_finished) umockdev_ioctl_data_unref(finished.urb);
  g_object_unref(m_handler);
}

void EmulatedCamera::SetBulkMode(BulkMode mode) {
  std::lock_guard guard(m_lock);
  m_bulkMode = mode;
}

void EmulatedCamera::SetControlInUnanswered(bool unanswered) {
  std::lock_guard guard(m_lock);
  m_controlInUnanswered = unanswered;
}

void EmulatedCamera::SetReply(std::uint8_t request, std::vector<std::uint8_t> reply) {
  std::lock_guard guard(m_lock);
  m_replies.emplace_back(request, std::move(reply));
}

void EmulatedCamera::SetClaimedElsewhere(bool claimed) {
  std::lock_guard guard(m_lock);
  m_claimedElsewhere = claimed;
}

void EmulatedCamera::Unplug() {
  {
    std::lock_guard guard(m_lock);
    m_unplugged = true;
    for (UMockdevIoctlData* urb : m_pending) m_finished.push_back({urb, -ESHUTDOWN});
    m_pending.clear();
  }
  umockdev_testbed_uevent(m_testbed, m_sysPath.c_str(), "remove");
  umockdev_testbed_remove_device(m_testbed, m_sysPath.c_str());
}

std::vector<ControlRequest> EmulatedCamera::ControlRequests() const {
  std::lock_guard guard(m_lock);
  return m_controlRequests;
}

std::vector<BulkRequest> EmulatedCamera::BulkRequests() const {
  std::lock_guard guard(m_lock);
  return m_bulkRequests;
}

int EmulatedCamera::PendingCount() const {
  std::lock_guard guard(m_lock);
  return static_cast<int>(m_pending.size());
}

int EmulatedCamera::DiscardCount() const {
  std::lock_guard guard(m_lock);
  return m_discards;
}

int EmulatedCamera::ClaimCount() const {
  std::lock_guard guard(m_lock);
  return m_claims;
}

std::vector<std::uint8_t> EmulatedCamera::ClearedHalts() const {
  std::lock_guard guard(m_lock);
  return m_clearedHalts;
}

int EmulatedCamera::ReleaseCount() const {
  std::lock_guard guard(m_lock);
  return m_releases;
}

int EmulatedCamera::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, EmulatedCamera* self) {
  return self->HandleIoctl(client) ? TRUE : FALSE;
}

bool EmulatedCamera::HandleIoctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* capabilities = umockdev_ioctl_data_resolve(argument, 0, sizeof(std::uint32_t), nullptr);
      // Scatter-gather and no packet-size limit keep a 65,024-byte read one request.
      const std::uint32_t value = USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                  USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      std::memcpy(capabilities->data, &value, sizeof value);
      umockdev_ioctl_data_unref(capabilities);
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE: {
      std::lock_guard guard(m_lock);
      if (m_unplugged) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
      } else if (m_claimedElsewhere) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);
      } else {
        ++m_claims;
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return true;
    }
    case USBDEVFS_RELEASEINTERFACE: {
      std::lock_guard guard(m_lock);
      ++m_releases;
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:  // disconnecting a kernel driver: none is bound
      umockdev_ioctl_client_complete(client, -1, ENODATA);
      return true;
    case USBDEVFS_CLEAR_HALT: {
      UMockdevIoctlData* endpoint = umockdev_ioctl_data_resolve(argument, 0, sizeof(unsigned int), nullptr);
      unsigned int address = 0;
      std::memcpy(&address, endpoint->data, sizeof address);
      umockdev_ioctl_data_unref(endpoint);
      std::lock_guard guard(m_lock);
      m_clearedHalts.push_back(static_cast<std::uint8_t>(address));
      if (m_bulkMode == BulkMode::Stall) m_bulkMode = BulkMode::Fill;
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_CONNECT:
    case USBDEVFS_RESETEP: umockdev_ioctl_client_complete(client, 0, 0); return true;
    case USBDEVFS_SUBMITURB: return Submit(client, argument);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: return Reap(client, argument);
    case USBDEVFS_DISCARDURB: return Discard(client, argument);
    default: umockdev_ioctl_client_complete(client, -1, ENOTTY); return true;
  }
}

bool EmulatedCamera::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* argument) {
  UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(argument, 0, sizeof(usbdevfs_urb), nullptr);
  auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
  // A local copy that umockdev writes back when the request completes; the
  // same address space would allow direct access, but only the copy keeps
  // ThreadSanitizer informed of the hand-over.
  UMockdevIoctlData* bufferData = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                              static_cast<gsize>(urb->buffer_length), nullptr);
  auto* buffer = bufferData->data;
  umockdev_ioctl_data_unref(bufferData);  // the URB's copy keeps it
  std::lock_guard guard(m_lock);
  if (m_unplugged) {
    umockdev_ioctl_data_unref(urbData);
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return true;
  }
  if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
    ControlRequest control;
    control.requestType = buffer[0];
    control.request = buffer[1];
    control.value = static_cast<std::uint16_t>(buffer[2] | (buffer[3] << 8));
    control.index = static_cast<std::uint16_t>(buffer[4] | (buffer[5] << 8));
    control.length = static_cast<std::uint16_t>(buffer[6] | (buffer[7] << 8));
    int moved = 0;
    if (control.requestType & 0x80) {
      std::vector<std::uint8_t> reply(control.length, 0xEE);
      for (const auto& [code, bytes] : m_replies) {
        if (code == control.request) reply = bytes;
      }
      moved = static_cast<int>(std::min<std::size_t>(reply.size(), control.length));
      if (moved > 0) std::memcpy(buffer + 8, reply.data(), static_cast<std::size_t>(moved));
    } else {
      control.data.assign(buffer + 8, buffer + 8 + control.length);
      moved = control.length;
    }
    const bool answered = !(m_controlInUnanswered && (control.requestType & 0x80));
    m_controlRequests.push_back(std::move(control));
    urb->actual_length = moved;
    if (answered) {
      m_finished.push_back({urbData, 0});
    } else {
      m_pending.push_back(urbData);
    }
  } else {
    m_bulkRequests.push_back({urb->endpoint, urb->buffer_length});
    if (m_bulkMode == BulkMode::Fill) {
      for (int i = 0; i < urb->buffer_length; ++i) buffer[i] = static_cast<std::uint8_t>((urb->endpoint + i) & 0xFF);
      urb->actual_length = urb->buffer_length;
      m_finished.push_back({urbData, 0});
    } else if (m_bulkMode == BulkMode::Stall) {
      m_finished.push_back({urbData, -EPIPE});
    } else {
      m_pending.push_back(urbData);
    }
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

bool EmulatedCamera::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* argument) {
  std::lock_guard guard(m_lock);
  if (m_finished.empty()) {
    umockdev_ioctl_client_complete(client, -1, m_unplugged && m_pending.empty() ? ENODEV : EAGAIN);
    return true;
  }
  Finished finished = m_finished.front();
  m_finished.erase(m_finished.begin());
  auto* urb = reinterpret_cast<usbdevfs_urb*>(finished.urb->data);
  urb->status = finished.status;
  if (finished.status != 0 && urb->type != USBDEVFS_URB_TYPE_CONTROL) urb->actual_length = 0;
  UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(argument, 0, sizeof(void*), nullptr);
  umockdev_ioctl_data_set_ptr(pointer, 0, finished.urb);
  umockdev_ioctl_data_unref(pointer);
  umockdev_ioctl_data_unref(finished.urb);
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

bool EmulatedCamera::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* argument) {
  void* target = nullptr;
  std::memcpy(&target, argument->data, sizeof target);
  std::lock_guard guard(m_lock);
  const auto found = std::find_if(m_pending.begin(), m_pending.end(), [&](UMockdevIoctlData* urb) {
    return urb->client_addr == reinterpret_cast<gulong>(target);
  });
  if (found == m_pending.end()) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return true;
  }
  ++m_discards;
  m_finished.push_back({*found, -ENOENT});
  m_pending.erase(found);
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

EmulatedBus::EmulatedBus() : m_testbed(umockdev_testbed_new()) {}

void EmulatedBus::TestbedRelease::operator()(UMockdevTestbed* testbed) const { g_object_unref(testbed); }

EmulatedCamera& EmulatedBus::Add(CameraSpec description) {
  m_cameras.push_back(std::make_unique<EmulatedCamera>(m_testbed.get(), std::move(description)));
  return *m_cameras.back();
}

}  // namespace usbtest
