#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // No display is needed, not even to list the tests.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The profile goes to a folder of this run, never the user's own.
  QTemporaryDir profile;
  if (!profile.isValid()) return 1;
  setenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit().constData(), 1);
  // Camera claims of this run only: test programs running side by side
  // must not take each other's simulated camera.
  setenv("TAVROCAM_CLAIM_DIR", profile.path().toLocal8Bit().constData(), 1);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.path());
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
