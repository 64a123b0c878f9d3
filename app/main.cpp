// tavrocam: the viewer and remote control of the TQ400 camera.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
#include <QStringList>

#include "app/camera_app.h"
#include "app/command_line.h"
#include "app/display_check.h"
#include "app/profile_text.h"
#include "app/qt_user_dialogs.h"
#include "platform/driver.h"
#include "platform/usb/usb_driver.h"
#include "sim/sim_driver.h"

namespace {

// The backend is chosen once, before any camera link exists.
bool InstallBackend(const CommandLine& line) {
  if (line.camera == CameraBackend::Simulated) {
    sim::SimOptions options;
    options.paced = line.simPaced;
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
      std::fprintf(stderr, "tavrocam: the profile's %s wants VVVV:PPPP ids, not \"%s\"\n", kProfileUsbIds, kept.c_str());
      return false;
    }
    options.extraIds.insert(options.extraIds.end(), ids->begin(), ids->end());
  }
  // Empty when libusb cannot start: the program then finds no camera.
  platform::InstallDriver(platform::usb::CreateLibusbDriver(options));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!HasDisplay(argc, argv)) {
    std::fputs(NoDisplayMessage().c_str(), stderr);
    return 2;
  }
  QApplication application(argc, argv);

  // Qt has taken its own options out of the list by now.
  std::vector<std::string> args;
  const QStringList all = QCoreApplication::arguments();
  for (qsizetype i = 1; i < all.size(); ++i) args.push_back(all[i].toStdString());
  const CommandLineResult parsed = ParseCommandLine(args);
  if (!parsed.options) {
    std::fprintf(stderr, "tavrocam: %s (see --help)\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.options->help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (!InstallBackend(*parsed.options)) return 2;

  int exitCode = EXIT_FAILURE;
  {
    QtUserDialogs dialogs;
    const CommandLine& line = *parsed.options;
    CCameraApp app(dialogs, {line.captureDir, line.intervalSeconds, line.rotationDegrees});
    if (app.InitInstance()) {
      dialogs.SetParent(app.MainWindow());
      exitCode = app.Run();
    }
  }
  platform::InstallDriver(nullptr);
  return exitCode;
}
