// The device claim between processes: a second claim is refused, and a
// process that ends, even by kill -9, gives its claims back.
#include "platform/device_claim.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace {

using platform::DeviceClaim;

class PlatformClaim : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = testing::TempDir() + "claims-" + std::to_string(::getpid());
    ::mkdir(m_folder.c_str(), 0700);
    ::setenv("TAVROCAM_CLAIM_DIR", m_folder.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("TAVROCAM_CLAIM_DIR"); }

  // Runs a claim attempt in a child process; its last error, or -1.
  static int ClaimInChild(const char* name) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::uint32_t error = 0;
      auto claim = DeviceClaim::Create(name, error);
      ::_exit(claim ? 0 : static_cast<int>(error & 0xFF));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string m_folder;
};

TEST_F(PlatformClaim, SecondClaimIsRefusedUntilTheFirstIsReleased) {
  std::uint32_t error = 99;
  auto first = DeviceClaim::Create("EZUSB-0", error);
  ASSERT_TRUE(first);
  EXPECT_EQ(error, platform::kErrorSuccess);
  EXPECT_EQ(first->LockPath().rfind(m_folder, 0), 0u);

  EXPECT_EQ(ClaimInChild("EZUSB-0"), static_cast<int>(platform::kErrorAlreadyExists));
  EXPECT_EQ(ClaimInChild("EZUSB-1"), 0) << "another camera number is free";
  auto again = DeviceClaim::Create("EZUSB-0", error);
  EXPECT_FALSE(again) << "in the same process too";
  EXPECT_EQ(error, platform::kErrorAlreadyExists);

  first.reset();
  EXPECT_EQ(ClaimInChild("EZUSB-0"), 0);
  EXPECT_TRUE(DeviceClaim::Create("EZUSB-0", error));
}

TEST_F(PlatformClaim, AKilledHolderReleasesItsClaim) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    std::uint32_t error = 0;
    auto claim = DeviceClaim::Create("EZUSB-3", error);
    const char byte = claim ? 'y' : 'n';
    (void)!::write(ready[1], &byte, 1);
    for (;;) ::pause();
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  ASSERT_EQ(byte, 'y');

  std::uint32_t error = 0;
  EXPECT_FALSE(DeviceClaim::Create("EZUSB-3", error));
  EXPECT_EQ(error, platform::kErrorAlreadyExists);

  ::kill(holder, SIGKILL);
  int status = 0;
  ::waitpid(holder, &status, 0);
  EXPECT_TRUE(DeviceClaim::Create("EZUSB-3", error));
  EXPECT_EQ(error, platform::kErrorSuccess);
}

TEST_F(PlatformClaim, UnusableFolderIsAnErrorNotAClaim) {
  ::setenv("TAVROCAM_CLAIM_DIR", "/nonexistent-tavrocam-folder", 1);
  std::uint32_t error = 0;
  EXPECT_FALSE(DeviceClaim::Create("EZUSB-0", error));
  EXPECT_NE(error, platform::kErrorSuccess);
  EXPECT_NE(error, platform::kErrorAlreadyExists);
}

}  // namespace
