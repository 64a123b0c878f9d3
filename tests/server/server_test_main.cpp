#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cstdlib>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The profile and camera claims of this run only.
  QTemporaryDir profile;
  if (!profile.isValid()) return 1;
  setenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit().constData(), 1);
  setenv("TAVROCAM_CLAIM_DIR", profile.path().toLocal8Bit().constData(), 1);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.path());
  curl_global_init(CURL_GLOBAL_DEFAULT);
  QApplication application(argc, argv);
  const int result = RUN_ALL_TESTS();
  curl_global_cleanup();
  return result;
}
