// Byte streams: the unit in which files, memory blocks, archive entries and downloads are
// read and written. A stream has a position and a size; Read and Write move the position
// and return how many bytes they moved, which may be fewer than asked (end of data, full
// disk). ReadBuffer and WriteBuffer are the all-or-nothing forms and raise EReadError /
// EWriteError when a stream falls short.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvo::core {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Reads up to count bytes; returns the number read, 0 at the end of the data.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes up to count bytes; returns the number written (short on a full disk).
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Moves the position; returns the new position. A stream that cannot move raises.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  virtual std::int64_t Position();
  virtual void SetPosition(std::int64_t position);
  virtual std::int64_t Size();
  // Grows (with zero bytes or unspecified content) or cuts the stream; the position is kept
  // unless it lies beyond the new end, then it moves to the end.
  virtual void SetSize(std::int64_t newSize);

  // Streams that hold their bytes in memory lend them to readers that would otherwise copy
  // them out: data is set to the byte at the position and the result says how many follow
  // it. The position does not move (the reader seeks past what it used), and the bytes stay
  // valid until the stream is written to or resized. Other streams lend nothing (0).
  virtual std::size_t Lend(const std::uint8_t*& data);

  // Exactly count bytes or EReadError ("Stream read error").
  void ReadBuffer(void* buffer, std::size_t count);
  // Exactly count bytes or EWriteError ("Stream write error").
  void WriteBuffer(const void* buffer, std::size_t count);
  // Copies count bytes from source's position; count 0 copies the whole source from its
  // start. Raises EReadError when the source ends early. Returns the bytes copied.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);

protected:
  // The absolute position a Seek asks for, from the stream's current position; Size() is
  // consulted only for soEnd. A target before the start raises EStreamError.
  std::int64_t SeekTarget(std::int64_t offset, TSeekOrigin origin, std::int64_t current);
};

// Discards what is written and counts it; reads nothing. Size is the count written.
class TNullStream final : public TStream {
public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void*, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t newSize) override;

private:
  std::int64_t FPosition = 0;
  std::int64_t FSize = 0;
};

}  // namespace tarvo::core
