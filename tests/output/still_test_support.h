// Shared helpers of the still and print tests: folders, file bytes, external tools.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

inline std::vector<std::uint8_t> ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return {bytes.begin(), bytes.end()};
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Every entry of a folder, hidden ones included, so stray temporary files show.
inline QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs a tool to completion; empty output and false when it fails.
inline bool RunTool(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
  if (program.isEmpty()) return false;
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return false;
  }
  if (out) *out = process.readAllStandardOutput();
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Caps the size of any file this process writes, which makes a write fail
// part-way as on a full disk (and works for root, unlike a read-only folder).
class FileSizeCap {
 public:
  explicit FileSizeCap(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit cap = m_saved;
    cap.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &cap);
  }
  ~FileSizeCap() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
  }
  FileSizeCap(const FileSizeCap&) = delete;
  FileSizeCap& operator=(const FileSizeCap&) = delete;

 private:
  rlimit m_saved{};
  void (*m_oldHandler)(int) = nullptr;
};

// A folder no one can create files in, root included.
inline const char* UnwritableFolder() { return "/proc"; }
