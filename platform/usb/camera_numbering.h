// The numbers in the device paths. A camera keeps the number it was first
// seen with for as long as it stays attached, so unplugging one camera never
// renumbers another one a program is using; a camera plugged in takes the
// lowest free number, in bus and port order.
#pragma once

#include <vector>

#include "platform/usb/camera_list.h"

namespace platform::usb {

class CameraNumbering {
 public:
  // `attached`: the cameras attached now, in bus and port order.
  void Update(std::vector<AttachedCamera> attached);
  // Null when no camera has that number.
  const AttachedCamera* Find(int number) const;

 private:
  std::vector<AttachedCamera> m_slots;  // slot n holds camera n; an empty DeviceRef marks a free number
};

}  // namespace platform::usb
