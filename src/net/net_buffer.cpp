#include "net/net_buffer.h"

#include <algorithm>
#include <cstring>

#include "core/byte_span.h"
#include "core/scope_guard.h"
#include "net/net_exception.h"
#include "net/net_stack.h"
#include "net/net_strings.h"

namespace tarvo::net {

namespace {
constexpr std::int64_t kMaxBufferSize = 2147483647;
}

TNetBuffer::TNetBuffer() { TNetStack::IncUsage(); }

TNetBuffer::TNetBuffer(TBytesRemovedEvent onBytesRemoved) : TNetBuffer() { OnBytesRemoved = std::move(onBytesRemoved); }

TNetBuffer::~TNetBuffer() { TNetStack::DecUsage(); }

void TNetBuffer::CheckAdd(std::int64_t adding, std::int64_t destIndex) const {
  if (kMaxBufferSize - adding < FSize + destIndex) throw ENetTooMuchDataInBuffer();
}

void TNetBuffer::SetCapacity(int value) {
  if (value < FSize) throw ENetException(core::LoadResString(RSBufferCapacityTooSmall));
  CompactHead(false);
  FBytes.resize(static_cast<std::size_t>(value));
  FBytes.shrink_to_fit();
}

void TNetBuffer::Write(const std::uint8_t* data, int length) {
  if (length < 1 || data == nullptr) return;
  CheckAdd(length, 0);
  if (FSize == 0) {
    // An empty buffer takes exactly the new bytes.
    FHeadIndex = 0;
    FBytes.assign(data, data + length);
    FSize = length;
    return;
  }
  CompactHead(false);
  std::size_t needed = static_cast<std::size_t>(FSize) + static_cast<std::size_t>(length);
  if (FBytes.size() < needed) FBytes.resize(needed + static_cast<std::size_t>(FGrowthFactor));
  std::memcpy(FBytes.data() + FSize, data, static_cast<std::size_t>(length));
  FSize += length;
}

void TNetBuffer::Write(const TNetBytes& bytes, int length, int sourceOffset) {
  const core::TByteSpan span = core::ClampSpan(bytes.size(), length, sourceOffset);
  if (span.Count == 0) return;
  if (span.Count > static_cast<std::size_t>(kMaxBufferSize)) throw ENetTooMuchDataInBuffer();
  Write(bytes.data() + span.Offset, static_cast<int>(span.Count));
}

void TNetBuffer::Write(std::string_view text, const INetTextEncoding* encoding) {
  if (text.empty()) return;
  const INetTextEncoding* enc = encoding != nullptr ? encoding : NetEncodingOrDefault(FByteEncoding);
  TNetBytes bytes = enc->GetBytes(text);
  Write(bytes);
}

void TNetBuffer::Write(core::TStream& stream, std::int64_t count) {
  std::int64_t amount;
  if (count < 0) {
    amount = stream.Size() - stream.Position();
  } else if (count > 0) {
    amount = std::min(count, stream.Size() - stream.Position());
  } else {
    stream.SetPosition(0);
    amount = stream.Size();
  }
  if (amount < 1) return;
  CheckAdd(amount, 0);
  CompactHead(true);
  std::size_t old = static_cast<std::size_t>(FSize);
  FBytes.resize(old + static_cast<std::size_t>(amount));
  core::TScopeGuard rollBack([this, old] { FBytes.resize(old); });
  stream.ReadBuffer(FBytes.data() + old, static_cast<std::size_t>(amount));
  rollBack.Dismiss();
  FSize += static_cast<int>(amount);
}

void TNetBuffer::Removed(int count) {
  if (OnBytesRemoved) OnBytesRemoved(this, count);
}

void TNetBuffer::Remove(int count) {
  if (count <= 0) return;
  if (count >= FSize) {
    count = FSize;
    Clear();
  } else {
    FHeadIndex += count;
    FSize -= count;
    if (FHeadIndex > FGrowthFactor) CompactHead(true);
  }
  Removed(count);
}

void TNetBuffer::Clear() {
  FBytes.clear();
  FBytes.shrink_to_fit();
  FHeadIndex = 0;
  FSize = 0;
}

void TNetBuffer::CompactHead(bool canShrink) {
  if (FHeadIndex > 0) {
    std::memmove(FBytes.data(), FBytes.data() + FHeadIndex, static_cast<std::size_t>(FSize));
    FHeadIndex = 0;
  }
  if (canShrink && FBytes.size() - static_cast<std::size_t>(FSize) > static_cast<std::size_t>(FGrowthFactor)) {
    FBytes.resize(static_cast<std::size_t>(FSize) + static_cast<std::size_t>(FGrowthFactor));
    FBytes.shrink_to_fit();
  }
}

void TNetBuffer::ExtractToBytes(TNetBytes& dest, int count, bool append) {
  if (count < 0) count = FSize;
  if (count == 0) return;
  if (count > FSize) throw ENetNotEnoughDataInBuffer(count, FSize);
  const std::uint8_t* src = FBytes.data() + FHeadIndex;
  if (append) {
    dest.insert(dest.end(), src, src + count);
  } else {
    if (dest.size() < static_cast<std::size_t>(count)) dest.resize(static_cast<std::size_t>(count));
    std::memcpy(dest.data(), src, static_cast<std::size_t>(count));
  }
  Remove(count);
}

TNetBytes TNetBuffer::Extract(int count) {
  TNetBytes out;
  ExtractToBytes(out, count, true);
  return out;
}

std::string TNetBuffer::ExtractToString(int count, const INetTextEncoding* encoding) {
  if (count < 0) count = FSize;
  if (count < 1) return {};
  if (count > FSize) throw ENetNotEnoughDataInBuffer(count, FSize);
  const INetTextEncoding* enc = encoding != nullptr ? encoding : NetEncodingOrDefault(FByteEncoding);
  std::string text = enc->GetString(FBytes.data() + FHeadIndex, static_cast<std::size_t>(count));
  Remove(count);
  return text;
}

void TNetBuffer::ExtractToStream(core::TStream& stream, int count) {
  CompactHead(true);
  if (count < 0) count = FSize;
  if (count == 0) return;
  if (count > FSize) throw ENetNotEnoughDataInBuffer(count, FSize);
  stream.WriteBuffer(FBytes.data(), static_cast<std::size_t>(count));
  Remove(count);
}

void TNetBuffer::ExtractToNetBuffer(TNetBuffer& dest, int count) {
  if (count < 0) count = FSize;
  if (count == 0) return;
  if (count > FSize) throw ENetNotEnoughDataInBuffer(count, FSize);
  dest.Write(FBytes.data() + FHeadIndex, count);
  Remove(count);
}

std::uint8_t TNetBuffer::ExtractToUInt8() {
  TNetBytes b;
  ExtractToBytes(b, 1);
  return b[0];
}

std::uint16_t TNetBuffer::ExtractToUInt16(bool convert) {
  TNetBytes b;
  ExtractToBytes(b, 2);
  return convert ? static_cast<std::uint16_t>((b[0] << 8) | b[1]) : static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t TNetBuffer::ExtractToUInt32(bool convert) {
  TNetBytes b;
  ExtractToBytes(b, 4);
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[convert ? 3 - i : i]) << (8 * i);
  return v;
}

std::uint64_t TNetBuffer::ExtractToUInt64(bool convert) {
  TNetBytes b;
  ExtractToBytes(b, 8);
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(b[convert ? 7 - i : i]) << (8 * i);
  return v;
}

int TNetBuffer::IndexOf(const TNetBytes& pattern, int start) const {
  if (FSize == 0) return -1;
  if (pattern.empty()) throw ENetException(core::LoadResString(RSBufferMissingTerminator));
  if (start < 0 || start >= FSize) throw ENetException(core::LoadResString(RSBufferInvalidStartPos));
  const std::uint8_t* base = FBytes.data() + FHeadIndex;
  std::size_t plen = pattern.size();
  if (plen > static_cast<std::size_t>(FSize)) return -1;
  std::size_t last = static_cast<std::size_t>(FSize) - plen;
  for (std::size_t i = static_cast<std::size_t>(start); i <= last; ++i) {
    // memchr for the first byte keeps the search fast on long runs without a terminator.
    const void* hit = std::memchr(base + i, pattern[0], last - i + 1);
    if (hit == nullptr) return -1;
    i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - base);
    if (std::memcmp(base + i, pattern.data(), plen) == 0) return static_cast<int>(i);
  }
  return -1;
}

int TNetBuffer::IndexOf(std::string_view text, int start, const INetTextEncoding* encoding) const {
  const INetTextEncoding* enc = encoding != nullptr ? encoding : NetEncodingOrDefault(FByteEncoding);
  return IndexOf(enc->GetBytes(text), start);
}

int TNetBuffer::IndexOf(std::uint8_t byte, int start) const {
  if (FSize == 0) return -1;
  if (start < 0 || start >= FSize) throw ENetException(core::LoadResString(RSBufferInvalidStartPos));
  const std::uint8_t* base = FBytes.data() + FHeadIndex;
  const void* hit = std::memchr(base + start, byte, static_cast<std::size_t>(FSize - start));
  return hit == nullptr ? -1 : static_cast<int>(static_cast<const std::uint8_t*>(hit) - base);
}

std::uint8_t TNetBuffer::PeekByte(int index) const {
  if (FSize == 0) throw ENetException(core::LoadResString(RSNoBytesInBuffer));
  if (index < 0 || index >= FSize) throw ENetException(core::LoadResString(RSIndexOutOfBounds));
  return FBytes[static_cast<std::size_t>(FHeadIndex + index)];
}

void TNetBuffer::SaveToStream(core::TStream& stream) {
  CompactHead(false);
  if (FSize > 0) stream.WriteBuffer(FBytes.data(), static_cast<std::size_t>(FSize));
}

}  // namespace tarvo::net
