#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "app/window_placement.h"
#include "app_fixture.h"

TEST(WindowPlacement, PositionOffEveryScreenGoesToTheCorner) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(VisiblePosition({100, 50}, {645, 500}), QPoint(100, 50));
  // Partly visible is kept: the user can still reach it.
  EXPECT_EQ(VisiblePosition({-600, -10}, {645, 500}), QPoint(-600, -10));
  EXPECT_EQ(VisiblePosition({screen.right() - 5, 0}, {645, 500}), QPoint(screen.right() - 5, 0));
  EXPECT_EQ(VisiblePosition({screen.right() + 1, 0}, {645, 500}), QPoint(0, 0));
  EXPECT_EQ(VisiblePosition({-646, 0}, {645, 500}), QPoint(0, 0));
  EXPECT_EQ(VisiblePosition({0, screen.bottom() + 200}, {645, 500}), QPoint(0, 0));
}

TEST(WindowPlacement, MissingOrUnreadableKeysReadAsZero) {
  ClearProfile();
  EXPECT_EQ(ReadProfilePosition(kMainWindowKeys), QPoint(0, 0));
  {
    QSettings settings = Profile();
    settings.setValue("Setting/RemoconX", "not a number");
    settings.setValue("Setting/RemoconY", 77);
  }
  EXPECT_EQ(ReadProfilePosition(kRemoconKeys), QPoint(0, 77));
  WriteProfilePosition(kMainWindowKeys, {-20, 33});
  EXPECT_EQ(ReadProfilePosition(kMainWindowKeys), QPoint(-20, 33));
  EXPECT_EQ(ProfileValue("MonX"), -20);
}

TEST(WindowPlacement, RestoredPositionOfAMinimizedWindow) {
  QWidget window;
  window.resize(200, 100);
  window.move(150, 120);
  window.show();
  EXPECT_EQ(RestoredFramePosition(window), QPoint(150, 120));
  window.showMinimized();
  EXPECT_EQ(RestoredFramePosition(window), QPoint(150, 120));
}
