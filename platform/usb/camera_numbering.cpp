#include "platform/usb/camera_numbering.h"

#include <algorithm>

namespace platform::usb {

void CameraNumbering::Update(std::vector<AttachedCamera> attached) {
  auto isAttached = [&](const AttachedCamera& slot) {
    return std::any_of(attached.begin(), attached.end(),
                       [&](const AttachedCamera& camera) { return camera.device.Get() == slot.device.Get(); });
  };
  // The slots hold a reference to their device, so a departed camera's
  // libusb object cannot be reused for a newcomer while it is still listed.
  for (AttachedCamera& slot : m_slots) {
    if (slot.device.Get() && !isAttached(slot)) slot = AttachedCamera{};
  }
  for (AttachedCamera& camera : attached) {
    const bool numbered = std::any_of(m_slots.begin(), m_slots.end(), [&](const AttachedCamera& slot) {
      return slot.device.Get() == camera.device.Get();
    });
    if (numbered) continue;
    const auto free = std::find_if(m_slots.begin(), m_slots.end(),
                                   [](const AttachedCamera& slot) { return slot.device.Get() == nullptr; });
    if (free != m_slots.end()) {
      *free = std::move(camera);
    } else {
      m_slots.push_back(std::move(camera));
    }
  }
  while (!m_slots.empty() && m_slots.back().device.Get() == nullptr) m_slots.pop_back();
}

const AttachedCamera* CameraNumbering::Find(int number) const {
  if (number < 0 || number >= static_cast<int>(m_slots.size())) return nullptr;
  const AttachedCamera& slot = m_slots[static_cast<std::size_t>(number)];
  return slot.device.Get() ? &slot : nullptr;
}

}  // namespace platform::usb
