// Reading a page picture from a file into the pixel layout the page path takes.
#pragma once

#include <opencv2/core/mat.hpp>
#include <string>

namespace scan_cli {

// 8-bit BGR; empty with `error` set when the file is not a readable picture.
cv::Mat ReadPagePicture(const std::string& path, std::string& error);

}  // namespace scan_cli
