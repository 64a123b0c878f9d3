#include "sim/sim_driver.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>

#include "sim/sim_camera.h"
#include "sim/traffic_log.h"

namespace sim {

namespace {

class SimDriverImpl final : public SimDriver {
 public:
  explicit SimDriverImpl(const SimOptions& options) {
    auto log = std::make_shared<TrafficLog>();
    for (int i = 0; i < options.cameraCount; ++i) m_cameras.push_back(std::make_shared<SimCameraImpl>(options, log));
    m_detached = std::make_shared<SimCameraImpl>(options, std::make_shared<TrafficLog>(std::string()));
    m_detached->Unplug();
    // For runs of the whole program that start without a camera: the
    // cameras can be opened only once this file exists, as if plugged in then.
    if (const char* path = std::getenv("TAVROCAM_SIM_PLUG_FILE"); path && *path) m_plugFile = path;
  }

  int CameraCount() const override { return static_cast<int>(m_cameras.size()); }
  SimCamera& Camera(int index) override {
    if (index < 0 || index >= CameraCount()) return *m_detached;
    return *m_cameras[static_cast<std::size_t>(index)];
  }

  platform::DeviceHandle Open(std::string_view devicePath) override {
    const int number = platform::DeviceNumberFromPath(devicePath);
    if (number < 0 || number >= CameraCount()) return platform::DeviceHandle::Null;
    if (!m_plugFile.empty()) {
      std::error_code ignored;
      if (!std::filesystem::exists(m_plugFile, ignored)) return platform::DeviceHandle::Null;
    }
    const auto& camera = m_cameras[static_cast<std::size_t>(number)];
    const auto generation = camera->Open();
    if (!generation) return platform::DeviceHandle::Null;
    std::lock_guard guard(m_lock);
    const auto id = ++m_lastHandle;
    m_handles.emplace(id, std::make_shared<HandleState>(camera, *generation));
    return static_cast<platform::DeviceHandle>(id);
  }

  bool DeviceIoControl(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                       std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) override {
    bytesReturned = 0;
    const auto state = Find(handle);
    if (!state) return false;
    return state->camera->Control(*state, code, input, buffer, bytesReturned);
  }

  void CancelIo(platform::DeviceHandle handle) override {
    if (const auto state = Find(handle)) {
      ++state->cancelEpoch;
      state->camera->WakeWaiters();
    }
  }

  void Close(platform::DeviceHandle handle) override {
    std::shared_ptr<HandleState> state;
    {
      std::lock_guard guard(m_lock);
      auto it = m_handles.find(static_cast<std::uintptr_t>(handle));
      if (it == m_handles.end()) return;
      state = std::move(it->second);
      m_handles.erase(it);
    }
    state->closed = true;
    ++state->cancelEpoch;
    state->camera->WakeWaiters();
  }

 private:
  std::shared_ptr<HandleState> Find(platform::DeviceHandle handle) {
    std::lock_guard guard(m_lock);
    auto it = m_handles.find(static_cast<std::uintptr_t>(handle));
    return it == m_handles.end() ? nullptr : it->second;
  }

  std::vector<std::shared_ptr<SimCameraImpl>> m_cameras;
  std::shared_ptr<SimCameraImpl> m_detached;  // answers for a number that has no camera
  std::string m_plugFile;                     // empty: the cameras are there from the start
  std::mutex m_lock;
  std::uintptr_t m_lastHandle = 0;
  std::unordered_map<std::uintptr_t, std::shared_ptr<HandleState>> m_handles;
};

}  // namespace

std::shared_ptr<SimDriver> CreateSimulatedDriver(const SimOptions& options) {
  SimOptions checked = options;
  checked.cameraCount = std::clamp(checked.cameraCount, 0, platform::kMaxDeviceNumber + 1);
  if (!(checked.timeScale > 0.0)) checked.timeScale = 1.0;
  checked.timeScale = std::clamp(checked.timeScale, 1e-4, 1e4);
  return std::make_shared<SimDriverImpl>(checked);
}

}  // namespace sim
