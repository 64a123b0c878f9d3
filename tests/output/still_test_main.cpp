// Printing and image reading want a GUI application object; the tests run
// on the offscreen platform, with a throw-away profile for window positions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir profile;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(profile.path()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
