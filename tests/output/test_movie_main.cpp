// The movie tests run offscreen, with a profile and camera claims of their own.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir profile;
  if (!profile.isValid()) return 1;
  setenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit().constData(), 1);
  // Camera claims of our own: a test run or a demo beside us must not hold our simulated EZUSB-0.
  setenv("TAVROCAM_CLAIM_DIR", profile.path().toLocal8Bit().constData(), 1);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.path());
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
