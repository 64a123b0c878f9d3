// One viewer's endless response from a picture source (the JPEG hub, the
// H.264 feed): it counts as a viewer of the source while it exists, and hands
// out the bytes of its current part (a JPEG with its multipart headers, a
// fragment with the initialisation segment it needs) as the connection asks
// for them, taking the next part only when the last one is fully written.
#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>

namespace server {

template <class Source>
class CViewerStream {
 public:
  explicit CViewerStream(Source& source) : m_source(source), m_joinedAt(source.AddViewer()) {}
  virtual ~CViewerStream() { m_source.RemoveViewer(); }
  CViewerStream(const CViewerStream&) = delete;
  CViewerStream& operator=(const CViewerStream&) = delete;

  // Fills up to `capacity` bytes; 0 or more is the count, -1 ends the stream
  // (the server is stopping). Blocks at most about as long as NextPart.
  long Read(char* out, std::size_t capacity) {
    if (PartDone()) {
      if (!NextPart()) return -1;
      if (PartDone()) return 0;
    }
    std::size_t written = 0;
    std::size_t start = 0;  // where the piece begins within the part
    for (const Piece& piece : m_pieces) {
      if (m_offset < start + piece.size() && written < capacity) {
        const std::size_t n = std::min(piece.size() - (m_offset - start), capacity - written);
        std::memcpy(out + written, piece.data() + (m_offset - start), n);
        written += n;
        m_offset += n;
      }
      start += piece.size();
    }
    if (PartDone()) ++m_partsSent;
    return static_cast<long>(written);
  }

 protected:
  using Piece = std::span<const std::uint8_t>;

  // Waits for the next part and starts it, or, when none comes in time,
  // leaves the last one done (nothing is sent this time); false ends the stream.
  virtual bool NextPart() = 0;
  // The pieces of the next part, end to end; their bytes must stay until the part after.
  void StartPart(std::initializer_list<Piece> pieces) {
    assert(pieces.size() <= m_pieces.size());
    m_pieces = {};
    std::copy(pieces.begin(), pieces.end(), m_pieces.begin());
    m_size = 0;
    for (const Piece& piece : pieces) m_size += piece.size();
    m_offset = 0;
  }
  // True before the first part too.
  bool PartDone() const { return m_offset >= m_size; }
  std::uint64_t PartsSent() const { return m_partsSent; }

  Source& m_source;
  // What the source's AddViewer answered: its newest picture's number then.
  const std::uint64_t m_joinedAt;

 private:
  std::array<Piece, 3> m_pieces{};
  std::size_t m_size = 0;
  std::size_t m_offset = 0;
  std::uint64_t m_partsSent = 0;
};

}  // namespace server
