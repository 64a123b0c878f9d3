// Fragmented MP4 in memory: the initialisation segment once, then one
// fragment (moof + mdat) per H.264 packet, each as bytes the moment the
// packet is written, for browsers' Media Source Extensions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVPacket;

class CFragmentedMp4 {
 public:
  CFragmentedMp4();
  ~CFragmentedMp4();
  CFragmentedMp4(const CFragmentedMp4&) = delete;
  CFragmentedMp4& operator=(const CFragmentedMp4&) = delete;

  // Starts a stream for an encoder opened with a global header; the
  // initialisation segment lands in `init`. Empty on success, else why not.
  std::string Open(const AVCodecContext& encoder, std::vector<std::uint8_t>& init);
  // One packet (time base 1/1000 s, duration set) as one fragment in `out`.
  bool Write(AVPacket& packet, std::vector<std::uint8_t>& out, std::string& error);
  void Close();
  bool IsOpen() const { return m_context != nullptr; }

 private:
  static int Collect(void* opaque, std::uint8_t* data, int size);

  AVFormatContext* m_context = nullptr;
  std::vector<std::uint8_t> m_collected;
};
