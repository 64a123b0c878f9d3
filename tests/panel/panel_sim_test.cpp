// The panel against the simulated camera: the settings the panel believes it
// made are the ones the camera holds, and its start-up read-back agrees with
// the camera's own defaults.
#include <QTemporaryDir>
#include <QTest>

#include "panel/panel_button.h"
#include "panel_fixture.h"
#include "sim/sim_driver.h"

namespace {

namespace id = panel_id;

TEST(PanelOnSimulatedCamera, ButtonsChangeTheCameraAndTheReadBackAgrees) {
  QTemporaryDir claims;
  ASSERT_TRUE(claims.isValid());
  qputenv("TAVROCAM_CLAIM_DIR", claims.path().toLocal8Bit());
  sim::SimOptions options;
  options.timeScale = 0.01;
  const std::shared_ptr<sim::SimDriver> driver = sim::CreateSimulatedDriver(options);
  FakeHost host(*driver);
  ASSERT_TRUE(host.camera.Open());
  {
    CRemoconDlg panel(host, nullptr, PanelTiming{0.01});
    ASSERT_TRUE(panel.Create());
    // Power-up defaults: colour on, automatic white balance, XGA out.
    EXPECT_FALSE(panel.Button(id::kColor)->IsRaised());
    EXPECT_FALSE(panel.Button(id::kAwb)->IsRaised());
    EXPECT_FALSE(panel.Button(id::kXga)->IsRaised());
    EXPECT_TRUE(panel.Button(id::kMirror)->IsRaised());

    for (int button : {id::kFlip, id::kMirror, id::kNegative, id::kDZoom, id::kRed, id::kInputSelect})
      emit panel.Button(button)->Click();
    sim::CameraSettings s = driver->Camera(0).Settings();
    EXPECT_TRUE(s.flip && s.mirror && s.negative && s.digitalZoom && s.externalInput);
    EXPECT_FALSE(s.autoWhiteBalance);
    EXPECT_EQ(host.camera.Orientation(), 3);

    // The camera agrees that Mirror is on, so the next click turns it off.
    emit panel.Button(id::kMirror)->Click();
    EXPECT_FALSE(driver->Camera(0).Settings().mirror);
    EXPECT_EQ(host.camera.Orientation(), 2);

    emit panel.Button(id::kVga)->Click();
    s = driver->Camera(0).Settings();
    EXPECT_EQ(s.monitorOut, 1);

    emit panel.Button(id::kFreeze)->Click();
    EXPECT_TRUE(driver->Camera(0).Settings().frozen);
    emit panel.Button(id::kFreeze)->Click();
    EXPECT_FALSE(driver->Camera(0).Settings().frozen);
  }
  host.camera.Close();
}

}  // namespace
