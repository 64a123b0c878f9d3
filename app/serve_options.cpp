#include "app/serve_options.h"

#include <cstdio>
#include <cstdlib>

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

#include "server/access_token.h"
#include "server/serve_address.h"
#include "server/token_file.h"

namespace {

// Where the token comes from, the first that is given: the file, the
// command line, the environment.
std::string ChooseToken(const CommandLine& line, std::string& token) {
  if (!line.serveTokenFile.empty()) {
    server::TokenFileResult read = server::ReadTokenFile(line.serveTokenFile);
    if (!read.error.empty()) return "--serve-token-file: " + read.error;
    token = std::move(read.token);
    return {};
  }
  if (!line.serveToken.empty()) {
    std::fputs(
        "tavrocam: warning: --serve-token is visible to every user of this computer (ps); "
        "use --serve-token-file or TAVROCAM_SERVE_TOKEN\n",
        stderr);
    token = line.serveToken;
    return {};
  }
  if (const char* variable = std::getenv(kServeTokenVariable); variable && *variable) token = variable;
  return {};
}

// The profile's names, separated by commas or blanks. The profile's format
// reads "a, b" as a list, so both forms are taken.
QStringList ProfileServeHosts() {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "TQ400 Application", "TAVROCAM");
  settings.beginGroup("Setting");
  const QString all = settings.value(QLatin1String(kProfileServeHosts)).toStringList().join(' ');
  return all.split(QRegularExpression("[,\\s]+"), Qt::SkipEmptyParts);
}

std::string ReadPem(const std::string& path, const char* option, std::string& into) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return std::string(option) + "=" + path + ": cannot be read";
  // No certificate or key is anywhere near this large.
  const QByteArray bytes = file.read(1 << 20);
  if (bytes.isEmpty()) return std::string(option) + "=" + path + ": empty";
  into = bytes.toStdString();
  return {};
}

}  // namespace

std::string BuildServeOptions(const CommandLine& line, server::CameraServerOptions& options) {
  if (line.serve && !line.serve->empty()) {
    const auto address = server::ParseServeAddress(*line.serve);
    if (!address) return "--serve wants ADDR:PORT, not " + *line.serve;
    options.address = *address;
  }
  if (std::string refused = ChooseToken(line, options.token); !refused.empty()) return refused;
  if (!options.token.empty())
    if (const std::string weak = server::TokenWeakness(options.token); !weak.empty()) return weak;
  options.extraHosts = line.serveHosts;
  // The profile's ServeHosts: names separated by commas or blanks.
  for (const QString& name : ProfileServeHosts()) {
    if (!server::IsServeHostName(name.toStdString()))
      return std::string(kProfileServeHosts) + " in the profile: not a host name: " + name.toStdString();
    options.extraHosts.push_back(name.toStdString());
  }
  if (!line.serveCert.empty()) {
    if (std::string failed = ReadPem(line.serveCert, "--serve-cert", options.tls.certificatePem); !failed.empty())
      return failed;
    if (std::string failed = ReadPem(line.serveKey, "--serve-key", options.tls.keyPem); !failed.empty()) return failed;
  }
  options.verbose = line.verbose;
  return {};
}
