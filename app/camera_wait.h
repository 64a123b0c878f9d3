// While the program serves or pushes with no camera: the viewers and the push
// get a "NO CAMERA" picture, and the camera is tried again every 2 seconds
// until it opens. Nothing here opens a box, so a program nobody sits in front
// of never waits on one.
#pragma once

#include <cstdint>
#include <functional>

#include <QImage>
#include <QObject>
#include <QSize>
#include <QTimer>

class CFrameTaps;

class CCameraWait : public QObject {
 public:
  static constexpr int kRetryMs = 2000;
  // Viewers keep a picture that changes this often; the push repeats it anyway.
  static constexpr int kPictureMs = 1000;

  // How often a device arrival (where the backend hears of one) is looked for.
  static constexpr int kArrivalCheckMs = 200;

  // `tryOpen` runs on this thread at each retry: true when the camera opened
  // and live view runs again. `arrivals` counts devices plugged in (the
  // driver's DeviceArrivals): a new one means a retry at once.
  CCameraWait(CFrameTaps& taps, std::function<bool()> tryOpen, std::function<std::uint64_t()> arrivals = {},
              int retryMs = kRetryMs);

  // Starts waiting with a stand-in picture of `pictureSize` (1024x768 when
  // empty). `why` is told once on standard error.
  void Begin(QSize pictureSize, const char* why);
  void End();
  bool Waiting() const { return m_retry.isActive(); }

  // The stand-in picture: dark, "NO CAMERA" across its middle.
  static QImage NoCameraPicture(QSize size);

 private:
  void Retry();
  void Publish();
  void CheckArrivals();

  CFrameTaps& m_taps;
  std::function<bool()> m_tryOpen;
  std::function<std::uint64_t()> m_arrivals;
  std::uint64_t m_seenArrivals = 0;
  QTimer m_retry;
  QTimer m_republish;
  QTimer m_arrivalCheck;
  QImage m_picture;
};
