// The button widget: its events and its two looks.
#include "panel/panel_button.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace {

TEST(PanelButtonWidget, FiresDownUpAndOneClickPerCompletedClick) {
  CPanelButton button;
  button.resize(60, 24);
  button.SetCaption(QStringLiteral("Zoom"));
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  QSignalSpy clicks(&button, &CPanelButton::Click);
  QSignalSpy downs(&button, &CPanelButton::MouseDown);
  QSignalSpy ups(&button, &CPanelButton::MouseUp);

  QTest::mousePress(&button, Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 5));
  ASSERT_EQ(downs.count(), 1);
  EXPECT_EQ(downs[0][0].value<short>(), 1);
  EXPECT_EQ(downs[0][1].value<short>(), 1);
  EXPECT_EQ(downs[0][2].toInt(), 10);
  EXPECT_EQ(downs[0][3].toInt(), 5);
  EXPECT_EQ(ups.count(), 0);
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 5));
  EXPECT_EQ(ups.count(), 1);
  EXPECT_EQ(clicks.count(), 1);

  // Released outside: MouseUp, but no Click.
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 5));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 5));
  EXPECT_EQ(ups.count(), 2);
  EXPECT_EQ(clicks.count(), 1);

  // Other buttons press and release but never click.
  QTest::mouseClick(&button, Qt::RightButton);
  EXPECT_EQ(downs.count(), 3);
  EXPECT_EQ(downs[2][0].value<short>(), 2);
  EXPECT_EQ(clicks.count(), 1);

  // A double click: press, release, then the second press arrives as a
  // double-click event; both halves are clicks.
  QTest::mouseClick(&button, Qt::LeftButton);
  QTest::mouseDClick(&button, Qt::LeftButton);
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 3);
  EXPECT_EQ(downs.count(), ups.count());
}

TEST(PanelButtonWidget, LatchedLookDiffersAndShowsTheLatchedPicture) {
  CPanelButton button;
  button.resize(44, 26);
  button.SetPictures(PanelPicture::GreyDisk, PanelPicture::ColouredDisk);
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  const QImage raised = button.grab().toImage();
  EXPECT_EQ(button.ShownPicture(), PanelPicture::GreyDisk);
  button.SetRaised(false);
  EXPECT_FALSE(button.IsRaised());
  EXPECT_EQ(button.ShownPicture(), PanelPicture::ColouredDisk);
  const QImage latched = button.grab().toImage();
  EXPECT_NE(raised, latched);
  // A press shows itself but does not change the stored look.
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_FALSE(button.IsRaised());
  button.SetRaised(true);
  EXPECT_EQ(button.grab().toImage(), raised);
}

}  // namespace
