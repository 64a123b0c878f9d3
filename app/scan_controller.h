// The desktop's scan session: P takes the picture on screen as the next
// page, Backspace takes the last one back, Enter writes the document into
// the capture folder. While pages are collected the outline found in the
// live picture is drawn over it and the pages show along the bottom edge.
// Exit writes what was scanned as "..._unfinished.pdf" instead of losing it.
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

class CFrameBitmap;
class CScanOverlay;
struct ScanThumbnail;
namespace scan {
class ScanSession;
struct PageSummary;
}  // namespace scan

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

  // P, Backspace, Enter, "Keep these corners" and "Use whole picture", with their keys.
  QList<QAction*> Actions() const;

  void AddPage();
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
  scan::ScanSession& Session();

  QWidget* m_view;
  PictureSource m_source;
  ScanControllerOptions m_options;
  CScanOverlay* m_overlay;  // a child of the view
  std::unique_ptr<scan::ScanSession> m_session;
  scan::OutlineTracker m_tracker;
  std::optional<scan::PageCorners> m_kept;  // "Keep these corners"
  std::vector<QImage> m_thumbnails;
  bool m_finishAsked = false;
  QString m_lastDocument;
  QString m_finishError;
  QTimer m_outlineTimer;
  std::unique_ptr<QAction> m_actAdd, m_actUndo, m_actFinish, m_actKeep, m_actWhole;
};
