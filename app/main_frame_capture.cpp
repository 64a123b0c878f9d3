// The presenter's commands of the main window: quick capture (Space, also on
// the panel), a capture series, the picture onto the clipboard, turning the
// picture, and the right-click menu that offers them all.
#include <chrono>
#include <cmath>
#include <span>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QTimer>

#include "app/capture_overlay.h"
#include "app/main_frame.h"
#include "app/mode_sizes.h"
#include "app/scan_controller.h"
#include "liveview/frame_rotation.h"
#include "liveview/frame_snapshot.h"
#include "liveview/frame_taps.h"
#include "output/avi_writer.h"
#include "output/user_dialogs.h"

namespace {

const QString kErrorText = QStringLiteral("Error!");

std::unique_ptr<QAction> MakeAction(const QString& text, const QKeySequence& keys) {
  auto action = std::make_unique<QAction>(text);
  action->setShortcut(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  // Menus show the keys even where the desktop hides them by default.
  action->setShortcutVisibleInContextMenu(true);
  return action;
}

}  // namespace

void CMainFrame::CreatePresenterActions() {
  m_actCapture = MakeAction(QStringLiteral("Quick capture"), QKeySequence(Qt::Key_Space));
  connect(m_actCapture.get(), &QAction::triggered, this, [this] { QuickCapture(); });
  m_actInterval = MakeAction(QStringLiteral("Start interval capture"), QKeySequence(Qt::Key_I));
  connect(m_actInterval.get(), &QAction::triggered, this, &CMainFrame::ToggleIntervalCapture);
  m_actCopy = MakeAction(QStringLiteral("Copy picture"), QKeySequence(QKeySequence::Copy));
  connect(m_actCopy.get(), &QAction::triggered, this, &CMainFrame::CopyPictureToClipboard);
  m_actRotateCw = MakeAction(QStringLiteral("Rotate clockwise"), QKeySequence(Qt::Key_R));
  connect(m_actRotateCw.get(), &QAction::triggered, this, &CMainFrame::RotateClockwise);
  m_actRotateCcw = MakeAction(QStringLiteral("Rotate counter-clockwise"), QKeySequence(Qt::SHIFT | Qt::Key_R));
  connect(m_actRotateCcw.get(), &QAction::triggered, this, &CMainFrame::RotateCounterClockwise);
  m_pScan = new CScanController(
      &m_wndView, [this] { return ShownScanPicture(m_wndView.Bitmap(), m_nQuarterTurns.load()); },
      ScanOptionsFor(m_presenterOptions));
  m_pScan->setParent(this);
  for (QAction* action : ContextMenuActions()) addAction(action);
  addActions(m_pScan->Actions());
  // Space captures with the panel active too, and the scan keys work there.
  m_wndRemocon.addAction(m_actCapture.get());
  m_wndRemocon.addActions(m_pScan->Actions());

  m_pOverlay = new CCaptureOverlay(&m_wndView);  // owned by the view
  m_pIntervalTimer = std::make_unique<QTimer>();
  connect(m_pIntervalTimer.get(), &QTimer::timeout, this, &CMainFrame::OnIntervalTick);
}

void CMainFrame::StartPresenter() {
  SetRotationDegrees(StartRotationDegrees(m_presenterOptions));
  if (m_presenterOptions.intervalSeconds) StartIntervalCapture();
}

QList<QAction*> CMainFrame::ContextMenuActions() const {
  return {m_actCapture.get(), m_actInterval.get(), m_actCopy.get(), m_actRotateCw.get(), m_actRotateCcw.get()};
}

void CMainFrame::AddFullScreenEntry(QMenu& menu) const {
  menu.addSeparator();
  menu.addAction(m_actFullScreen.get());
}

void CMainFrame::contextMenuEvent(QContextMenuEvent* event) {
  if (m_bDestroyed || !m_actCapture) return;
  QMenu menu(this);
  menu.addActions(ContextMenuActions());
  menu.addSeparator();
  menu.addActions(m_pScan->Actions());
  AddFullScreenEntry(menu);
  menu.exec(event->globalPos());
}

bool CMainFrame::OutputDialogOpen() const {
  return m_nOutputDialogs > 0 || (m_pAviWriter && m_pAviWriter->IsBusy()) ||
         QApplication::activeModalWidget() != nullptr;
}

QuickCaptureResult CMainFrame::CaptureShownPicture() {
  // One whole frame: copied under the buffer lock, written outside it.
  if (!TakeTurnedSnapshot(m_wndView.Bitmap(), m_nQuarterTurns.load(), m_captureFrame))
    return {StillError::kNoBitmap, {}};
  QuickCaptureResult result = WriteQuickCapture(m_captureFrame, CaptureFolder(m_presenterOptions),
                                                ProfileCaptureFormat(), QDateTime::currentDateTime());
  if (result.error == StillError::kNone) {
    m_strLastCapture = result.path;
    if (m_pOverlay) m_pOverlay->Flash(QFileInfo(result.path).fileName());
  }
  return result;
}

bool CMainFrame::QuickCapture() {
  if (m_bDestroyed || OutputDialogOpen()) return false;
  if (CaptureShownPicture().error == StillError::kNone) return true;
  m_dialogs.MessageBox(kErrorText);
  return false;
}

void CMainFrame::StartIntervalCapture() {
  if (m_bDestroyed || !m_pIntervalTimer || m_pIntervalTimer->isActive()) return;
  m_nIntervalCaptures = 0;
  const double seconds = CaptureIntervalSeconds(m_presenterOptions);
  m_pIntervalTimer->start(static_cast<int>(std::lround(seconds * 1000.0)));
  m_actInterval->setText(QStringLiteral("Stop interval capture"));
  m_pOverlay->SetSeriesText(QStringLiteral("Interval capture: 0"));
}

void CMainFrame::StopIntervalCapture() {
  if (!m_pIntervalTimer || !m_pIntervalTimer->isActive()) return;
  m_pIntervalTimer->stop();
  m_actInterval->setText(QStringLiteral("Start interval capture"));
  m_pOverlay->SetSeriesText({});
}

void CMainFrame::ToggleIntervalCapture() {
  if (IntervalCaptureRunning())
    StopIntervalCapture();
  else
    StartIntervalCapture();
}

bool CMainFrame::IntervalCaptureRunning() const { return m_pIntervalTimer && m_pIntervalTimer->isActive(); }

void CMainFrame::OnIntervalTick() {
  // A dialog of ours is open: this capture is skipped, not failed.
  if (m_bDestroyed || OutputDialogOpen()) return;
  if (CaptureShownPicture().error != StillError::kNone) {
    // Stopped first, so the box is shown once, not once a tick.
    StopIntervalCapture();
    m_dialogs.MessageBox(kErrorText);
    return;
  }
  ++m_nIntervalCaptures;
  m_pOverlay->SetSeriesText(QStringLiteral("Interval capture: %1").arg(m_nIntervalCaptures));
}

QString CMainFrame::OverlayText() const { return m_pOverlay ? m_pOverlay->ShownText() : QString(); }

void CMainFrame::CopyPictureToClipboard() {
  if (m_bDestroyed || !TakeTurnedSnapshot(m_wndView.Bitmap(), m_nQuarterTurns.load(), m_captureFrame)) return;
  const auto lock = m_captureFrame.LockBuffers();
  const QImage picture(m_captureFrame.Pixels(), m_captureFrame.Width(), m_captureFrame.Height(),
                       m_captureFrame.RowBytes(), QImage::Format_BGR888);
  // A deep copy: the clipboard keeps it after the buffer changes.
  QApplication::clipboard()->setImage(picture.convertToFormat(QImage::Format_RGB32));
}

void CMainFrame::RotateClockwise() { SetRotationDegrees((RotationDegrees() + 90) % 360); }

void CMainFrame::RotateCounterClockwise() { SetRotationDegrees((RotationDegrees() + 270) % 360); }

bool CMainFrame::SetRotationDegrees(int degrees) {
  const auto turns = QuarterTurnsForDegrees(degrees);
  if (!turns || m_bDestroyed) return false;
  if (*turns == m_nQuarterTurns.load()) return true;
  // A movie's frames keep the size of its first one.
  if (m_pAviWriter) return false;
  m_nQuarterTurns.store(*turns);
  m_wndView.SetQuarterTurns(*turns);
  WriteProfileRotation(degrees);
  QSize picture;
  {
    const CFrameBitmap& bitmap = m_wndView.Bitmap();
    const auto lock = bitmap.LockBuffers();
    picture = QSize(bitmap.Width(), bitmap.Height());
  }
  FitWindowToPicture(picture);
  if (m_wndRemocon.m_bFreeze != 0) RepublishHeldPicture();
  return true;
}

void CMainFrame::RepublishHeldPicture() {
  if (m_frameTaps.Empty() || !TakeTurnedSnapshot(m_wndView.Bitmap(), m_nQuarterTurns.load(), m_turnedFrame)) return;
  const auto bytes =
      static_cast<std::size_t>(m_turnedFrame.RowBytes()) * static_cast<std::size_t>(m_turnedFrame.Height());
  m_frameTaps.Publish({.width = m_turnedFrame.Width(),
                       .height = m_turnedFrame.Height(),
                       .rowBytes = m_turnedFrame.RowBytes(),
                       .pixels = std::span<const std::uint8_t>(m_turnedFrame.Pixels(), bytes),
                       .captured = std::chrono::steady_clock::now()});
}

void CMainFrame::FitWindowToPicture(QSize picture) {
  const TurnedSize turned = TurnSize(picture.width(), picture.height(), m_nQuarterTurns.load());
  FollowPicture(QSize(turned.width, turned.height));
}

CFrameBitmap& CMainFrame::OutputFrame() {
  const int turns = m_nQuarterTurns.load();
  if (turns == 0) return m_wndView.Bitmap();
  if (!TakeTurnedSnapshot(m_wndView.Bitmap(), turns, m_turnedFrame)) return m_wndView.Bitmap();
  return m_turnedFrame;
}
