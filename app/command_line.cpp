#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include "app/keys_help.h"
#include "server/serve_address.h"

namespace {

struct Options {
  QCommandLineOption camera{"camera", "usb (the default): a real TQ400; sim: the built-in simulated camera.",
                            "usb|sim"};
  QCommandLineOption simPaced{"sim-paced", "Deliver the simulated picture at USB 2.0 high-speed rate."};
  QCommandLineOption usbId{"usb-id", "Also look for cameras with this vendor:product id (repeatable).", "VVVV:PPPP"};
  QCommandLineOption verbose{"verbose", "Log every open and transfer on standard error."};
  QCommandLineOption captureDir{"capture-dir", "Folder for quick captures (Space).", "DIR"};
  QCommandLineOption interval{"interval", "Start a quick capture every SECONDS (0.5 to 3600) at once.", "SECONDS"};
  QCommandLineOption rotate{"rotate", "Turn the picture clockwise by this many degrees.", "0|90|180|270"};
  QCommandLineOption serve{"serve", "Serve the picture and the panel over HTTP (default 127.0.0.1:8400).", "ADDR:PORT"};
  QCommandLineOption serveToken{"serve-token", "The token every request must carry (at least 16 characters).",
                                "SECRET"};
  QCommandLineOption serveTokenFile{"serve-token-file",
                                    "Read the token from this file (only its owner may read it); also "
                                    "TAVROCAM_SERVE_TOKEN.",
                                    "PATH"};
  QCommandLineOption serveHost{"serve-host", "Also answer requests sent to this host name (repeatable).", "NAME"};
  QCommandLineOption serveCert{"serve-cert", "Serve over HTTPS with this PEM certificate (with --serve-key).", "PEM"};
  QCommandLineOption serveKey{"serve-key", "The PEM private key of --serve-cert.", "PEM"};
  QCommandLineOption headless{"headless", "Run without a window on screen (Qt's offscreen platform)."};
  QCommandLineOption push{"push", "Push the picture to a streaming server or a .mkv/.mp4 file.", "URL"};
  QCommandLineOption pushBitrate{"push-bitrate", "The push's bit rate, 100 to 50000.", "KBIT"};
  QCommandLineOption version{"version", "Print the program's and the JPEG encoder's version."};
  QCommandLineOption simScene{"sim-scene", "The simulated camera's scene: testpage (the default) or document.",
                              "testpage|document"};
  QCommandLineOption scanLook{"scan-look", "How scanned pages look: colour, grey or bw.", "colour|grey|bw"};
  QCommandLineOption ocrLang{"ocr-lang", "Languages of scanned text (eng, eng+deu).", "LANG"};
};

void Describe(QCommandLineParser& parser, const Options& o) {
  parser.setApplicationDescription("The viewer and remote control of the TQ400 camera.");
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addHelpOption();
  for (const QCommandLineOption* option :
       {&o.camera, &o.simPaced,    &o.usbId,          &o.verbose,   &o.captureDir, &o.interval, &o.rotate,
        &o.serve,  &o.serveToken,  &o.serveTokenFile, &o.serveHost, &o.serveCert,  &o.serveKey, &o.headless,
        &o.push,   &o.pushBitrate, &o.version,        &o.simScene,  &o.scanLook,   &o.ocrLang})
    parser.addOption(*option);
}

std::string Refusal(const QString& option, const QString& value, const char* wants) {
  return "--" + option.toStdString() + "=" + value.toStdString() + ": " + wants;
}

}  // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
  Options o;
  QCommandLineParser parser;
  Describe(parser, o);
  QStringList line{QStringLiteral("tavrocam")};
  // --serve may stand without a value (the default address); the parser
  // wants one for an option that takes values, so that form is read here.
  bool serveDefault = false;
  for (const std::string& arg : args) {
    if (arg == "--serve")
      serveDefault = true;
    else
      line << QString::fromStdString(arg);
  }
  if (!parser.parse(line)) {
    if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
      const QString name = unknown.front();
      return {std::nullopt, "unknown option: " + std::string(name.size() == 1 ? "-" : "--") + name.toStdString()};
    }
    return {std::nullopt, parser.errorText().toStdString()};
  }
  if (!parser.positionalArguments().isEmpty())
    return {std::nullopt, "unexpected argument: " + parser.positionalArguments().front().toStdString()};

  CommandLine result;
  // --help-all is the parser's own longer form; both print our help.
  result.help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
  result.version = parser.isSet(o.version);
  if (parser.isSet(o.camera)) {
    // The last one given wins, as with every repeated switch.
    const QString value = parser.values(o.camera).back();
    if (value == u"usb")
      result.camera = CameraBackend::Usb;
    else if (value == u"sim")
      result.camera = CameraBackend::Simulated;
    else
      return {std::nullopt, Refusal(o.camera.names().front(), value, "the camera is usb or sim")};
  }
  result.simPaced = parser.isSet(o.simPaced);
  result.verbose = parser.isSet(o.verbose);
  for (const QString& id : parser.values(o.usbId)) result.usbIds.push_back(id.toStdString());
  if (parser.isSet(o.captureDir)) {
    const QString dir = parser.value(o.captureDir);
    if (dir.isEmpty()) return {std::nullopt, "--capture-dir needs a folder"};
    result.captureDir = dir.toStdString();
  }
  if (parser.isSet(o.interval)) {
    const QString value = parser.value(o.interval);
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    if (!ok || !(seconds >= kMinIntervalSeconds && seconds <= kMaxIntervalSeconds))
      return {std::nullopt, Refusal(o.interval.names().front(), value, "seconds from 0.5 to 3600")};
    result.intervalSeconds = seconds;
  }
  if (parser.isSet(o.rotate)) {
    const QString value = parser.value(o.rotate);
    bool ok = false;
    const int degrees = value.toInt(&ok);
    if (!ok || (degrees != 0 && degrees != 90 && degrees != 180 && degrees != 270))
      return {std::nullopt, Refusal(o.rotate.names().front(), value, "the turn is 0, 90, 180 or 270")};
    result.rotationDegrees = degrees;
  }
  if (parser.isSet(o.serve)) {
    const std::string address = parser.values(o.serve).back().toStdString();
    if (!server::ParseServeAddress(address)) return {std::nullopt, "--serve wants ADDR:PORT, not " + address};
    result.serve = address;
  } else if (serveDefault) {
    result.serve = std::string();
  }
  if (parser.isSet(o.serveToken)) result.serveToken = parser.value(o.serveToken).toStdString();
  if (parser.isSet(o.serveTokenFile)) {
    result.serveTokenFile = parser.value(o.serveTokenFile).toStdString();
    if (result.serveTokenFile.empty()) return {std::nullopt, "--serve-token-file needs a file"};
    if (parser.isSet(o.serveToken))
      return {std::nullopt, "give the token by --serve-token or --serve-token-file, not both"};
  }
  for (const QString& name : parser.values(o.serveHost)) {
    if (!server::IsServeHostName(name.toStdString()))
      return {std::nullopt, Refusal(o.serveHost.names().front(), name, "a host name such as camera.local")};
    result.serveHosts.push_back(name.toStdString());
  }
  result.serveCert = parser.value(o.serveCert).toStdString();
  result.serveKey = parser.value(o.serveKey).toStdString();
  if (result.serveCert.empty() != result.serveKey.empty())
    return {std::nullopt, "--serve-cert and --serve-key go together"};
  result.headless = parser.isSet(o.headless);
  if (parser.isSet(o.push)) {
    result.pushUrl = parser.value(o.push).toStdString();
    if (result.pushUrl.empty()) return {std::nullopt, "--push needs a URL or a .mkv/.mp4 file"};
  }
  if (parser.isSet(o.pushBitrate)) {
    const QString value = parser.value(o.pushBitrate);
    bool ok = false;
    const int kbit = value.toInt(&ok);
    if (!ok || kbit < 100 || kbit > 50000)
      return {std::nullopt, "--push-bitrate wants kilobits per second from 100 to 50000"};
    result.pushBitrateKbit = kbit;
  }
  if (parser.isSet(o.simScene)) {
    const QString scene = parser.value(o.simScene);
    if (scene != "testpage" && scene != "document")
      return {std::nullopt, Refusal(o.simScene.names().front(), scene, "the scene is testpage or document")};
    result.simDocumentScene = scene == "document";
  }
  if (parser.isSet(o.scanLook)) {
    const QString look = parser.value(o.scanLook);
    if (look != "colour" && look != "grey" && look != "bw")
      return {std::nullopt, Refusal(o.scanLook.names().front(), look, "the look is colour, grey or bw")};
    result.scanLook = look.toStdString();
  }
  if (parser.isSet(o.ocrLang)) {
    result.ocrLanguages = parser.value(o.ocrLang).toStdString();
    if (result.ocrLanguages.empty()) return {std::nullopt, "--ocr-lang needs a language, e.g. eng or eng+deu"};
  }
  return {result, {}};
}

std::string UsageText() {
  Options o;
  QCommandLineParser parser;
  Describe(parser, o);
  return parser.helpText().toStdString() + KeysHelpText();
}
