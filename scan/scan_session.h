// A scan in progress: pages taken one after another, each straightened and
// read on worker threads while the next is taken, then joined into one
// document. Safe to call from one controlling thread while the workers run.
#pragma once

#include <condition_variable>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/core/mat.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scan/document_file.h"
#include "scan/page_corners.h"
#include "scan/scan_look.h"
#include "scan/scan_page.h"

namespace scan {

struct SessionOptions {
  std::string languages = "eng";
  ScanLook look = ScanLook::kColour;
  // Pages read at once; 0: one per two cores, at least one (each reader is
  // single-threaded, see ocr_threads.h).
  int workers = 0;
};

struct PageSummary {
  int number = 0;  // from 1
  PageState state = PageState::kWaiting;
  PageCorners corners{};  // once straightened
  std::string error;
};

class ScanSession {
 public:
  explicit ScanSession(SessionOptions options);
  // Lets the pages in hand finish, then removes every file of the session.
  ~ScanSession();
  ScanSession(const ScanSession&) = delete;
  ScanSession& operator=(const ScanSession&) = delete;

  // Empty when the session can work; else why not (no working folder).
  const std::string& Problem() const { return m_problem; }
  // Where the pages' files are kept until the session ends.
  const std::string& WorkFolder() const { return m_workFolder; }

  // Called on a worker thread whenever a page changes state.
  void SetObserver(std::function<void()> observer);

  // Takes `picture` (8-bit BGR, copied) as the next page, straightened with
  // `corners`, or with the outline found in it (the whole picture when none
  // is). Returns the page's number.
  int AddPage(const cv::Mat& picture, std::optional<PageCorners> corners);
  // Drops the last page (a page being read is dropped when its reading
  // ends). False when there is none.
  bool RemoveLastPage();

  std::vector<PageSummary> Pages() const;
  int PageCount() const;
  // The straightened page `number` once it is done; empty before.
  cv::Mat StraightenedPage(int number) const;
  std::string PageText(int number) const;

  // Waits for the pages still being read (`progress` hears done and total
  // while it waits), then writes the document. On success the session is
  // empty again; on failure its pages stay for another try.
  DocumentResult Finish(const std::string& folder, const std::string& baseName, const std::string& title,
                        std::time_t created, const std::function<void(int, int)>& progress = {});
  // The same into exactly `path` (replacing it).
  DocumentResult FinishTo(const std::string& path, const std::string& title, std::time_t created,
                          const std::function<void(int, int)>& progress = {});

 private:
  struct Entry {
    int serial = 0;  // unique within the session: names the page's files
    ScanPage page;   // guarded by m_mutex; a worker fills its own copy
    bool removed = false;
  };
  using EntryPtr = std::shared_ptr<Entry>;

  void WorkerLoop();
  // Waits for every page; the pages' PDFs in order, or nothing with `error`.
  std::optional<std::vector<std::string>> WaitForPages(const std::function<void(int, int)>& progress,
                                                       std::string& error);
  void ClearPages();
  void Notify();

  SessionOptions m_options;
  std::string m_workFolder;
  std::string m_problem;

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<EntryPtr> m_pages;  // in page order
  std::deque<EntryPtr> m_queue;   // not yet started
  int m_nextSerial = 1;
  bool m_stopping = false;
  std::function<void()> m_observer;
  std::vector<std::thread> m_workers;
};

}  // namespace scan
