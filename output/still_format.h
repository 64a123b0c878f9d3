// Which kind of file a save produces, decided by the extension of the file's
// own name (never by a folder's name or an inner ".bmp" of the name).
#pragma once

#include <QString>

enum class StillFormat { kUnknown, kBmp, kJpeg };

StillFormat StillFormatForName(const QString& path);
