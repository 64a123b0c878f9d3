// What the panel's buttons do: camera commands, the main window's actions,
// the panel's copy of the camera's switches and the buttons' looks.
#include "camera/usb_camera.h"
#include "panel/panel_button.h"
#include "panel/remocon_dlg.h"

namespace {

// The row of a button the panel always has.
const ButtonBinding& Row(int id) { return *FindButtonBinding(id); }

}  // namespace

void CRemoconDlg::OnClick(const ButtonBinding& binding) {
  switch (binding.action) {
    case ButtonAction::MonitorOut: OnMonitorOut(binding); break;
    case ButtonAction::FreezeToggle: OnFreezeToggle(binding); break;
    case ButtonAction::Movie: OnMovie(); break;
    case ButtonAction::SaveImage: OnSaveImage(); break;
    case ButtonAction::PrintImage: OnPrintImage(); break;
    case ButtonAction::AdjustSelect: OnAdjustSelect(binding); break;
    case ButtonAction::PressHold: break;  // only its MouseDown and MouseUp act
    case ButtonAction::AutoFocus: OnAutoFocus(binding); break;
    case ButtonAction::WhiteBalance: OnWhiteBalance(binding); break;
    case ButtonAction::DZoom: OnDZoom(binding); break;
    case ButtonAction::Feature: OnFeature(binding); break;
    case ButtonAction::PairChoice: OnPairChoice(binding); break;
    case ButtonAction::InputSelect: OnInputSelect(binding); break;
    case ButtonAction::Send: Camera().SendCommand(binding.code, binding.value); break;
  }
}

void CRemoconDlg::ShowMonitorOut(int value) {
  CPanelButton* const selected = value == 0 ? m_btnXga : value == 1 ? m_btnVga : value == 2 ? m_btnSvga : nullptr;
  if (!selected) return;
  for (CPanelButton* button : {m_btnXga, m_btnVga, m_btnSvga}) {
    ShowLatched(button, button == selected);
  }
}

void CRemoconDlg::OnMonitorOut(const ButtonBinding& binding) {
  if (m_bFreeze) {
    ShowMonitorOut(m_nMonitorOut);
    return;
  }
  const int value = binding.value;
  Pause(100);  // the camera's own pace before a resolution change, not a wait on us
  Camera().SendCommand(binding.code, binding.value);
  m_nMonitorOut = value;
  // After a resolution change the camera shows colour with every effect off;
  // the looks say so, the flags are corrected by the next read-back.
  Raise(m_btnMirror);
  Raise(m_btnFlip);
  Camera().SetOrientation(0);
  Latch(m_btnColor);
  Raise(m_btnEdge);
  Raise(m_btnEmboss);
  Raise(m_btnNegative);
  ShowMonitorOut(value);
}

void CRemoconDlg::OnFreezeToggle(const ButtonBinding& binding) {
  if (!m_bFreeze) {
    m_bFreeze = 1;
    m_host.Pause();
    Camera().SendCommand(binding.code, binding.value);
    m_host.Step();  // fetches the held picture, then stops again
    Latch(m_btnFreeze);
    Latch(m_btnSave);
    Latch(m_btnPrint);
  } else {
    m_bFreeze = 0;
    m_host.Resume();
    Camera().SendCommand(binding.code, binding.offValue);
    Raise(m_btnFreeze);
    Raise(m_btnSave);
    Raise(m_btnPrint);
  }
}

void CRemoconDlg::OnMovie() {
  if (m_bFreeze) return;
  m_host.Movie();
  m_host.Resume();
}

void CRemoconDlg::OnSaveImage() { OnFrozenPictureKey(m_btnSave, &IRemoconHost::SaveAs); }

void CRemoconDlg::OnPrintImage() { OnFrozenPictureKey(m_btnPrint, &IRemoconHost::Print); }

void CRemoconDlg::OnFrozenPictureKey(CPanelButton* button, void (IRemoconHost::*action)()) {
  // Only a frozen picture is saved or printed; in live view the key springs back.
  if (!m_bFreeze) {
    Raise(button);
    return;
  }
  Latch(button);
  (m_host.*action)();
}

void CRemoconDlg::OnAdjustSelect(const ButtonBinding& binding) {
  const int index = binding.index;
  const auto i = static_cast<std::size_t>(index);
  if (m_bFreeze) {
    m_nAdjust = index;
    ShowLatched(m_btnAdjust[i], m_bAdjustLatched[i] != 0);
    return;
  }
  const bool manualBalance = index == static_cast<int>(Adjust::Red) || index == static_cast<int>(Adjust::Blue);
  if (index == static_cast<int>(Adjust::Focus)) Raise(m_btnAFocus);
  if (manualBalance) {
    m_bAwb = 0;
    Raise(m_btnAwb);
  }
  for (CPanelButton* selector : m_btnAdjust) Raise(selector);
  m_nAdjust = index;
  m_bAdjustLatched.fill(0);
  m_bAdjustLatched[i] = 1;
  Latch(m_btnAdjust[i]);
  if (binding.code != 0) Camera().SendCommand(binding.code, binding.value);
}

void CRemoconDlg::OnHoldDown(const ButtonBinding& binding) {
  if (m_bFreeze) return;
  const std::optional<HoldCommand> hold = HoldCommandFor(m_nAdjust);
  if (!hold) return;
  Camera().SendCommand(hold->code, binding.index == 0 ? hold->startLeft : hold->startRight);
}

void CRemoconDlg::OnHoldUp() {
  if (m_bFreeze) return;
  const std::optional<HoldCommand> hold = HoldCommandFor(m_nAdjust);
  if (!hold) return;
  if (hold->plainStop)
    Camera().SendPlainCommand(hold->code, hold->stop);
  else
    Camera().SendCommand(hold->code, hold->stop);
}

void CRemoconDlg::OnAutoFocus(const ButtonBinding& binding) {
  if (m_bFreeze) return;
  Camera().SendCommand(binding.code, binding.value);
}

void CRemoconDlg::OnWhiteBalance(const ButtonBinding& binding) {
  if (m_bFreeze) {
    ShowLatched(m_btnAwb, m_bAwb != 0);
    return;
  }
  FlipKey(m_btnAwb, m_bAwb, binding);
  // Red and Blue adjust the manual balance only; leave them for Zoom.
  if (m_nAdjust == static_cast<int>(Adjust::Red) || m_nAdjust == static_cast<int>(Adjust::Blue))
    m_nAdjust = static_cast<int>(Adjust::Zoom);
  for (CPanelButton* selector : m_btnAdjust) Raise(selector);
  Latch(m_btnAdjust[static_cast<std::size_t>(m_nAdjust)]);
}

void CRemoconDlg::OnDZoom(const ButtonBinding& binding) {
  if (m_bFreeze) {
    ShowLatched(m_btnDZoom, m_bDZoom != 0);
    return;
  }
  FlipKey(m_btnDZoom, m_bDZoom, binding);
}

void CRemoconDlg::FlipKey(CPanelButton* button, int& flag, const ButtonBinding& binding) {
  flag = flag ? 0 : 1;
  ShowLatched(button, flag != 0);
  Camera().SendCommand(binding.code, flag ? binding.value : binding.offValue);
}

int& CRemoconDlg::FeatureFlag(Feature feature) {
  switch (feature) {
    case Feature::Mirror: return m_bMirror;
    case Feature::Flip: return m_bFlip;
    case Feature::Color: return m_bColor;
    case Feature::Negative: return m_bNegative;
    case Feature::Emboss: return m_bEmboss;
    case Feature::Edge: break;
  }
  return m_bEdge;
}

CPanelButton* CRemoconDlg::FeatureButton(Feature feature) const {
  switch (feature) {
    case Feature::Mirror: return m_btnMirror;
    case Feature::Flip: return m_btnFlip;
    case Feature::Color: return m_btnColor;
    case Feature::Negative: return m_btnNegative;
    case Feature::Emboss: return m_btnEmboss;
    case Feature::Edge: break;
  }
  return m_btnEdge;
}

void CRemoconDlg::OnFeature(const ButtonBinding& binding) {
  const auto feature = static_cast<Feature>(binding.index);
  int& flag = FeatureFlag(feature);
  CPanelButton* const button = FeatureButton(feature);
  if (m_bFreeze) {
    if (flag == 1) {
      Latch(button);
    } else {
      Raise(button);
      flag = 0;
    }
    return;
  }
  // The camera may have changed the setting itself (a resolution change
  // resets the effects): ask it first. An answer that is neither on nor off
  // tells nothing and leaves the flag alone.
  const int reply = Camera().SendShortCommand(binding.code);
  if (reply == binding.readsOn)
    flag = 1;
  else if (reply == 0)
    flag = 0;
  FlipKey(button, flag, binding);
  if (feature == Feature::Mirror || feature == Feature::Flip) UpdateOrientation();
}

void CRemoconDlg::UpdateOrientation() { Camera().SetOrientation((m_bMirror ? 1 : 0) + (m_bFlip ? 2 : 0)); }

void CRemoconDlg::OnPairChoice(const ButtonBinding& binding) {
  const bool first = binding.value == 0;
  if (m_bFreeze) {
    CPanelButton* const clicked = first ? m_btnPairFirst : m_btnPairSecond;
    ShowLatched(clicked, m_bPairFirst == (first ? 1 : 0));
  } else {
    Camera().SendCommand(binding.code, binding.value);
    if (first) {
      Latch(m_btnPairFirst);
      Raise(m_btnPairSecond);
    } else {
      Raise(m_btnPairFirst);
      Latch(m_btnPairSecond);
    }
    m_bPairFirst = first ? 1 : 0;
  }
  Pause(100);  // the camera's own pace between two-way choices, not a wait on us
}

void CRemoconDlg::OnInputSelect(const ButtonBinding& binding) {
  if (m_bExternalInput) {
    Camera().SendCommand(binding.code, binding.offValue);
    Raise(m_btnInput);
    m_bExternalInput = 0;
  } else {
    Camera().SendCommand(binding.code, binding.value);
    Latch(m_btnInput);
    m_bExternalInput = 1;
  }
}

void CRemoconDlg::SyncFromCamera() {
  CUsbCamera& camera = Camera();
  if (camera.SendShortCommand(Row(panel_id::kPairSecond).code) != 0) {
    Raise(m_btnPairFirst);
    Latch(m_btnPairSecond);
    m_bPairFirst = 0;
  } else {
    Latch(m_btnPairFirst);
    Raise(m_btnPairSecond);
    m_bPairFirst = 1;
  }

  const ButtonBinding& freeze = Row(panel_id::kFreeze);
  camera.SendCommand(freeze.code, freeze.offValue);
  Raise(m_btnFreeze);
  Raise(m_btnSave);
  m_bFreeze = 0;

  if (camera.SendShortCommand(Row(panel_id::kAwb).code) != 0) {
    Raise(m_btnAwb);
    m_bAwb = 0;
  } else {
    Latch(m_btnAwb);
    m_bAwb = 1;
  }

  if (camera.SendShortCommand(Row(panel_id::kDZoom).code) != 0) {
    Latch(m_btnDZoom);
    m_bDZoom = 1;
  } else {
    Raise(m_btnDZoom);
    m_bDZoom = 0;
  }

  const ButtonBinding& mirrorRow = Row(panel_id::kMirror);
  const ButtonBinding& flipRow = Row(panel_id::kFlip);
  const int mirror = camera.SendShortCommand(mirrorRow.code);
  mirror ? Latch(m_btnMirror) : Raise(m_btnMirror);
  const int flip = camera.SendShortCommand(flipRow.code);
  flip ? Latch(m_btnFlip) : Raise(m_btnFlip);
  if (mirror == mirrorRow.readsOn && flip == 0)
    camera.SetOrientation(1);
  else if (flip == flipRow.readsOn && mirror == 0)
    camera.SetOrientation(2);
  else if (mirror == mirrorRow.readsOn && flip == flipRow.readsOn)
    camera.SetOrientation(3);

  for (const auto& [id, button] :
       {std::pair{panel_id::kColor, m_btnColor}, std::pair{panel_id::kNegative, m_btnNegative},
        std::pair{panel_id::kEdge, m_btnEdge}, std::pair{panel_id::kEmboss, m_btnEmboss}}) {
    ShowLatched(button, camera.SendShortCommand(Row(id).code) != 0);
  }

  Raise(m_btnXga);
  Raise(m_btnSvga);
  Raise(m_btnVga);
  m_nMonitorOut = camera.SendShortCommand(Row(panel_id::kXga).code);
  ShowMonitorOut(m_nMonitorOut);
}
