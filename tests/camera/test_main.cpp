// Every test process claims cameras in a folder of its own, so tests running
// side by side (and a running application) never take each other's numbers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  std::string folder = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/camera-test-XXXXXX";
  if (::mkdtemp(folder.data()) != nullptr) ::setenv("TAVROCAM_CLAIM_DIR", folder.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
