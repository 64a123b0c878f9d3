// The presenter's settings: where quick captures go and in which format,
// the interval of a capture series, and the picture's turn. Command-line
// values come first, then the profile (section "Setting"), then defaults.
#pragma once

#include <optional>
#include <string>

#include <QString>

#include "output/quick_capture.h"

struct ScanControllerOptions;

struct PresenterOptions {
  std::optional<std::string> captureDir;
  std::optional<double> intervalSeconds;
  std::optional<int> rotationDegrees;
  std::optional<std::string> scanLook;  // --scan-look
  std::string ocrLanguages = "eng";     // --ocr-lang
};

inline constexpr char kProfileCaptureDir[] = "CaptureDir";
inline constexpr char kProfileCaptureFormat[] = "CaptureFormat";
inline constexpr char kProfileCaptureInterval[] = "CaptureInterval";
inline constexpr char kProfileRotation[] = "Rotation";
// A series started from the menu without --interval or a profile value.
inline constexpr double kDefaultIntervalSeconds = 5.0;

// --capture-dir, else the profile's CaptureDir, else Pictures/Tavrocam.
QString CaptureFolder(const PresenterOptions& options);
// BMP when the profile's CaptureFormat is "bmp" (in any case), else JPEG.
CaptureFormat ProfileCaptureFormat();
// --interval, else the profile's CaptureInterval when in range, else 5 s.
double CaptureIntervalSeconds(const PresenterOptions& options);
// --rotate, else the profile's Rotation when it is 0, 90, 180 or 270, else 0.
int StartRotationDegrees(const PresenterOptions& options);
void WriteProfileRotation(int degrees);
inline constexpr char kProfileScanLook[] = "ScanLook";
// Scans go to the capture folder; the look is --scan-look, else the
// profile's ScanLook when valid, else colour.
ScanControllerOptions ScanOptionsFor(const PresenterOptions& options);
