#include "panel_fixture.h"

#include <QTest>

void PanelTest::SetUp() {
  ASSERT_TRUE(claimDir.isValid());
  qputenv("TAVROCAM_CLAIM_DIR", claimDir.path().toLocal8Bit());
  host = std::make_unique<FakeHost>(driver);
  host->commandsSoFar = [this] { return driver.Commands().size(); };
}

void PanelTest::TearDown() {
  panel.reset();
  host->camera.Close();
}

void PanelTest::CreatePanel(bool openLink) {
  if (openLink) {
    ASSERT_TRUE(host->camera.Open());
  }
  panel = std::make_unique<CRemoconDlg>(*host, nullptr, PanelTiming{0.01});
  ASSERT_TRUE(panel->Create());
  panel->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
}

CPanelButton* PanelTest::Btn(int id) const {
  CPanelButton* button = panel->Button(id);
  EXPECT_NE(button, nullptr) << id;
  return button;
}

void PanelTest::Click(int id) {
  CPanelButton* button = Btn(id);
  if (!button) return;
  if (button->isVisible())
    QTest::mouseClick(button, Qt::LeftButton);
  else
    emit button->Click();
}

void PanelTest::Press(int id, Qt::MouseButton button) { QTest::mousePress(Btn(id), button); }
void PanelTest::Release(int id, Qt::MouseButton button) { QTest::mouseRelease(Btn(id), button); }

std::vector<test_support::Bytes> PanelTest::Sent() {
  auto frames = driver.Commands();
  driver.Clear();
  return frames;
}

bool PanelTest::Latched(int id) const {
  const CPanelButton* button = panel->Button(id);
  return button && !button->IsRaised();
}
