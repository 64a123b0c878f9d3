#include "bench/support/scratch_profile.h"

#include <cstdlib>

#include <QSettings>

namespace bench {

CScratchProfile::CScratchProfile() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const QByteArray folder = m_folder.path().toLocal8Bit();
  setenv("XDG_CONFIG_HOME", folder.constData(), 1);
  setenv("TAVROCAM_CLAIM_DIR", folder.constData(), 1);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_folder.path());
}

}  // namespace bench
