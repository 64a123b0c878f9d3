#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

TEST(WindowPlacement, FirstStartPanelGoesBesideTheMainFrameOnlyWhenItFitsWhole) {
  const QRect screen(0, 0, 1920, 1040);  // the available area, below it a task bar
  const QRect mainFrame(0, 0, 1034, 798);
  // Just right of the frame (no gap, no overlap), top edges level.
  EXPECT_EQ(FirstStartPanelPosition(mainFrame, {280, 500}, screen), QPoint(1034, 0));
  EXPECT_EQ(FirstStartPanelPosition(mainFrame.translated(100, 40), {280, 500}, screen), QPoint(1134, 40));
  // Touching the screen's right and bottom edges still fits; a pixel more does not.
  EXPECT_EQ(FirstStartPanelPosition(mainFrame, {886, 500}, screen), QPoint(1034, 0));
  EXPECT_EQ(FirstStartPanelPosition(mainFrame, {887, 500}, screen), QPoint(0, 0));
  EXPECT_EQ(FirstStartPanelPosition(mainFrame.translated(0, 540), {280, 500}, screen), QPoint(1034, 540));
  EXPECT_EQ(FirstStartPanelPosition(mainFrame.translated(0, 541), {280, 500}, screen), QPoint(0, 0));
  // A small screen the main window fills, and a main window above the top.
  EXPECT_EQ(FirstStartPanelPosition(QRect(0, 0, 1024, 768), {280, 500}, QRect(0, 0, 1024, 768)), QPoint(0, 0));
  EXPECT_EQ(FirstStartPanelPosition(mainFrame.translated(0, -20), {280, 500}, screen), QPoint(0, 0));
  // A second monitor to the right: the screen area given is the one judged.
  const QRect second(1920, 0, 1920, 1080);
  EXPECT_EQ(FirstStartPanelPosition(mainFrame.translated(1920, 0), {280, 500}, second), QPoint(2954, 0));
  EXPECT_EQ(FirstStartPanelPosition(mainFrame.translated(1900, 0), {280, 500}, screen), QPoint(0, 0));
  // Without any screen there is no room anywhere.
  EXPECT_EQ(FirstStartPanelPosition(mainFrame, {280, 500}, QRect()), QPoint(0, 0));
}
