// The desktop's scan session: P takes the picture on screen as the next
// page, Backspace takes the last one back, Enter writes the document into
// the capture folder. While pages are collected the outline found in the
// live picture is drawn over it and the pages show along the bottom edge.
// Exit writes what was scanned as "..._unfinished.pdf" instead of losing it.
// "Adjust corners…" holds the picture and lets the mouse set the page's
// corners, when the outline found is wrong or none was found.
#pragma once

#include <functional>
#include <memory>
#include <opencv2/core/mat.hpp>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "scan/page_corners.h"
#include "scan/page_outline.h"
#include "scan/scan_look.h"
#include "scan/scan_session.h"

class CCornerHandles;
class CFrameBitmap;
class CScanOverlay;
struct ScanThumbnail;

// The picture on screen, turned as shown, as 8-bit BGR; empty when none.
cv::Mat ShownScanPicture(const CFrameBitmap& shown, int quarterTurns);

struct ScanControllerOptions {
  QString folder;  // where documents go (the capture folder)
  scan::ScanLook look = scan::ScanLook::kColour;
  std::string languages = "eng";
};

class CScanController : public QObject {
  Q_OBJECT
 public:
  using PictureSource = std::function<cv::Mat()>;

  CScanController(QWidget* pictureView, PictureSource source, ScanControllerOptions options);
  ~CScanController() override;

  // P, Backspace, Enter, "Keep these corners", "Use whole picture" and
  // "Adjust corners…", with their keys.
  QList<QAction*> Actions() const;

  // While the corners are adjusted, P and Enter take the page with them.
  void AddPage();
  // Holds the picture on screen (or the page just taken without an outline,
  // which the adjusted one then replaces) under four corner handles.
  void AdjustCorners();
  // The handles' corners while they are shown.
  std::optional<scan::PageCorners> AdjustedCorners() const;
  bool RemoveLastPage();
  // Writes the document once every page is read; a failure is shown and the pages stay.
  void Finish();
  // At exit: the pages taken so far as "..._unfinished.pdf" (waits for pages being read).
  void WriteUnfinished();

  int PageCount() const;
  QString LastDocument() const { return m_lastDocument; }
  QString Message() const;
  // What the strip shows of each page, whether the document waits for pages
  // still being read, and why the last try to write it failed (empty after
  // a success): for the web page's scan buttons.
  std::vector<scan::PageSummary> Pages() const;
  bool IsFinishing() const { return m_finishAsked; }
  QString FinishError() const { return m_finishError; }

 private:
  void OnOutlineTick();
  void OnPagesChanged();
  void WriteDocument(const std::string& suffix);
  std::optional<scan::PageCorners> CornersForNextPage(const cv::Mat& picture) const;
  void TakePage(const cv::Mat& picture, std::optional<scan::PageCorners> corners);
  void TakeAdjustedPage();
  void StopAdjusting();
  scan::ScanSession& Session();

  QWidget* m_view;
  PictureSource m_source;
  ScanControllerOptions m_options;
  CScanOverlay* m_overlay;    // a child of the view
  CCornerHandles* m_handles;  // a child of the view, under the overlay
  std::unique_ptr<scan::ScanSession> m_session;
  scan::OutlineTracker m_tracker;
  std::optional<scan::PageCorners> m_kept;  // "Keep these corners"
  // The last page, taken as the whole picture for want of an outline, until
  // another page action: "Adjust corners…" redoes it.
  cv::Mat m_unoutlined;
  bool m_replacesLast = false;  // the handles hold m_unoutlined
  std::vector<QImage> m_thumbnails;
  bool m_finishAsked = false;
  QString m_lastDocument;
  QString m_finishError;
  QTimer m_outlineTimer;
  std::unique_ptr<QAction> m_actAdd, m_actUndo, m_actFinish, m_actKeep, m_actWhole, m_actAdjust;
};
