// Claims a camera number for this process against every other process of this
// user, standing in for a named mutex "EZUSB-%d". A process that ends, however
// it ends, releases its claims.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// The error numbers a claim reports, as the system's last-error codes.
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;

class DeviceClaim {
 public:
  // Tries to claim `name`. Returns the claim when it succeeded (lastError 0);
  // otherwise null with lastError kErrorAlreadyExists (another process holds it)
  // or another error number.
  static std::unique_ptr<DeviceClaim> Create(std::string_view name, std::uint32_t& lastError);

  struct Token {  // only Create makes claims
   private:
    friend class DeviceClaim;
    Token() = default;
  };
  DeviceClaim(Token, int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
  ~DeviceClaim();
  DeviceClaim(const DeviceClaim&) = delete;
  DeviceClaim& operator=(const DeviceClaim&) = delete;

  const std::string& LockPath() const { return m_path; }

  // The folder that holds the lock files: $XDG_RUNTIME_DIR, else /tmp with the
  // user id in the name. TAVROCAM_CLAIM_DIR overrides it (tests).
  static std::string LockFolder();

 private:
  int m_fd;
  std::string m_path;
};

}  // namespace platform
