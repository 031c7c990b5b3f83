// Helpers shared by the decoder tests: running Inflate over byte vectors, making reference
// streams with zlib, and writing hand-made streams bit by bit.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "unzip/inflate/inflate.h"
#include "unzip/inflate/inflate_error.h"

namespace tarvo::unzip::test {

using Bytes = std::vector<std::uint8_t>;

struct InflateResult {
  Bytes Output;
  std::uint32_t Checksum = 0;
  std::int64_t Consumed = 0;
  std::int64_t Produced = 0;
};

inline InflateResult RunInflate(const Bytes& input, std::uint32_t options = 15, TVmDeflateHelper* settings = nullptr) {
  core::TMemoryStream src{Bytes(input)};
  core::TMemoryStream dst;
  TVmDeflateHelper local;
  TVmDeflateHelper& h = settings ? *settings : local;
  h.FOptions = options;
  InflateResult r;
  r.Checksum = Inflate(src, dst, &h);
  r.Output.assign(dst.Memory(), dst.Memory() + dst.Size());
  r.Consumed = h.FSizeCompressed;
  r.Produced = h.FSizeNormal;
  return r;
}

// The internal cause of a failed Inflate, or "" when it succeeded.
inline std::string InflateFailure(const Bytes& input, std::uint32_t options = 15) {
  try {
    RunInflate(input, options);
  } catch (const EVmInternalInflateError& e) {
    const std::string& m = e.Message();
    const std::string head = "(Internal cause: ";
    const auto at = m.find(head);
    return at == std::string::npos ? m : m.substr(at + head.size(), m.size() - at - head.size() - 1);
  }
  return "";
}

// Raw Deflate (no zlib header) as zlib makes it.
inline Bytes ZlibDeflate(const Bytes& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) throw std::runtime_error("deflateInit2");
  Bytes out(deflateBound(&zs, data.size()) + 16);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  if (deflate(&zs, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

inline std::uint32_t ZlibCrc(const Bytes& data) {
  return static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

// Writes fields least significant bit first and Huffman codes most significant bit first,
// the way a Deflate stream packs them.
class BitWriter {
public:
  BitWriter& Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) PutBit((value >> i) & 1);
    return *this;
  }
  BitWriter& Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) PutBit((code >> i) & 1);
    return *this;
  }
  BitWriter& Align() {
    while (FBit != 0) PutBit(0);
    return *this;
  }
  BitWriter& Byte(std::uint8_t b) { return Bits(b, 8); }
  // Fixed-code literal/length symbol 0..287 and distance symbol 0..31.
  BitWriter& FixedLit(int s) {
    if (s < 144) return Code(0x30 + s, 8);
    if (s < 256) return Code(0x190 + s - 144, 9);
    if (s < 280) return Code(s - 256, 7);
    return Code(0xC0 + s - 280, 8);
  }
  BitWriter& FixedDist(int s) { return Code(s, 5); }
  // Block header: BFINAL, BTYPE.
  BitWriter& Header(bool final, int type) { return Bits(final, 1).Bits(type, 2); }
  // A stored block: header, alignment, LEN, NLEN, data.
  BitWriter& Stored(bool final, const Bytes& data) {
    Header(final, 0).Align().Bits(data.size(), 16).Bits(~data.size() & 0xFFFF, 16);
    for (auto b : data) Byte(b);
    return *this;
  }
  Bytes Take() {
    Align();
    return FBytes;
  }

private:
  void PutBit(unsigned bit) {
    if (FBit == 0) FBytes.push_back(0);
    FBytes.back() |= static_cast<std::uint8_t>(bit << FBit);
    FBit = (FBit + 1) % 8;
  }
  Bytes FBytes;
  int FBit = 0;
};

// Canonical codes (RFC 1951, 3.2.2) for a set of code lengths.
inline std::vector<std::uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
  int count[16] = {};
  for (int l : lengths) ++count[l];
  count[0] = 0;
  std::uint32_t next[16] = {}, code = 0;
  for (int b = 1; b < 16; ++b) next[b] = code = (code + count[b - 1]) << 1;
  std::vector<std::uint32_t> codes(lengths.size());
  for (std::size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  return codes;
}

}  // namespace tarvo::unzip::test
