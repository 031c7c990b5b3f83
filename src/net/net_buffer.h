// A growable first-in first-out byte store: the I/O handler's input buffer and write buffer.
// Live bytes are Size() bytes starting at an internal head; removing bytes moves the head,
// and the storage is compacted only once the dead head passes GrowthFactor, so consuming a
// buffer piece by piece stays linear. Sizes are limited to 2147483647 bytes
// (ENetTooMuchDataInBuffer "Too much data in buffer.").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/stream.h"
#include "net/net_encoding.h"
#include "net/net_types.h"

namespace tarvo::net {

class TNetBuffer {
public:
  using TBytesRemovedEvent = std::function<void(TNetBuffer* ASender, int ABytes)>;

  TNetBuffer();
  explicit TNetBuffer(TBytesRemovedEvent onBytesRemoved);
  ~TNetBuffer();
  TNetBuffer(const TNetBuffer&) = delete;
  TNetBuffer& operator=(const TNetBuffer&) = delete;

  // Called after every removal of live bytes with the count removed.
  TBytesRemovedEvent OnBytesRemoved;

  int Size() const noexcept { return FSize; }
  int Capacity() const noexcept { return static_cast<int>(FBytes.size()); }
  // Raises ENetException "Capacity cannot be smaller than Size" below Size().
  void SetCapacity(int value);
  int GrowthFactor() const noexcept { return FGrowthFactor; }
  void SetGrowthFactor(int value) noexcept { FGrowthFactor = value < 0 ? 0 : value; }
  const INetTextEncoding* Encoding() const noexcept { return FByteEncoding; }
  void SetEncoding(const INetTextEncoding* encoding) noexcept { FByteEncoding = encoding; }

  // Appends length bytes (-1 = all) of bytes starting at sourceOffset (clipped to the array).
  void Write(const TNetBytes& bytes, int length = -1, int sourceOffset = 0);
  void Write(const std::uint8_t* data, int length);
  void Write(std::string_view text, const INetTextEncoding* encoding = nullptr);
  // count < 0: the rest of the stream from its position; > 0: at most that many of the bytes
  // that remain; 0: the whole stream from position 0.
  void Write(core::TStream& stream, std::int64_t count = 0);

  // Takes count bytes (-1 = all) from the head into dest (appended, or written from index 0
  // of a dest that is grown but never shrunk). Raises ENetNotEnoughDataInBuffer when fewer
  // are held.
  void ExtractToBytes(TNetBytes& dest, int count = -1, bool append = true);
  std::string ExtractToString(int count = -1, const INetTextEncoding* encoding = nullptr);
  void ExtractToStream(core::TStream& stream, int count = -1);
  void ExtractToNetBuffer(TNetBuffer& dest, int count = -1);
  TNetBytes Extract(int count = -1);

  std::uint8_t ExtractToUInt8();
  std::uint16_t ExtractToUInt16(bool convert = true);
  std::uint32_t ExtractToUInt32(bool convert = true);
  std::uint64_t ExtractToUInt64(bool convert = true);

  // Position (relative to the head) of the first occurrence at or after start, or -1.
  // An empty pattern raises "Buffer terminator must be specified."; a start outside
  // 0..Size()-1 raises "Buffer start position is invalid." (an empty buffer answers -1).
  int IndexOf(const TNetBytes& pattern, int start = 0) const;
  int IndexOf(std::string_view text, int start = 0, const INetTextEncoding* encoding = nullptr) const;
  int IndexOf(std::uint8_t byte, int start = 0) const;
  // "No bytes in buffer." / "Index out of bounds." outside 0..Size()-1.
  std::uint8_t PeekByte(int index) const;
  // Pointer to the live bytes (valid until the next change).
  const std::uint8_t* Data() const noexcept { return FBytes.data() + FHeadIndex; }

  void Remove(int count);
  void Clear();
  void CompactHead(bool canShrink = true);
  void SaveToStream(core::TStream& stream);

private:
  void CheckAdd(std::int64_t adding, std::int64_t destIndex) const;
  void Removed(int count);

  TNetBytes FBytes;
  int FHeadIndex = 0;
  int FSize = 0;
  int FGrowthFactor = 2048;
  const INetTextEncoding* FByteEncoding = nullptr;
};

}  // namespace tarvo::net
