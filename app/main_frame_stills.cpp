// Save-as and print of the frozen picture. A save or print that produced
// nothing tells the user, instead of leaving them to find an empty folder
// or a stale page.
#include "app/main_frame.h"
#include "app/output_dialog_scope.h"
#include "output/still_commands.h"
#include "output/user_dialogs.h"

namespace {

const QString kErrorText = QStringLiteral("Error!");

}  // namespace

long CMainFrame::OnCamSaveAs() {
  const OutputDialogScope dialog(m_nOutputDialogs);
  const StillOutcome outcome = SaveFrameAs(m_capture.OutputFrame(), m_dialogs);
  if (outcome.Failed()) m_dialogs.MessageBox(kErrorText);
  return 0;
}

long CMainFrame::OnCamPrint() {
  const OutputDialogScope dialog(m_nOutputDialogs);
  const StillOutcome outcome = PrintFrame(m_capture.OutputFrame(), m_szStartDir, m_dialogs);
  if (outcome.Failed()) m_dialogs.MessageBox(kErrorText);
  return 0;
}
