// The push's state as one small line over the top-left corner of the live
// picture: connecting, live, retrying with the last error, or failed. No
// box: the picture stays usable whatever the server does.
#pragma once

#include <memory>

#include <QBasicTimer>
#include <QLabel>
#include <QString>

#include "broadcast/push_state.h"

class CPushOverlay : public QLabel {
  Q_OBJECT
 public:
  static constexpr int kPollMs = 250;

  CPushOverlay(std::shared_ptr<const CPushState> state, QWidget* view);

  // Reads the state now (the timer does it every kPollMs).
  void Refresh();

 signals:
  // The line changed; empty when there is no push.
  void statusLineChanged(const QString& line);

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  std::shared_ptr<const CPushState> m_state;
  QBasicTimer m_timer;
  QString m_line;
};
