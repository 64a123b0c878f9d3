#include "bench/support/bench_program.h"

#include <cstdio>

#include <QElapsedTimer>
#include <QTest>

#include "app/main_frame.h"
#include "app/messages.h"
#include "bench/support/clocks.h"
#include "platform/driver.h"
#include "platform/driver_records.h"

namespace bench {

void CSilentDialogs::MessageBox(const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }

CBenchProgram::CBenchProgram(int startMode, bool documentScene) {
  sim::SimOptions options;
  options.paced = true;
  options.startMode = startMode;
  options.documentScene = documentScene;
  m_driver = sim::CreateSimulatedDriver(options);
  platform::InstallDriver(m_driver);
  m_frame = std::make_unique<CMainFrame>(m_dialogs, *m_driver);
  m_started = m_frame->Create();
  if (m_started) m_frame->show();
}

CBenchProgram::~CBenchProgram() {
  if (m_started) m_frame->SendCamMessage(WM_CAM_SHUTDOWN);
  m_frame.reset();
  platform::InstallDriver(nullptr);
}

ProgramInterval CBenchProgram::Measure(int seconds) {
  const auto frameRequests = [&] {
    return static_cast<double>(m_driver->Camera(0).VendorRequestCount(platform::request::kStartFrame));
  };
  const double frames = frameRequests();
  const double cpu = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
  QElapsedTimer wall;
  wall.start();
  QTest::qWait(seconds * 1000);
  const double elapsedMs = static_cast<double>(wall.elapsed());
  ProgramInterval interval;
  interval.fps = (frameRequests() - frames) * 1000.0 / elapsedMs;
  interval.cpuShare = (ClockMs(CLOCK_PROCESS_CPUTIME_ID) - cpu) / elapsedMs;
  return interval;
}

}  // namespace bench
