#include "app/capture_controller.h"

#include <chrono>
#include <cmath>
#include <span>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTimer>

#include "app/capture_overlay.h"
#include "app/menu_action.h"
#include "liveview/frame_rotation.h"
#include "liveview/frame_snapshot.h"
#include "liveview/frame_taps.h"
#include "liveview/live_view.h"
#include "liveview/picture_fit.h"

namespace {

// "5", "0.5", "2.25": the interval as the user gave it.
QString SecondsText(double seconds) { return QString::number(seconds, 'g', 6); }

}  // namespace

CCaptureController::CCaptureController(CLiveView& view, CFrameTaps& taps, const PresenterOptions& options,
                                       Window window)
    : m_view(view), m_taps(taps), m_options(options), m_window(std::move(window)) {}

CCaptureController::~CCaptureController() = default;

void CCaptureController::CreateActions() {
  m_actCapture = MakeMenuAction(QStringLiteral("Quick capture"), QKeySequence(Qt::Key_Space));
  connect(m_actCapture.get(), &QAction::triggered, this, [this] { QuickCapture(); });
  m_actInterval = MakeMenuAction(QStringLiteral("Start interval capture"), QKeySequence(Qt::Key_I));
  connect(m_actInterval.get(), &QAction::triggered, this, [this] { ToggleIntervalCapture(); });
  m_actCopy = MakeMenuAction(QStringLiteral("Copy picture"), QKeySequence(QKeySequence::Copy));
  connect(m_actCopy.get(), &QAction::triggered, this, [this] { CopyPictureToClipboard(); });
  m_actRotateCw = MakeMenuAction(QStringLiteral("Rotate clockwise"), QKeySequence(Qt::Key_R));
  connect(m_actRotateCw.get(), &QAction::triggered, this, [this] { RotateClockwise(); });
  m_actRotateCcw = MakeMenuAction(QStringLiteral("Rotate counter-clockwise"), QKeySequence(Qt::SHIFT | Qt::Key_R));
  connect(m_actRotateCcw.get(), &QAction::triggered, this, [this] { RotateCounterClockwise(); });
  m_actOpenFolder = std::make_unique<QAction>(QStringLiteral("Open capture folder"));
  connect(m_actOpenFolder.get(), &QAction::triggered, this, [this] { OpenCaptureFolder(); });
}

void CCaptureController::CreateOverlay() {
  m_pOverlay = new CCaptureOverlay(&m_view, [this] { return ShownPictureRect(); });  // owned by the view
  m_pIntervalTimer = std::make_unique<QTimer>();
  // One shot a slot, each aimed at its own due time: a repeating timer
  // would add every late start to all the captures after it.
  m_pIntervalTimer->setSingleShot(true);
  m_pIntervalTimer->setTimerType(Qt::PreciseTimer);
  connect(m_pIntervalTimer.get(), &QTimer::timeout, this, [this] { OnIntervalTick(); });
}

QRect CCaptureController::ShownPictureRect() const {
  QSize picture;
  {
    const CFrameBitmap& bitmap = m_view.Bitmap();
    const auto lock = bitmap.LockBuffers();
    picture = QSize(bitmap.Width(), bitmap.Height());
  }
  if (m_nQuarterTurns.load() % 2 != 0) picture.transpose();
  // Drawn one to one at the corner unless the view scales it (see CLiveView).
  if (!m_view.FitsToWindow() || picture == m_view.size()) return QRect(QPoint(0, 0), picture);
  return FitPicture(picture, m_view.rect());
}

void CCaptureController::OpenCaptureFolder() {
  const QString folder = CaptureFolder(m_options);
  // A first start has made no capture yet: the folder is made now, as a capture would.
  QDir().mkpath(folder);
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)) && m_pOverlay)
    m_pOverlay->FlashFailure(QStringLiteral("Cannot open %1").arg(QDir::toNativeSeparators(folder)));
}

void CCaptureController::Start() {
  SetRotationDegrees(StartRotationDegrees(m_options));
  if (m_options.intervalSeconds) StartIntervalCapture();
}

QList<QAction*> CCaptureController::ContextMenuActions() const {
  return {m_actCapture.get(), m_actInterval.get(), m_actCopy.get(), m_actRotateCw.get(), m_actRotateCcw.get()};
}

QuickCaptureResult CCaptureController::CaptureShownPicture() {
  // One whole frame: copied under the buffer lock, written outside it.
  const QString folder = CaptureFolder(m_options);
  QuickCaptureResult result{StillError::kNoBitmap, {}};
  if (TakeTurnedSnapshot(m_view.Bitmap(), m_nQuarterTurns.load(), m_captureFrame))
    result = WriteQuickCapture(m_captureFrame, folder, ProfileCaptureFormat(), QDateTime::currentDateTime());
  if (!m_pOverlay) return result;
  // Said over the picture, never in a box: a presenter's show goes on.
  if (result.error == StillError::kNone) {
    m_strLastCapture = result.path;
    const QFileInfo file(result.path);
    m_pOverlay->Flash(QStringLiteral("%1 (%2)").arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath())));
  } else {
    m_pOverlay->FlashFailure(QStringLiteral("Capture failed: %1 (%2)")
                                 .arg(QString::fromUtf8(StillErrorText(result.error).data(),
                                                        static_cast<qsizetype>(StillErrorText(result.error).size())),
                                      QDir::toNativeSeparators(folder)));
  }
  return result;
}

bool CCaptureController::QuickCapture() {
  if (m_window.destroyed() || m_window.outputDialogOpen()) return false;
  return CaptureShownPicture().error == StillError::kNone;
}

void CCaptureController::StartIntervalCapture() {
  if (m_window.destroyed() || !m_pIntervalTimer || m_pIntervalTimer->isActive()) return;
  m_nIntervalCaptures = 0;
  m_dIntervalSeconds = CaptureIntervalSeconds(m_options);
  m_nIntervalSlot = kWaitingForPicture;
  m_bIntervalRunning = true;
  m_actInterval->setText(QStringLiteral("Stop interval capture"));
  ShowIntervalCount();
  // The first capture is taken at once (or, at the program's start, with
  // the first picture); the beat starts with it.
  OnIntervalTick();
}

void CCaptureController::StopIntervalCapture() {
  if (!m_bIntervalRunning) return;
  m_bIntervalRunning = false;
  if (m_pIntervalTimer) m_pIntervalTimer->stop();
  m_actInterval->setText(QStringLiteral("Start interval capture"));
  m_pOverlay->SetSeriesText({});
  m_pOverlay->Notice(QStringLiteral("Interval capture stopped \u00b7 %1 taken").arg(m_nIntervalCaptures));
}

void CCaptureController::ShowIntervalCount() {
  m_pOverlay->SetSeriesText(
      QStringLiteral("Every %1 s \u00b7 %2 taken").arg(SecondsText(m_dIntervalSeconds)).arg(m_nIntervalCaptures));
}

void CCaptureController::ToggleIntervalCapture() {
  if (IntervalCaptureRunning())
    StopIntervalCapture();
  else
    StartIntervalCapture();
}

void CCaptureController::OnIntervalTick() {
  if (!m_bIntervalRunning) return;
  if (m_window.destroyed()) {
    StopIntervalCapture();
    return;
  }
  const auto now = CIntervalClock::Clock::now();
  if (m_nIntervalSlot == kWaitingForPicture) {
    if (!PictureShown()) {
      m_pIntervalTimer->start(kFirstPicturePollMs);
      return;
    }
    const auto period =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(m_dIntervalSeconds));
    m_intervalClock = CIntervalClock(now, period);
    m_nIntervalSlot = 0;
  }
  // A dialog of ours is open: this capture is skipped, not failed.
  if (!m_window.outputDialogOpen()) {
    if (CaptureShownPicture().error != StillError::kNone) {
      // The failure stays over the picture; the series ends with it.
      StopIntervalCapture();
      return;
    }
    ++m_nIntervalCaptures;
    ShowIntervalCount();
  }
  // From the time now, after the capture: the next slot still ahead.
  const auto after = CIntervalClock::Clock::now();
  m_nIntervalSlot = m_intervalClock.NextSlot(m_nIntervalSlot, after);
  m_pIntervalTimer->start(m_intervalClock.DelayUntil(m_nIntervalSlot, after));
}

bool CCaptureController::PictureShown() const {
  const CFrameBitmap& bitmap = m_view.Bitmap();
  const auto lock = bitmap.LockBuffers();
  return bitmap.PackedBitmap() != nullptr;
}

QString CCaptureController::OverlayText() const { return m_pOverlay ? m_pOverlay->ShownText() : QString(); }

void CCaptureController::CopyPictureToClipboard() {
  if (m_window.destroyed() || !TakeTurnedSnapshot(m_view.Bitmap(), m_nQuarterTurns.load(), m_captureFrame)) return;
  {
    const auto lock = m_captureFrame.LockBuffers();
    const QImage picture(m_captureFrame.Pixels(), m_captureFrame.Width(), m_captureFrame.Height(),
                         m_captureFrame.RowBytes(), QImage::Format_BGR888);
    // A deep copy: the clipboard keeps it after the buffer changes.
    QApplication::clipboard()->setImage(picture.convertToFormat(QImage::Format_RGB32));
  }
  // Outside the copy's lock: the overlay places itself by the shown picture,
  // whose lock is always taken before the copy's.
  if (m_pOverlay) m_pOverlay->Flash(QStringLiteral("Copied"));
}

void CCaptureController::RotateClockwise() { SetRotationDegrees((RotationDegrees() + 90) % 360); }

void CCaptureController::RotateCounterClockwise() { SetRotationDegrees((RotationDegrees() + 270) % 360); }

bool CCaptureController::SetRotationDegrees(int degrees) {
  const auto turns = QuarterTurnsForDegrees(degrees);
  if (!turns || m_window.destroyed()) return false;
  if (*turns == m_nQuarterTurns.load()) return true;
  // A movie's frames keep the size of its first one.
  if (m_window.recording()) return false;
  m_nQuarterTurns.store(*turns);
  m_view.SetQuarterTurns(*turns);
  WriteProfileRotation(degrees);
  QSize picture;
  {
    const CFrameBitmap& bitmap = m_view.Bitmap();
    const auto lock = bitmap.LockBuffers();
    picture = QSize(bitmap.Width(), bitmap.Height());
  }
  m_window.fitPicture(picture);
  if (m_window.frozen()) RepublishHeldPicture();
  return true;
}

void CCaptureController::RepublishHeldPicture() {
  if (m_taps.Empty() || !TakeTurnedSnapshot(m_view.Bitmap(), m_nQuarterTurns.load(), m_turnedFrame)) return;
  const auto bytes =
      static_cast<std::size_t>(m_turnedFrame.RowBytes()) * static_cast<std::size_t>(m_turnedFrame.Height());
  m_taps.Publish({.width = m_turnedFrame.Width(),
                  .height = m_turnedFrame.Height(),
                  .rowBytes = m_turnedFrame.RowBytes(),
                  .pixels = std::span<const std::uint8_t>(m_turnedFrame.Pixels(), bytes),
                  .captured = std::chrono::steady_clock::now()});
}

QSize CCaptureController::Turned(QSize picture) const {
  const TurnedSize turned = TurnSize(picture.width(), picture.height(), m_nQuarterTurns.load());
  return QSize(turned.width, turned.height);
}

CFrameBitmap& CCaptureController::OutputFrame() {
  const int turns = m_nQuarterTurns.load();
  if (turns == 0) return m_view.Bitmap();
  if (!TakeTurnedSnapshot(m_view.Bitmap(), turns, m_turnedFrame)) return m_view.Bitmap();
  return m_turnedFrame;
}
