// The layout and button tables, walked against a live panel: every button
// sits where the layout says and sends what the button table says.
#include <set>
#include <string>

#include <QFontInfo>

#include "panel/button_table.h"
#include "panel/panel_layout.h"
#include "panel_fixture.h"

namespace {

TEST(PanelLayoutTable, HoldsEveryControlOnceWithinThePanel) {
  const auto layout = PanelLayout();
  ASSERT_EQ(layout.size(), static_cast<std::size_t>(kPanelControlCount));
  EXPECT_EQ(layout.front().id, panel_id::kBackground);
  std::set<int> ids;
  std::set<int> hidden;
  int buttons = 0;
  for (const PanelControl& c : layout) {
    EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
    EXPECT_LE(c.x + c.cx, kPanelWidthDlu) << c.id;
    EXPECT_LE(c.y + c.cy, kPanelHeightDlu) << c.id;
    if (!c.visible) hidden.insert(c.id);
    if (c.kind == ControlKind::Button) ++buttons;
  }
  EXPECT_EQ(buttons, 69);
  EXPECT_EQ(hidden, (std::set<int>{1003, 1127, 1128, 1129}));
  // Spot checks where the grids' ids jump.
  EXPECT_STREQ(FindPanelControl(1121)->caption, "15");
  EXPECT_EQ(FindPanelControl(1122)->x, 34 + 14 * 7);
  EXPECT_EQ(FindPanelControl(1122)->y, 204);
  EXPECT_STREQ(FindPanelControl(1124)->caption, "16");
  EXPECT_EQ(FindPanelControl(1124)->y, 233);
  EXPECT_EQ(FindPanelControl(1089)->y, 223);
  EXPECT_STREQ(FindPanelControl(1069)->caption, "4");
  EXPECT_EQ(FindPanelControl(1069)->x, 129);
}

// A tooltip tells a button from every other: no button without one, none
// sharing one (the two slot grids and the two preset rows included), and a
// numbered key's tooltip names its number.
TEST(PanelLayoutTable, GivesEveryButtonItsOwnTooltip) {
  std::set<std::string> seen;
  for (const PanelControl& c : PanelLayout()) {
    const std::string tip = c.tooltip ? c.tooltip : "";
    if (c.kind != ControlKind::Button) {
      EXPECT_EQ(tip, "") << c.id;
      continue;
    }
    EXPECT_GE(tip.size(), 5u) << c.id;
    EXPECT_TRUE(seen.insert(tip).second) << "tooltip shared: " << tip;
    const std::string caption = c.caption ? c.caption : "";
    if (!caption.empty() && caption.find_first_not_of("0123456789") == std::string::npos) {
      EXPECT_TRUE(tip.ends_with(" " + caption) || tip.find(" " + caption + ":") != std::string::npos)
          << c.id << ": " << tip;
    }
  }
  EXPECT_EQ(std::string(FindPanelControl(panel_id::kFreeze)->tooltip), "Freeze the picture");
  EXPECT_EQ(std::string(FindPanelControl(panel_id::kXga)->tooltip), "Monitor out: XGA");
  EXPECT_EQ(std::string(FindPanelControl(panel_id::kPresetRun[2])->tooltip), "Preset 3: recall");
  EXPECT_EQ(std::string(FindPanelControl(panel_id::SlotId(panel_id::kRecallSlots, 16))->tooltip), "Recall slot 16");
}

TEST(PanelButtonTable, BindsEveryButtonAndOnlyButtons) {
  std::set<int> bound;
  int clickHandlers = 0;
  for (const ButtonBinding& b : ButtonTable()) {
    EXPECT_TRUE(bound.insert(b.id).second) << "duplicate binding " << b.id;
    const PanelControl* entry = FindPanelControl(b.id);
    ASSERT_NE(entry, nullptr) << b.id;
    EXPECT_EQ(entry->kind, ControlKind::Button) << b.id;
    if (b.action != ButtonAction::PressHold) ++clickHandlers;
  }
  EXPECT_EQ(bound.size(), 69u);
  EXPECT_EQ(clickHandlers, 67);
}

TEST(PanelButtonTable, SlotAndPresetValuesFollowTheCaptions) {
  for (const ButtonBinding& b : ButtonTable()) {
    if (b.action != ButtonAction::Send) continue;
    const int n = QString::fromLatin1(FindPanelControl(b.id)->caption).toInt();
    if (b.code == 0x7D || b.code == 0x7E) {
      EXPECT_EQ(b.value, n - 1) << b.id;
    } else if (b.code == 0x22 || b.code == 0x23) {
      EXPECT_EQ(b.value, n) << b.id;
    }
  }
  EXPECT_EQ(FindButtonBinding(1121)->value, 15);
  EXPECT_EQ(FindButtonBinding(1124)->value, 16);
  EXPECT_EQ(FindButtonBinding(1124)->code, 0x23);
}

TEST(PanelDialogUnits, ComeFromTheArialMetricFont) {
  const QFont font = PanelDialogFont();
  EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
  const DialogBaseUnits units = DialogBaseUnits::Of(font);
  EXPECT_GT(units.cx, 3);
  EXPECT_GT(units.cy, units.cx);
  // Edges are converted, so neighbours in a grid stay evenly spaced.
  const QRect a = units.ToPixels(QRect(34, 195, 13, 8));
  const QRect b = units.ToPixels(QRect(48, 195, 13, 8));
  EXPECT_LT(a.right(), b.left());
}

using PanelTableWalk = PanelTest;

TEST_F(PanelTableWalk, PlacesEveryControlFromTheLayout) {
  CreatePanel();
  const DialogBaseUnits& units = panel->BaseUnits();
  EXPECT_EQ(panel->windowTitle(), QStringLiteral("REMOCON"));
  EXPECT_EQ(panel->size(), QSize(units.X(157), units.Y(288)));
  for (const PanelControl& c : PanelLayout()) {
    QWidget* control = panel->Control(c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(control->geometry(), units.ToPixels(c.DialogRect())) << c.id;
    EXPECT_EQ(control->isVisible(), c.visible) << c.id;
    if (c.kind == ControlKind::Button) {
      EXPECT_EQ(panel->Button(c.id)->Caption(), QString::fromLatin1(c.caption)) << c.id;
      EXPECT_EQ(control->toolTip(), QString::fromUtf8(c.tooltip)) << c.id;
    }
  }
  // The background lies beneath everything else.
  EXPECT_EQ(panel->children().indexOf(panel->Control(panel_id::kBackground)), 0);
}

TEST_F(PanelTableWalk, SendButtonsSendTheirCommandInBothModes) {
  CreatePanel();
  for (const bool frozen : {false, true}) {
    if (frozen) Click(panel_id::kFreeze);
    Sent();
    for (const ButtonBinding& b : ButtonTable()) {
      if (b.action != ButtonAction::Send) continue;
      Click(b.id);
      const auto frames = Sent();
      ASSERT_EQ(frames.size(), 1u) << b.id;
      EXPECT_EQ(frames[0], SetFrame(b.code, b.value)) << b.id;
    }
  }
}

}  // namespace
