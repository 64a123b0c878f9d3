// A main window on the simulated camera with the web server listening on
// the loopback at a free port, and helpers to run clients off the
// user-interface thread while it keeps handling events.
#pragma once

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <optional>

#include <QSignalSpy>
#include <QTest>

#include "app/camera_server_link.h"
#include "app/main_frame.h"
#include "output/user_dialogs.h"
#include "panel/remocon_dlg.h"
#include "platform/driver.h"
#include "server/camera_server.h"
#include "sim/sim_driver.h"

class AnsweringDialogs final : public IUserDialogs {
 public:
  void MessageBox(const QString& text) override { messages << text; }
  std::optional<QString> SaveFileName(const QStringList&, const QString&) override { return std::nullopt; }
  bool ChoosePrinter(QPrinter&) override { return false; }
  std::optional<MovieCompression> ChooseMovieCompression() override { return std::nullopt; }
  QStringList messages;
};

class ServerTest : public ::testing::Test {
 protected:
  static constexpr double kTimeScale = 0.05;

  void TearDown() override {
    m_server.reset();
    m_frame.reset();
    platform::InstallDriver(nullptr);
  }

  void Start(server::CameraServerOptions options = {}, sim::SimOptions simOptions = {}) {
    simOptions.timeScale = kTimeScale;
    m_sim = sim::CreateSimulatedDriver(simOptions);
    platform::InstallDriver(m_sim);
    m_frame = std::make_unique<CMainFrame>(m_dialogs, platform::CurrentDriver(), CameraTiming{kTimeScale});
    m_frame->SetPresenterOptions(m_presenter);
    ASSERT_TRUE(m_frame->Create());
    m_frame->show();
    m_link = std::make_unique<CCameraServerLink>(*m_frame);
    options.address.port = 0;
    m_server = std::make_unique<server::CCameraServer>(*m_link, options);
    ASSERT_EQ(m_server->Start(), "");
    QObject::connect(m_frame.get(), &CMainFrame::shuttingDown, &m_server->Remote(),
                     [server = m_server.get()] { server->Stop(); });
    // The first picture, so that every endpoint has something to show.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_server->Hub().Rate().frames > 0; }, 10000));
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_server->Port()) + path;
  }
  std::uint16_t Port() const { return m_server->Port(); }

  // Runs `client` on a thread of its own while this thread handles events;
  // bounded by the clients' own time-outs.
  template <typename F>
  auto Client(F client) -> decltype(client()) {
    auto result = std::async(std::launch::async, std::move(client));
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) QTest::qWait(5);
    return result.get();
  }

  // Command frames the camera received with this code.
  std::vector<std::vector<std::uint8_t>> Commands(std::uint8_t code) const {
    std::vector<std::vector<std::uint8_t>> found;
    for (auto& frame : m_sim->Camera(0).ReceivedCommands())
      if (frame.size() > 3 && frame[3] == code) found.push_back(frame);
    return found;
  }

  AnsweringDialogs m_dialogs;
  // The command line's presenter options (capture folder, ...) for the next Start.
  PresenterOptions m_presenter;
  std::shared_ptr<sim::SimDriver> m_sim;
  std::unique_ptr<CMainFrame> m_frame;
  std::unique_ptr<CCameraServerLink> m_link;
  std::unique_ptr<server::CCameraServer> m_server;
};
