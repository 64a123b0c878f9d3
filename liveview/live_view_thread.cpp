#include "liveview/live_view_thread.h"

#include <chrono>
#include <memory>
#include <span>

#include "liveview/aligned_bytes.h"
#include "liveview/frame_rotation.h"
#include "liveview/frame_taps.h"
#include "liveview/live_view.h"
#include "platform/sleep.h"

namespace {

// The pace at which a camera that could not tell its mode is asked again.
constexpr std::uint32_t kModeRetryMs = 30;
// Leaves the user-interface thread a moment between frames.
constexpr std::uint32_t kFramePauseMs = 1;

}  // namespace

std::uint32_t LiveViewThread(void* param) {
  ILiveViewHost& host = *static_cast<ILiveViewHost*>(param);
  host.SetWorkerAlive(true);
  const platform::EventHandle gate = host.RunEvent();
  CLiveView& view = host.View();
  ILiveFrameSource& source = host.FrameSource();
  // The taps' copy of a turned picture; made on the first turned frame.
  AlignedBytes turned;
  bool toldRunning = false;

  for (;;) {
    // A gate closed under us means the owner is going away.
    if (platform::WaitForEvent(gate, platform::kInfinite) != platform::WaitResult::Signalled) break;
    if (!view.HasWindow() || !host.LiveRunning()) break;

    const bool queried = source.QueryMode();
    if (!toldRunning) {
      toldRunning = true;
      host.WorkerRunning();
    }
    if (!queried) {
      platform::SleepMs(kModeRetryMs);
      continue;
    }
    if (source.Mode() != host.DisplayedMode()) host.SendResize();

    CFrameBitmap& bitmap = view.Bitmap();
    if (!bitmap.Create(source.Width(), source.Height(), 24)) {
      // The buffer would overflow: never hand it to the acquisition.
      host.CountFrame();
      host.AcquisitionFailed();
      break;
    }
    const bool grabbed = source.GrabFrame(bitmap.Pixels());
    host.CountFrame();
    if (!grabbed) {
      // The packed bitmap keeps the last good frame on screen.
      host.AcquisitionFailed();
      break;
    }
    if (!view.HasWindow()) break;
    {
      auto lock = bitmap.LockBuffers();
      bitmap.SyncToPackedBitmap();
    }
    view.InvalidateFromWorker();
    if (CFrameTaps* taps = host.FrameTaps(); taps != nullptr && !taps->Empty()) {
      // Only this thread writes the pixel buffer, so reading it needs no lock.
      int width = bitmap.Width();
      int height = bitmap.Height();
      int rowBytes = bitmap.RowBytes();
      const std::uint8_t* pixels = bitmap.Pixels();
      if (const int turns = host.QuarterTurns() & 3; turns != 0) {
        // Receivers get the picture the way the view shows it.
        if (!turned) turned = MakeAlignedBytes(CFrameBitmap::kPixelCapacity);
        const TurnedSize size = TurnSize(width, height, turns);
        TurnPixels({pixels, rowBytes, width, height}, turns, turned.get(), size.width * 3);
        width = size.width;
        height = size.height;
        rowBytes = size.width * 3;
        pixels = turned.get();
      }
      const auto bytes = static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height);
      taps->Publish({.width = width,
                     .height = height,
                     .rowBytes = rowBytes,
                     .pixels = std::span<const std::uint8_t>(pixels, bytes),
                     .captured = std::chrono::steady_clock::now()});
    }
    if (!host.LiveRunning()) break;
    platform::SleepMs(kFramePauseMs);
  }

  if (!toldRunning) host.WorkerRunning();
  host.SetWorkerAlive(false);
  return 0;
}
