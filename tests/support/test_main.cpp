// The one main of the test programs. Each run gets a throw-away folder that
// holds its profile (settings, window places) and its camera claims, so test
// programs side by side, or a demo run beside them, never share settings or
// take each other's simulated camera. Built with TAVROCAM_TEST_QAPPLICATION,
// it also makes the application object, on the offscreen platform unless
// another one was chosen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef TAVROCAM_TEST_QAPPLICATION
#include <QApplication>
#include <QSettings>
#include <QString>
#endif

namespace {

class RunFolder {
 public:
  RunFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavrocam-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
  }
  ~RunFolder() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::string& Path() const { return m_path; }  // empty when it could not be made

 private:
  std::string m_path;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const RunFolder folder;
  if (folder.Path().empty()) return 1;
  ::setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
  ::setenv("TAVROCAM_CLAIM_DIR", folder.Path().c_str(), 1);
#ifdef TAVROCAM_TEST_QAPPLICATION
  // No display is needed, not even to list the tests.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder.Path()));
  QApplication application(argc, argv);
#endif
  return RUN_ALL_TESTS();
}
