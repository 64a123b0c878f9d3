#include "app/scan_controller.h"

#include <ctime>
#include <opencv2/imgproc.hpp>

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QPolygonF>

#include "app/corner_handles.h"
#include "app/menu_action.h"
#include "app/scan_overlay.h"
#include "liveview/frame_bitmap.h"
#include "liveview/frame_snapshot.h"
#include "scan/document_file.h"
#include "scan/scan_session.h"
#include "scan/text_model.h"

namespace {

// The outline follows the live picture at the camera's rate, on a copy.
constexpr int kOutlineTickMs = 66;

QImage Thumbnail(const cv::Mat& bgr) {
  const QImage image(bgr.data, bgr.cols, bgr.rows, static_cast<qsizetype>(bgr.step), QImage::Format_BGR888);
  return image.scaledToHeight(72, Qt::SmoothTransformation);
}

}  // namespace

cv::Mat ShownScanPicture(const CFrameBitmap& shown, int quarterTurns) {
  CFrameBitmap turned;
  if (!TakeTurnedSnapshot(shown, quarterTurns, turned)) return {};
  const auto lock = turned.LockBuffers();
  if (turned.BitsPerPixel() != 24 || turned.Width() <= 0 || turned.Height() <= 0) return {};
  const cv::Mat view(turned.Height(), turned.Width(), CV_8UC3, const_cast<std::uint8_t*>(turned.Pixels()),
                     static_cast<std::size_t>(turned.RowBytes()));
  return view.clone();
}

CScanController::CScanController(QWidget* pictureView, PictureSource source, ScanControllerOptions options)
    : m_view(pictureView),
      m_source(std::move(source)),
      m_options(std::move(options)),
      m_overlay(new CScanOverlay(pictureView)),
      m_handles(new CCornerHandles(pictureView)) {
  // The overlay's messages and pages stay over the held picture; it lets the mouse through.
  m_overlay->raise();
  connect(m_handles, &CCornerHandles::Cancelled, this, [this] {
    StopAdjusting();
    m_overlay->ShowMessage(QStringLiteral("Corners not changed"));
  });
  m_actAdd = MakeMenuAction(QStringLiteral("Add page"), QKeySequence(Qt::Key_P));
  connect(m_actAdd.get(), &QAction::triggered, this, &CScanController::AddPage);
  m_actUndo = MakeMenuAction(QStringLiteral("Remove last page"), QKeySequence(Qt::Key_Backspace));
  connect(m_actUndo.get(), &QAction::triggered, this, [this] { RemoveLastPage(); });
  m_actFinish = MakeMenuAction(QStringLiteral("Finish PDF"), QKeySequence(Qt::Key_Return));
  m_actFinish->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
  connect(m_actFinish.get(), &QAction::triggered, this, &CScanController::Finish);
  m_actKeep = MakeMenuAction(QStringLiteral("Keep these corners"), QKeySequence(Qt::SHIFT | Qt::Key_P));
  m_actKeep->setCheckable(true);
  connect(m_actKeep.get(), &QAction::toggled, this, [this](bool on) {
    m_kept = on ? m_tracker.Current() : std::nullopt;
    // While adjusting, the handles' corners are the ones kept.
    if (on && m_handles->Active()) {
      m_kept = scan::OrderCorners(m_handles->Corners().points);
      m_actWhole->setChecked(false);
    }
    if (on && !m_kept) m_actKeep->setChecked(false);
    OnOutlineTick();
  });
  m_actWhole = MakeMenuAction(QStringLiteral("Use whole picture"), QKeySequence(Qt::ALT | Qt::Key_P));
  m_actWhole->setCheckable(true);
  m_actAdjust = MakeMenuAction(QStringLiteral("Adjust corners\u2026"), QKeySequence(Qt::CTRL | Qt::Key_P));
  connect(m_actAdjust.get(), &QAction::triggered, this, &CScanController::AdjustCorners);
  connect(&m_outlineTimer, &QTimer::timeout, this, &CScanController::OnOutlineTick);
}

CScanController::~CScanController() {
  // The workers are joined before anything they report to goes.
  if (m_session) m_session->SetObserver({});
  m_session.reset();
}

QList<QAction*> CScanController::Actions() const {
  return {m_actAdd.get(), m_actUndo.get(), m_actFinish.get(), m_actKeep.get(), m_actWhole.get(), m_actAdjust.get()};
}

scan::ScanSession& CScanController::Session() {
  if (!m_session) {
    m_session = std::make_unique<scan::ScanSession>(
        scan::SessionOptions{.languages = m_options.languages, .look = m_options.look});
    // Workers report here; the overlay is redrawn on the window's thread.
    m_session->SetObserver(
        [this] { QMetaObject::invokeMethod(this, &CScanController::OnPagesChanged, Qt::QueuedConnection); });
  }
  return *m_session;
}

int CScanController::PageCount() const { return m_session ? m_session->PageCount() : 0; }

std::vector<scan::PageSummary> CScanController::Pages() const {
  return m_session ? m_session->Pages() : std::vector<scan::PageSummary>{};
}

QString CScanController::Message() const { return m_overlay->Message(); }

std::optional<scan::PageCorners> CScanController::CornersForNextPage(const cv::Mat& picture) const {
  if (m_actWhole->isChecked()) return scan::WholePicture(picture.cols, picture.rows);
  if (m_kept) return m_kept;
  // The outline the user saw; the page step looks again when there was none.
  return m_tracker.Current();
}

void CScanController::AddPage() {
  if (m_handles->Active()) {
    TakeAdjustedPage();
    return;
  }
  if (const std::string missing = scan::MissingModelMessage(m_options.languages); !missing.empty()) {
    m_overlay->ShowMessage(QString::fromStdString(missing));
    return;
  }
  const cv::Mat picture = m_source();
  if (picture.empty()) {
    m_overlay->ShowMessage(QStringLiteral("No picture to scan"));
    return;
  }
  m_tracker.Update(scan::FindPageOutline(picture));
  const std::optional<scan::PageCorners> corners = CornersForNextPage(picture);
  TakePage(picture, corners);
  if (!corners && !m_tracker.Current()) {
    // The page step will not find one either: the whole picture is the page.
    m_unoutlined = picture;
    m_overlay->ShowMessage(QStringLiteral("No page outline found: the whole picture is the page \u00b7 %1 %2")
                               .arg(m_actAdjust->shortcut().toString(QKeySequence::NativeText), m_actAdjust->text()));
  }
}

void CScanController::TakePage(const cv::Mat& picture, std::optional<scan::PageCorners> corners) {
  m_unoutlined.release();
  Session().AddPage(picture, corners);
  m_thumbnails.push_back(Thumbnail(picture));
  if (!m_outlineTimer.isActive()) m_outlineTimer.start(kOutlineTickMs);
  OnPagesChanged();
}

void CScanController::AdjustCorners() {
  if (m_handles->Active()) return;
  if (const std::string missing = scan::MissingModelMessage(m_options.languages); !missing.empty()) {
    m_overlay->ShowMessage(QString::fromStdString(missing));
    return;
  }
  m_replacesLast = !m_unoutlined.empty();
  const cv::Mat picture = m_replacesLast ? m_unoutlined : m_source();
  if (picture.empty()) {
    m_overlay->ShowMessage(QStringLiteral("No picture to scan"));
    return;
  }
  // The handles start where the page would be taken now.
  std::optional<scan::PageCorners> start = m_kept;
  if (m_replacesLast || m_actWhole->isChecked()) {
    start = scan::WholePicture(picture.cols, picture.rows);
  } else if (!start) {
    start = m_tracker.Update(scan::FindPageOutline(picture));
  }
  m_handles->Start(picture, start.value_or(scan::WholePicture(picture.cols, picture.rows)));
  m_overlay->SetOutline(std::nullopt, {}, false);
  m_overlay->ShowMessage(QStringLiteral("Drag the corners \u00b7 Enter or P takes the page \u00b7 Escape cancels"),
                         true);
}

std::optional<scan::PageCorners> CScanController::AdjustedCorners() const {
  if (!m_handles->Active()) return std::nullopt;
  return m_handles->Corners();
}

void CScanController::TakeAdjustedPage() {
  const cv::Mat picture = m_handles->Picture();
  const scan::PageCorners corners = scan::OrderCorners(m_handles->Corners().points);
  if (m_replacesLast && m_session && m_session->RemoveLastPage() && !m_thumbnails.empty()) m_thumbnails.pop_back();
  StopAdjusting();
  if (m_actKeep->isChecked()) m_kept = corners;
  TakePage(picture, corners);
  m_overlay->ShowMessage(QStringLiteral("Page %1 taken with the corners set").arg(PageCount()));
}

void CScanController::StopAdjusting() {
  if (!m_handles->Active()) return;
  m_handles->Stop();
  m_replacesLast = false;
  m_overlay->ShowMessage({});
  OnOutlineTick();
}

bool CScanController::RemoveLastPage() {
  StopAdjusting();
  m_unoutlined.release();
  if (!m_session || !m_session->RemoveLastPage()) return false;
  if (!m_thumbnails.empty()) m_thumbnails.pop_back();
  OnPagesChanged();
  return true;
}

void CScanController::Finish() {
  if (m_handles->Active()) {
    TakeAdjustedPage();
    return;
  }
  m_unoutlined.release();
  if (PageCount() == 0) {
    m_overlay->ShowMessage(QStringLiteral("No pages to write: P adds the picture as a page"));
    return;
  }
  m_finishAsked = true;
  m_finishError.clear();
  OnPagesChanged();
}

void CScanController::WriteDocument(const std::string& suffix) {
  const std::time_t now = std::time(nullptr);
  const std::string base = scan::DocumentBaseName(now) + suffix;
  const scan::DocumentResult result = m_session->Finish(
      m_options.folder.toStdString(), base, QFileInfo(QString::fromStdString(base)).baseName().toStdString(), now);
  if (!result.error.empty()) {
    m_finishError = QString::fromStdString(result.error);
    m_overlay->ShowMessage(m_finishError, true);
    return;
  }
  m_lastDocument = QString::fromStdString(result.path);
  m_thumbnails.clear();
  m_tracker = {};
  m_outlineTimer.stop();
  m_overlay->SetOutline(std::nullopt, {}, false);
  m_overlay->ShowMessage(QFileInfo(m_lastDocument).fileName());
}

void CScanController::WriteUnfinished() {
  StopAdjusting();
  m_outlineTimer.stop();
  if (PageCount() == 0) return;
  WriteDocument("_unfinished");
}

void CScanController::OnOutlineTick() {
  // The held picture shows its own corners.
  if (m_handles->Active()) return;
  const cv::Mat picture = m_source();
  if (picture.empty()) return;
  std::optional<scan::PageCorners> shown = m_kept;
  if (m_actWhole->isChecked()) {
    shown = scan::WholePicture(picture.cols, picture.rows);
  } else if (!m_kept) {
    shown = m_tracker.Update(scan::FindPageOutline(picture));
  }
  std::optional<QPolygonF> outline;
  if (shown) {
    QPolygonF polygon;
    for (const cv::Point2f& p : shown->points) polygon << QPointF(p.x, p.y);
    outline = polygon;
  }
  m_overlay->SetOutline(outline, QSize(picture.cols, picture.rows), m_kept.has_value() || m_actWhole->isChecked());
}

void CScanController::OnPagesChanged() {
  if (!m_session) return;
  const std::vector<scan::PageSummary> pages = m_session->Pages();
  std::vector<ScanThumbnail> strip;
  int unsettled = 0;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const scan::PageState state = pages[i].state;
    if (state != scan::PageState::kDone && state != scan::PageState::kFailed) ++unsettled;
    strip.push_back({i < m_thumbnails.size() ? m_thumbnails[i] : QImage(),
                     QString::fromUtf8(scan::PageStateName(state).data(),
                                       static_cast<qsizetype>(scan::PageStateName(state).size()))});
  }
  m_overlay->SetPages(std::move(strip));
  if (!m_finishAsked) return;
  if (unsettled > 0) {
    m_overlay->ShowMessage(
        QStringLiteral("Finishing: %1 of %2 pages read").arg(pages.size() - unsettled).arg(pages.size()), true);
    return;
  }
  m_finishAsked = false;
  WriteDocument({});
}
