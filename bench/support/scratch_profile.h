// A benchmark's own profile and camera claims, in a folder that goes away
// with it: a running tavrocam keeps neither its settings nor the simulated
// camera from the benchmark, and the benchmark leaves no settings behind.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace bench {

class CScratchProfile {
 public:
  // Before the QApplication: settings paths are read when it starts.
  CScratchProfile();
  QString FilePath(const QString& name) const { return m_folder.filePath(name); }

 private:
  QTemporaryDir m_folder;
};

}  // namespace bench
