// The panel's buttons driven with the mouse against the scripted camera:
// the bytes the camera receives, the looks, the panel state, the orientation
// and the main window's messages.
#include <QTest>

#include "app/messages.h"
#include "panel_fixture.h"

namespace {

namespace id = panel_id;
using Frames = std::vector<test_support::Bytes>;

using PanelCommands = PanelTest;

TEST_F(PanelCommands, FreezeToggleTalksToMainWindowAndCameraInOrder) {
  CreatePanel();
  Sent();
  host->messages.clear();
  Click(id::kFreeze);
  EXPECT_EQ(panel->State().freeze, 1);
  ASSERT_EQ(host->messages.size(), 2u);
  EXPECT_EQ(host->messages[0], std::make_pair(WM_CAM_PAUSE, std::size_t{0}));  // paused before the camera freezes
  EXPECT_EQ(host->messages[1], std::make_pair(WM_CAM_STEP, std::size_t{1}));   // one more frame after it froze
  EXPECT_EQ(Sent(), Frames{SetFrame(0x3C, 1)});
  EXPECT_TRUE(Latched(id::kFreeze) && Latched(id::kSaveImage) && Latched(id::kPrint));

  host->messages.clear();
  Click(id::kFreeze);
  EXPECT_EQ(panel->State().freeze, 0);
  EXPECT_EQ(host->messages, (std::vector<std::pair<unsigned, std::size_t>>{{WM_CAM_RESUME, 0}}));
  EXPECT_EQ(Sent(), Frames{SetFrame(0x3C, 0)});
  EXPECT_FALSE(Latched(id::kFreeze) || Latched(id::kSaveImage) || Latched(id::kPrint));
}

TEST_F(PanelCommands, SaveAndPrintActOnlyInFreezeMode) {
  CreatePanel();
  host->messages.clear();
  Click(id::kSaveImage);
  Click(id::kPrint);
  EXPECT_TRUE(host->messages.empty());
  EXPECT_FALSE(Latched(id::kSaveImage) || Latched(id::kPrint));

  Click(id::kFreeze);
  host->messages.clear();
  Sent();
  Click(id::kSaveImage);
  Click(id::kPrint);
  Click(1079);  // Save slot 5 still works while frozen
  EXPECT_EQ(host->MessageIds(), (std::vector<unsigned>{WM_CAM_SAVE_AS, WM_CAM_PRINT}));
  EXPECT_EQ(Sent(), Frames{SetFrame(0x22, 5)});
  EXPECT_TRUE(Latched(id::kSaveImage) && Latched(id::kPrint));
}

TEST_F(PanelCommands, MovieStartsOrStopsOnlyOutsideFreezeMode) {
  CreatePanel();
  host->messages.clear();
  Click(id::kMovie);
  EXPECT_EQ(host->MessageIds(), (std::vector<unsigned>{WM_CAM_MOVIE, WM_CAM_RESUME}));
  Click(id::kFreeze);
  host->messages.clear();
  panel->RecordMovie();
  EXPECT_TRUE(host->messages.empty());
}

TEST_F(PanelCommands, ZoomInFreezeModeMovesTheSelectionButNotTheLook) {
  CreatePanel();
  Click(id::kBright);
  Click(id::kFreeze);
  Sent();
  Click(id::kZoom);
  EXPECT_EQ(panel->State().adjust, 0);
  EXPECT_TRUE(Latched(id::kBright));
  EXPECT_FALSE(Latched(id::kZoom));  // its latch flag was cleared by the Bright click
  Press(id::kHoldLeft);              // inert while frozen
  Release(id::kHoldLeft);
  EXPECT_TRUE(Sent().empty());

  Click(id::kFreeze);
  Sent();
  Press(id::kHoldLeft);
  Release(id::kHoldLeft);
  EXPECT_EQ(Sent(), (Frames{SetFrame(0x0F, 1), SetFrame(0x0F, 0x0F)}));
}

TEST_F(PanelCommands, RedAndBlueSwitchWhiteBalanceToManual) {
  CreatePanel();  // the scripted camera starts with AWB on (reads 0)
  ASSERT_EQ(panel->State().awb, 1);
  ASSERT_TRUE(Latched(id::kAwb));
  Sent();
  Click(id::kRed);
  EXPECT_EQ(Sent(), Frames{SetFrame(0x80, 1)});
  EXPECT_EQ(panel->State().awb, 0);
  EXPECT_FALSE(Latched(id::kAwb));
  EXPECT_TRUE(Latched(id::kRed));
  EXPECT_EQ(panel->State().adjust, 4);

  // AWB back on while Red is selected moves the selection to Zoom.
  Click(id::kAwb);
  EXPECT_EQ(Sent(), Frames{SetFrame(0x80, 0)});
  EXPECT_EQ(panel->State().awb, 1);
  EXPECT_EQ(panel->State().adjust, 0);
  EXPECT_TRUE(Latched(id::kZoom));
  EXPECT_FALSE(Latched(id::kRed));
  EXPECT_EQ(panel->State().adjustLatched[4], 1);  // the AWB toggle keeps the latch flags

  Click(id::kBlue);
  EXPECT_EQ(Sent(), Frames{SetFrame(0x80, 1)});
  Click(id::kFocus);  // Focus raises AFocus and sends nothing
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(Latched(id::kFocus));
  EXPECT_FALSE(Latched(id::kBlue));
}

TEST_F(PanelCommands, PressAndHoldSendsStartAndStopOfTheSelectedAdjustment) {
  CreatePanel();
  Click(id::kSharp);
  Sent();
  Press(id::kHoldRight, Qt::RightButton);  // any mouse button drives it
  Release(id::kHoldRight, Qt::RightButton);
  EXPECT_EQ(Sent(), (Frames{SetFrame(0x34, 0x0E), SetFrame(0x34, 0x0D)}));

  Click(id::kRed);
  Sent();
  Press(id::kHoldLeft);
  Release(id::kHoldLeft);  // a completed click on "<<" adds nothing
  EXPECT_EQ(Sent(), (Frames{SetFrame(0x81, 0xF0), PlainFrame(0x81, 0x0D)}));

  // The stop does not depend on which button went down: MouseUp on either stops.
  Click(id::kFocus);
  Sent();
  emit Btn(id::kHoldRight)->MouseUp(1, 0, 0, 0);
  EXPECT_EQ(Sent(), Frames{SetFrame(0x0F, 0x0F)});
}

TEST_F(PanelCommands, FlipThenMirrorGiveBothAndMonitorOutResetsThem) {
  CreatePanel();
  Sent();
  Click(id::kFlip);
  EXPECT_EQ(Sent(), (Frames{ShortFrame(0x37), SetFrame(0x37, 1)}));
  EXPECT_EQ(host->camera.Orientation(), 2);
  Click(id::kMirror);
  EXPECT_EQ(Sent(), (Frames{ShortFrame(0x36), SetFrame(0x36, 1)}));
  EXPECT_EQ(host->camera.Orientation(), 3);
  EXPECT_TRUE(Latched(id::kMirror) && Latched(id::kFlip));

  Click(id::kEdge);
  Click(id::kSvga);
  EXPECT_EQ(Sent().back(), SetFrame(0x20, 2));
  EXPECT_EQ(host->camera.Orientation(), 0);
  EXPECT_FALSE(Latched(id::kMirror) || Latched(id::kFlip) || Latched(id::kEdge));
  EXPECT_TRUE(Latched(id::kColor));
  EXPECT_TRUE(Latched(id::kSvga));
  EXPECT_FALSE(Latched(id::kXga) || Latched(id::kVga));
  EXPECT_EQ(panel->State().monitorOut, 2);
  EXPECT_EQ(panel->State().mirror, 1);  // the flags wait for the next read-back
}

TEST_F(PanelCommands, FeatureReadBackCorrectsTheFlagBeforeToggling) {
  CreatePanel();
  Click(id::kNegative);  // on
  ASSERT_EQ(panel->State().negative, 1);
  driver.SetReadBack(0x31, 0);  // the camera switched it off by itself
  Sent();
  Click(id::kNegative);
  EXPECT_EQ(Sent(), (Frames{ShortFrame(0x31), SetFrame(0x31, 1)}));  // so the click switches it on again
  EXPECT_EQ(panel->State().negative, 1);
  EXPECT_TRUE(Latched(id::kNegative));

  // 0x0C is neither on (4) nor off: the flag stays as it was.
  driver.SetReadBack(0x36, 0x0C);
  Click(id::kMirror);
  EXPECT_EQ(Sent().back(), SetFrame(0x36, 1));
  EXPECT_EQ(panel->State().mirror, 1);
  driver.SetReadBack(0x36, 0x0C);
  Click(id::kMirror);
  EXPECT_EQ(Sent().back(), SetFrame(0x36, 0));
  EXPECT_EQ(panel->State().mirror, 0);
  EXPECT_EQ(host->camera.Orientation(), 0);
}

TEST_F(PanelCommands, CameraSettingButtonsAreInertInFreezeMode) {
  CreatePanel();
  Click(id::kDZoom);
  Click(id::kColor);
  Click(id::kPairSecond);
  Click(id::kFreeze);
  Sent();
  const int orientation = host->camera.Orientation();
  for (int button : {id::kXga, id::kSvga, id::kVga, id::kAutoFocus, id::kAwb, id::kDZoom, id::kMirror, id::kFlip,
                     id::kColor, id::kNegative, id::kEmboss, id::kEdge, id::kPairFirst, id::kPairSecond, id::kFocus})
    Click(button);
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(host->camera.Orientation(), orientation);
  // Each click put its own look back to what the state says.
  EXPECT_TRUE(Latched(id::kDZoom) && Latched(id::kColor) && Latched(id::kXga) && Latched(id::kAwb));
  EXPECT_FALSE(Latched(id::kMirror) || Latched(id::kEdge) || Latched(id::kPairFirst) || Latched(id::kSvga));
  EXPECT_TRUE(Latched(id::kPairSecond));
}

TEST_F(PanelCommands, MonitorOutInFreezeModeLeavesLooksForAnUnknownValue) {
  driver.SetReadBack(0x20, 7);
  CreatePanel();
  EXPECT_EQ(panel->State().monitorOut, 7);
  EXPECT_FALSE(Latched(id::kXga) || Latched(id::kSvga) || Latched(id::kVga));
  Click(id::kFreeze);
  Btn(id::kVga)->SetRaised(false);
  Click(id::kXga);
  EXPECT_TRUE(Latched(id::kVga));
  EXPECT_FALSE(Latched(id::kXga));
}

TEST_F(PanelCommands, TwoWayChoiceInputSelectAndDZoomToggle) {
  CreatePanel();
  Sent();
  Click(id::kPairSecond);
  Click(id::kPairFirst);
  EXPECT_EQ(Sent(), (Frames{SetFrame(0x24, 1), SetFrame(0x24, 0)}));
  EXPECT_EQ(panel->State().pairFirst, 1);
  EXPECT_TRUE(Latched(id::kPairFirst));
  EXPECT_FALSE(Latched(id::kPairSecond));

  Click(id::kInputSelect);
  EXPECT_EQ(Btn(id::kInputSelect)->ShownPicture(), PanelPicture::ExternalWord);
  Click(id::kInputSelect);
  EXPECT_EQ(Btn(id::kInputSelect)->ShownPicture(), PanelPicture::InternalWord);
  Click(id::kDZoom);
  Click(id::kDZoom);
  Click(id::kAutoFocus);
  EXPECT_EQ(Sent(),
            (Frames{SetFrame(0x25, 1), SetFrame(0x25, 0), SetFrame(0x3F, 1), SetFrame(0x3F, 0), SetFrame(0x60, 0)}));
  EXPECT_EQ(panel->State().externalInput, 0);
  EXPECT_EQ(panel->State().dZoom, 0);
}

TEST_F(PanelCommands, SilentCameraMakesEveryFeatureClickSwitchOn) {
  CreatePanel();
  driver.SetSilent(true);
  Sent();
  Click(id::kEmboss);
  Click(id::kEmboss);
  const Frames frames = Sent();
  EXPECT_EQ(frames, (Frames{ShortFrame(0x32), SetFrame(0x32, 1), ShortFrame(0x32), SetFrame(0x32, 1)}));
  EXPECT_TRUE(Latched(id::kEmboss));
}

}  // namespace
