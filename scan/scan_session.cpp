#include "scan/scan_session.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "platform/thread_priority.h"

namespace scan {
namespace {

void RemoveFiles(const ScanPage& page) {
  std::error_code ignored;
  if (!page.jpegPath.empty()) std::filesystem::remove(page.jpegPath, ignored);
  if (!page.pdfPath.empty()) std::filesystem::remove(page.pdfPath, ignored);
}

std::string MakeWorkFolder() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "tavrocam-scan-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return {};
  return pattern;
}

int WorkerCount(int asked) {
  if (asked > 0) return asked;
  const unsigned cores = std::thread::hardware_concurrency();
  return std::max(1, static_cast<int>(cores / 2));
}

}  // namespace

ScanSession::ScanSession(SessionOptions options) : m_options(std::move(options)), m_workFolder(MakeWorkFolder()) {
  if (m_workFolder.empty()) {
    m_problem = "No folder for the pages being scanned";
    return;
  }
  const int count = WorkerCount(m_options.workers);
  for (int i = 0; i < count; ++i) m_workers.emplace_back([this] { WorkerLoop(); });
}

ScanSession::~ScanSession() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_queue.clear();
  }
  m_changed.notify_all();
  for (std::thread& worker : m_workers) worker.join();
  if (!m_workFolder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_workFolder, ignored);
  }
}

void ScanSession::SetObserver(std::function<void()> observer) {
  std::lock_guard lock(m_mutex);
  m_observer = std::move(observer);
}

void ScanSession::Notify() {
  std::function<void()> observer;
  {
    std::lock_guard lock(m_mutex);
    observer = m_observer;
  }
  m_changed.notify_all();
  if (observer) observer();
}

int ScanSession::AddPage(const cv::Mat& picture, std::optional<PageCorners> corners) {
  auto entry = std::make_shared<Entry>();
  entry->page.picture = picture.clone();
  entry->page.corners = corners;
  entry->page.look = m_options.look;
  entry->page.languages = m_options.languages;
  int number = 0;
  {
    std::lock_guard lock(m_mutex);
    entry->serial = m_nextSerial++;
    if (m_problem.empty()) {
      m_queue.push_back(entry);
    } else {
      entry->page.state = PageState::kFailed;
      entry->page.error = m_problem;
    }
    m_pages.push_back(entry);
    number = static_cast<int>(m_pages.size());
  }
  Notify();
  return number;
}

bool ScanSession::RemoveLastPage() {
  {
    std::lock_guard lock(m_mutex);
    if (m_pages.empty()) return false;
    EntryPtr last = m_pages.back();
    m_pages.pop_back();
    last->removed = true;
    std::erase(m_queue, last);
    // A finished page's files go now; a page in a worker's hands goes when it returns.
    if (last->page.state == PageState::kDone || last->page.state == PageState::kFailed) RemoveFiles(last->page);
  }
  Notify();
  return true;
}

void ScanSession::WorkerLoop() {
  // Pages are read while the live picture goes on: the picture comes first.
  platform::LowerThisThreadPriority();
  for (;;) {
    EntryPtr entry;
    ScanPage work;
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
      if (m_stopping) return;
      entry = m_queue.front();
      m_queue.pop_front();
      work.picture = entry->page.picture;
      work.corners = entry->page.corners;
      work.look = entry->page.look;
      work.languages = entry->page.languages;
    }
    ProcessPage(work, m_workFolder, "page-" + std::to_string(entry->serial), [&](PageState state) {
      // The end state arrives with the page's files and text, below: a waiter
      // that sees "done" must find them.
      if (state == PageState::kDone || state == PageState::kFailed) return;
      {
        std::lock_guard lock(m_mutex);
        entry->page.state = state;
      }
      Notify();
    });
    {
      std::lock_guard lock(m_mutex);
      if (entry->removed) {
        RemoveFiles(work);
      } else {
        entry->page = std::move(work);
      }
    }
    Notify();
  }
}

std::vector<PageSummary> ScanSession::Pages() const {
  std::lock_guard lock(m_mutex);
  std::vector<PageSummary> pages;
  for (std::size_t i = 0; i < m_pages.size(); ++i) {
    const ScanPage& page = m_pages[i]->page;
    pages.push_back({static_cast<int>(i + 1), page.state, page.usedCorners, page.error});
  }
  return pages;
}

int ScanSession::PageCount() const {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_pages.size());
}

cv::Mat ScanSession::StraightenedPage(int number) const {
  std::lock_guard lock(m_mutex);
  if (number < 1 || number > static_cast<int>(m_pages.size())) return {};
  const ScanPage& page = m_pages[static_cast<std::size_t>(number - 1)]->page;
  return page.state == PageState::kDone ? page.page.clone() : cv::Mat();
}

std::string ScanSession::PageText(int number) const {
  std::lock_guard lock(m_mutex);
  if (number < 1 || number > static_cast<int>(m_pages.size())) return {};
  return m_pages[static_cast<std::size_t>(number - 1)]->page.text;
}

std::optional<std::vector<std::string>> ScanSession::WaitForPages(const std::function<void(int, int)>& progress,
                                                                  std::string& error) {
  std::unique_lock lock(m_mutex);
  for (;;) {
    const int total = static_cast<int>(m_pages.size());
    const int settled = static_cast<int>(std::count_if(m_pages.begin(), m_pages.end(), [](const EntryPtr& e) {
      return e->page.state == PageState::kDone || e->page.state == PageState::kFailed;
    }));
    if (settled == total) break;
    if (progress) {
      lock.unlock();
      progress(settled, total);
      lock.lock();
    }
    m_changed.wait(lock);
  }
  if (m_pages.empty()) {
    error = "No pages to write";
    return std::nullopt;
  }
  std::vector<std::string> pdfs;
  for (std::size_t i = 0; i < m_pages.size(); ++i) {
    const ScanPage& page = m_pages[i]->page;
    if (page.state == PageState::kFailed) {
      error = "Page " + std::to_string(i + 1) + ": " + page.error;
      return std::nullopt;
    }
    pdfs.push_back(page.pdfPath);
  }
  return pdfs;
}

void ScanSession::ClearPages() {
  {
    std::lock_guard lock(m_mutex);
    for (const EntryPtr& entry : m_pages) RemoveFiles(entry->page);
    m_pages.clear();
  }
  Notify();
}

DocumentResult ScanSession::Finish(const std::string& folder, const std::string& baseName, const std::string& title,
                                   std::time_t created, const std::function<void(int, int)>& progress) {
  std::string error;
  const auto pdfs = WaitForPages(progress, error);
  if (!pdfs) return {error, {}};
  DocumentResult result = WriteDocument(*pdfs, folder, baseName, title, created);
  if (result.error.empty()) ClearPages();
  return result;
}

DocumentResult ScanSession::FinishTo(const std::string& path, const std::string& title, std::time_t created,
                                     const std::function<void(int, int)>& progress) {
  std::string error;
  const auto pdfs = WaitForPages(progress, error);
  if (!pdfs) return {error, {}};
  DocumentResult result = WriteDocumentTo(*pdfs, path, title, created);
  if (result.error.empty()) ClearPages();
  return result;
}

}  // namespace scan
