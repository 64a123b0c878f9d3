// tavrocam: the viewer and remote control of the TQ400 camera.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QStringList>

#include "app/camera_app.h"
#include "app/camera_server_link.h"
#include "app/command_line.h"
#include "app/early_options.h"
#include "app/failure_log.h"
#include "app/ffmpeg_log.h"
#include "app/main_frame.h"
#include "app/profile_text.h"
#include "app/qt_user_dialogs.h"
#include "app/serve_options.h"
#include "broadcast/broadcast_push.h"
#include "broadcast/push_target.h"
#include "panel/remocon_dlg.h"
#include "platform/driver.h"
#include "platform/usb/usb_driver.h"
#include "server/camera_server.h"
#include "sim/sim_driver.h"

namespace {

// The backend is chosen once, before any camera link exists.
bool InstallBackend(const CommandLine& line) {
  if (line.camera == CameraBackend::Simulated) {
    sim::SimOptions options;
    options.paced = line.simPaced;
    options.documentScene = line.simDocumentScene;
    platform::InstallDriver(sim::CreateSimulatedDriver(options));
    return true;
  }
  platform::usb::UsbDriverOptions options;
  options.verbose = line.verbose;
  for (const std::string& text : line.usbIds) {
    const auto id = platform::usb::ParseUsbId(text);
    if (!id) {
      std::fprintf(stderr, "tavrocam: --usb-id wants VVVV:PPPP in hexadecimal, not \"%s\"\n", text.c_str());
      return false;
    }
    options.extraIds.push_back(*id);
  }
  // Ids kept in the profile count too; a malformed value is reported, not guessed at.
  if (const std::string kept = ReadProfileText(kProfileUsbIds); !kept.empty()) {
    const auto ids = platform::usb::ParseUsbIdList(kept);
    if (!ids) {
      std::fprintf(stderr, "tavrocam: the profile's %s wants VVVV:PPPP ids, not \"%s\"\n", kProfileUsbIds,
                   kept.c_str());
      return false;
    }
    options.extraIds.insert(options.extraIds.end(), ids->begin(), ids->end());
  }
  // Empty when libusb cannot start: the program then finds no camera.
  platform::InstallDriver(platform::usb::CreateLibusbDriver(options));
  return true;
}

// --headless has to act before the application object exists, when Qt
// picks its platform.
// --headless, and the options that only print the help: those
// must work over a plain terminal, with no display at all.
bool HeadlessRequested(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    for (const char* option : {"--headless", "--help", "-h", "-?", "--help-all"})
      if (std::strcmp(argv[i], option) == 0) return true;
  return false;
}

// The web server beside the main window; empty when not asked for.
// Returns false when it was asked for and could not start.
bool StartServer(const CommandLine& line, const server::CameraServerOptions& options, CMainFrame& frame,
                 CCameraServerLink& link, std::unique_ptr<server::CCameraServer>& running) {
  if (!line.serve) return true;
  running = std::make_unique<server::CCameraServer>(link, options);
  if (const std::string failed = running->Start(); !failed.empty()) {
    std::fprintf(stderr, "tavrocam: the web server did not start: %s\n", failed.c_str());
    running.reset();
    return false;
  }
  // Before the program ends, on any path, the server lets its clients go.
  QObject::connect(&frame, &CMainFrame::shuttingDown, &running->Remote(), [server = running.get()] { server->Stop(); });
  frame.Outputs().SetWebAddress(QString::fromStdString(running->Url()));
  std::printf("tavrocam: serving the camera at %s\n", running->Url().c_str());
  std::fflush(stdout);
  return true;
}

// Anything this large is mapped on its own and unmapped when freed.
constexpr int kPictureAllocationThreshold = 256 * 1024;

}  // namespace

int main(int argc, char** argv) {
  // Pictures are megabytes, allocated on many threads (the viewers' connections
  // each have one). With the allocator's moving threshold they come from
  // per-thread heaps whose high-water marks stay resident for the rest of a
  // long day; at a fixed threshold they go to the system and back.
  mallopt(M_MMAP_THRESHOLD, kPictureAllocationThreshold);
  // A bad option, --version and a missing display are told apart before Qt,
  // which would stop at the missing display first.
  if (const std::optional<int> early = HandleEarlyOptions(argc, argv)) return *early;
  if (HeadlessRequested(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  // Qt has taken its own options out of the list by now.
  std::vector<std::string> args;
  const QStringList all = QCoreApplication::arguments();
  for (qsizetype i = 1; i < all.size(); ++i) args.push_back(all[i].toStdString());
  const std::optional<CommandLine> parsed = ParseOrTellWhyNot(args);
  if (!parsed) return 2;
  if (parsed->help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  RouteFfmpegLog(parsed->verbose);
  // Every failure's reason, from the camera's open on.
  platform::CFailureRecorder::Subscription failuresPrinted;
  if (parsed->verbose) failuresPrinted = PrintFailures();
  if (!InstallBackend(*parsed)) return 2;
  // A push URL that can never work is told once, before any window opens.
  if (const std::string& url = parsed->pushUrl; !url.empty()) {
    if (const PushTargetResult target = ParsePushTarget(url); !target.target) {
      std::fprintf(stderr, "tavrocam: %s\n", target.error.c_str());
      return 2;
    }
  }

  server::CameraServerOptions serveOptions;
  if (parsed->serve) {
    if (const std::string refused = BuildServeOptions(*parsed, serveOptions); !refused.empty()) {
      std::fprintf(stderr, "tavrocam: %s\n", refused.c_str());
      return 2;
    }
  }

  int exitCode = EXIT_FAILURE;
  {
    QtUserDialogs dialogs;
    const CommandLine& line = *parsed;
    const std::shared_ptr<platform::IDriver> driver = platform::CurrentDriverShared();
    CCameraApp app(dialogs, *driver,
                   {line.captureDir, line.intervalSeconds, line.rotationDegrees, line.scanLook, line.ocrLanguages});
    // Nobody may be there to close a box: serving, pushing or headless, the
    // program waits for its camera instead.
    app.SetCarryOnWithoutCamera(line.headless || line.serve.has_value() || !line.pushUrl.empty());
    if (app.InitInstance()) {
      dialogs.SetParent(app.MainWindow());
      const auto failuresInPanel = LogFailuresInPanel(app.MainWindow()->Remocon());
      if (parsed->verbose) {
        // Frames and bytes of the last second, as the panel's hidden readout shows them.
        app.MainWindow()->Remocon().SetRateListener([](const QString& rate) {
          std::fprintf(stderr, "tavrocam: rate %s\n", rate.trimmed().toLatin1().constData());
          std::fflush(stderr);
        });
      }
      if (!parsed->pushUrl.empty()) {
        PushSettings push;
        push.url = parsed->pushUrl;
        if (parsed->pushBitrateKbit > 0) push.bitrateKbit = parsed->pushBitrateKbit;
        std::string error;
        if (!app.MainWindow()->Outputs().StartBroadcast(push, error))
          std::fprintf(stderr, "tavrocam: %s\n", error.c_str());
      }
      CCameraServerLink link(*app.MainWindow());
      std::unique_ptr<server::CCameraServer> webServer;
      if (StartServer(*parsed, serveOptions, *app.MainWindow(), link, webServer)) exitCode = app.Run();
      if (webServer) webServer->Stop();
    }
  }
  platform::InstallDriver(nullptr);
  return exitCode;
}
