#include "output/movie_options_store.h"

#include <algorithm>

#include <QSettings>
#include <QString>

namespace {

QSettings Profile() { return QSettings(QStringLiteral("TQ400 Application"), QStringLiteral("TAVROCAM")); }

const QString kCompressorKey = QStringLiteral("Movie/Compressor");
const QString kQualityKey = QStringLiteral("Movie/Quality");

}  // namespace

MovieCompression LoadMovieCompression() {
  const QSettings settings = Profile();
  MovieCompression choice;
  const QString compressor = settings.value(kCompressorKey).toString();
  if (!compressor.isEmpty()) choice.compressor = compressor.toStdString();
  bool isNumber = false;
  const int quality = settings.value(kQualityKey).toInt(&isNumber);
  if (isNumber) choice.quality = std::clamp(quality, 1, 100);
  return choice;
}

void SaveMovieCompression(const MovieCompression& choice) {
  QSettings settings = Profile();
  settings.setValue(kCompressorKey, QString::fromStdString(choice.compressor));
  settings.setValue(kQualityKey, choice.quality);
}
