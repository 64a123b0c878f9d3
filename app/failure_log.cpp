#include "app/failure_log.h"

#include <cstdio>
#include <string>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QString>

#include "panel/remocon_dlg.h"

platform::CFailureRecorder::Subscription PrintFailures() {
  return platform::Failures().Listen([](const platform::Failure& failure) {
    std::fprintf(stderr, "tavrocam: failed: %s\n", platform::FormatFailure(failure).c_str());
    std::fflush(stderr);
  });
}

platform::CFailureRecorder::Subscription LogFailuresInPanel(CRemoconDlg& panel) {
  if (const auto earlier = platform::Failures().Last())
    panel.AppendFailureLine(QString::fromStdString(platform::FormatFailure(*earlier)));
  QPointer<CRemoconDlg> shown(&panel);
  return platform::Failures().Listen([shown](const platform::Failure& failure) {
    // Failures come from any thread; the panel is the interface thread's,
    // which alone looks at it (it may have gone in the meantime).
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [shown, text = QString::fromStdString(platform::FormatFailure(failure))] {
          if (shown) shown->AppendFailureLine(text);
        },
        Qt::QueuedConnection);
  });
}
