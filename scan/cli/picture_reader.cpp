#include "scan/cli/picture_reader.h"

#include <opencv2/imgproc.hpp>

#include <QImage>
#include <QImageReader>
#include <QString>

namespace scan_cli {

cv::Mat ReadPagePicture(const std::string& path, std::string& error) {
  QImageReader reader(QString::fromStdString(path));
  // Bounded so a hostile header cannot ask for gigabytes.
  reader.setAllocationLimit(512);
  QImage image = reader.read();
  if (image.isNull()) {
    error = "Cannot read " + path + ": " + reader.errorString().toStdString();
    return {};
  }
  image = image.convertToFormat(QImage::Format_RGB888);
  const cv::Mat rgb(image.height(), image.width(), CV_8UC3, image.bits(),
                    static_cast<std::size_t>(image.bytesPerLine()));
  cv::Mat bgr;
  cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
  return bgr;
}

}  // namespace scan_cli
