// Saving the frame bitmap's picture to a still file.
#pragma once

#include <string>

class CFrameBitmap;

// Writes the picture to a BMP or JPEG file chosen by the name's extension;
// 1 when a file was written, 0 otherwise. Takes the bitmap's buffer lock.
int SaveImage(CFrameBitmap& bitmap, const std::string& fileName);
