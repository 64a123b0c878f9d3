// The movie tests run offscreen, with a profile of their own.
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
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.path());
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
