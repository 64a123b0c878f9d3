// The camera link: the only object that talks to the camera. It claims and
// opens a camera, fetches frames over four bulk pipes with four reader
// threads, and carries camera commands with their replies.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <string>

#include "camera/camera_error.h"
#include "camera/command_log.h"
#include "platform/critical_section.h"
#include "platform/device_claim.h"
#include "platform/driver.h"
#include "platform/event.h"
#include "platform/worker_thread.h"

// Scales the link's time-outs and pauses; 1.0 in the product. Tests shrink it
// to stay fast while keeping every time-out in its real proportion.
struct CameraTiming {
  // The link's pauses in the product, before scaling.
  static constexpr std::uint32_t kReaderStartPauseMs = 10;  // for the readers to reach their first read
  static constexpr std::uint32_t kReaderPollMs = 10;        // between checks while readers or requests finish
  static constexpr std::uint32_t kReplyDelayMs = 30;  // for the camera to act on a command before its reply is read
  static constexpr std::uint32_t kReadPauseMs = 10;   // between the pieces of a reply

  double scale = 1.0;
  std::uint32_t Ms(std::uint32_t productMs) const;
};

class CUsbCamera {
 public:
  static constexpr std::size_t kPipeCount = 4;
  static constexpr std::size_t kPipeBufferBytes = 0x90000;  // 1024 x 768 x 3 / 4
  static constexpr std::size_t kFrameBytes = 0x240000;      // 1024 x 768 x 3
  static constexpr std::size_t kReplyBufferBytes = 24;

  explicit CUsbCamera(platform::IDriver& driver, CameraTiming timing = {});
  virtual ~CUsbCamera();
  CUsbCamera(const CUsbCamera&) = delete;
  CUsbCamera& operator=(const CUsbCamera&) = delete;

  bool Open();
  void Close();
  bool IsOpen() const;
  bool CheckPresent();
  bool QueryHighSpeed();
  bool QueryMode();

  // The picture-size mode the camera reported last and the size it stands
  // for, read together; a mode without a size keeps the size before it.
  struct PictureMode {
    int mode = 0;
    int width = 640;
    int height = 480;
  };
  PictureMode Picture() const;
  // What QueryMode stores; for a caller that knows the picture without asking.
  void SetPicture(PictureMode picture);

  // Writes Picture().width x Picture().height x 3 bytes to dest and answers
  // true, or answers false and leaves dest untouched.
  bool GrabFrame(std::uint8_t* dest);

  void WriteCommandBytes(const std::uint8_t* bytes, int length);
  int ReadReplyBytes(std::uint8_t* buffer, int length);

  int SendCommand(std::uint8_t code, std::uint8_t value);
  int SendPlainCommand(std::uint8_t code, std::uint8_t value);
  int SendShortCommand(std::uint8_t code);

  // The panel's command log; null while there is none.
  void SetLogSink(ICommandLogSink* sink);

  // The connection speed the owner found with QueryHighSpeed; it sets the
  // pipes' shares and the frame waits.
  bool HighSpeed() const { return m_highSpeed.load(); }
  void SetHighSpeed(bool highSpeed) { m_highSpeed.store(highSpeed); }
  // Mirror (1) and flip (2), as the panel last set them; applied to every frame.
  int Orientation() const { return m_orientation.load(); }
  void SetOrientation(int orientation) { m_orientation.store(orientation); }
  // The last frame was given up after both waits; the readers stop until the next Open.
  bool Aborted() const { return m_aborted.load(); }

  // Diagnosis: the device and claim of the open (or last opened) camera, the
  // text left by a camera found claimed by another process, whether the
  // readers still serve frames, and why the last link operation or command failed.
  std::string DevicePath() const;
  std::string MutexName() const;
  std::string ErrorText() const;
  bool ReadersRunning() const { return m_running.load(); }
  camera::CameraError LastLinkError() const { return m_lastLinkError.load(); }
  camera::CameraError LastCommandError() const { return m_lastCommandError.load(); }

  // Assembles frames with the plain code even where the vector kernels run
  // (both give the same bytes; this is for comparing them).
  void UsePlainAssembly(bool plain) { m_useVectorAssembly.store(!plain && m_vectorSupported); }

  // A camera that keeps asking for the same command again gets it this many times in all.
  static constexpr int kMaxCommandAttempts = 5;

 private:
  struct ReaderContext {
    CUsbCamera* link = nullptr;
    std::uint32_t pipe = 0;
  };
  struct ReplyCollection {
    std::size_t total = 0;
    bool budgetSpent = false;  // the camera stayed silent through every read
    bool overflowed = false;   // the buffer filled without an end byte
  };

  static std::uint32_t ReaderThread(void* param);
  bool BuffersAllocated() const;
  void ServePipe(std::uint32_t pipe);
  void ReadShare(std::uint32_t pipe, platform::DeviceHandle handle);
  bool SendDeviceRequest(std::uint8_t requestCode);
  bool FailFrame(camera::CameraError error);
  // Keeps the failure for support (platform/failure_record.h) and for LastLinkError.
  void FailLink(camera::CameraError error, const char* what);
  void StopReaders();
  ReplyCollection CollectReply(std::span<std::uint8_t> reply);
  int Exchange(std::span<const std::uint8_t> frame, bool repeatWhenShort);
  void Log(std::span<const std::uint8_t> bytes);
  platform::DeviceHandle OpenDevice(const char* path);

  platform::IDriver& m_driver;
  const CameraTiming m_timing;

  std::atomic<platform::DeviceHandle> m_hDevice{platform::DeviceHandle::Null};
  std::atomic<platform::DeviceHandle> m_hControl{platform::DeviceHandle::Null};
  std::array<std::unique_ptr<std::uint8_t[]>, kPipeCount> m_pipeBuf;
  // On the heap rather than inside the object: 4.5 MB does not belong on a caller's stack.
  std::unique_ptr<std::uint8_t[]> m_stageA;
  std::unique_ptr<std::uint8_t[]> m_stageB;
  std::array<char, 256> m_devicePath{};
  std::atomic<bool> m_running{false};
  std::array<std::atomic<bool>, kPipeCount> m_readerAlive{};
  std::array<platform::EventHandle, kPipeCount> m_startEvent;
  std::array<platform::EventHandle, kPipeCount> m_doneEvent;
  std::atomic<std::uint32_t> m_bytesPerPipe{0};
  std::atomic<bool> m_opened{false};
  std::array<char, 80> m_errorText{};
  std::unique_ptr<platform::DeviceClaim> m_hMutex;
  std::array<char, 256> m_mutexName{};
  platform::CCriticalSection m_lock;

  // Requests on m_hDevice and m_hControl and copies of the events are made
  // holding this shared; Close holds it alone while it closes them, so no
  // thread uses a handle or event that is being closed.
  mutable std::shared_mutex m_handleGuard;
  // The readers' own device handles, so that Close can cancel their reads.
  std::mutex m_readerHandleLock;
  std::array<platform::DeviceHandle, kPipeCount> m_readerHandle{};
  std::array<ReaderContext, kPipeCount> m_readerContext{};
  std::array<platform::WorkerThread, kPipeCount> m_readers;

  std::atomic<ICommandLogSink*> m_logSink{nullptr};
  // Mode and size in one word, so that a reader never sees one without the other.
  std::atomic<std::uint64_t> m_picture;
  std::atomic<bool> m_highSpeed{false};
  std::atomic<int> m_orientation{0};
  std::atomic<bool> m_aborted{false};
  const bool m_vectorSupported;
  std::atomic<bool> m_useVectorAssembly;
  std::atomic<camera::CameraError> m_lastLinkError{camera::CameraError::None};
  std::atomic<camera::CameraError> m_lastCommandError{camera::CameraError::None};
};
