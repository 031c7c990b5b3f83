// Reducing, factor f = 1..4: a probabilistic byte model, then a DLE-coded copy.
//
// The stream opens with 256 follower sets, for byte values 255 down to 0: a 6-bit count
// N (at most 32) and N 8-bit bytes. A byte whose predecessor has an empty set is 8
// literal bits; otherwise one bit chooses between 8 literal bits (1) and an index into
// the predecessor's set (0), B(N) bits wide, B(N) being the bits needed for N - 1 (at
// least one).
//
// The bytes then pass a state machine with DLE = 144:
//   144 0        a literal 144
//   144 V [L] D  copy: length = V & mask (mask 7Fh >> (f - 1)), plus the byte L when it
//                equals the mask; distance = (V >> (8 - f)) * 256 + D + 1; length + 3
//                bytes are copied.
#include <array>

#include "unzip/methods/method_errors.h"
#include "unzip/methods/unzip_helper.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

constexpr std::uint8_t kDLE = 144;
constexpr unsigned kMaxFollowers = 32;

constexpr unsigned IndexBits(unsigned n) {
  unsigned bits = 1;
  while ((1u << bits) < n) ++bits;
  return bits;
}

}  // namespace

void TVmUnzipHelper::Unreduce(int factor) {
  if (factor < 1 || factor > 4) throw EVmZipInvalidFactor();
  const unsigned mask = 0x7Fu >> (factor - 1);

  struct TFollowerSet {
    std::uint8_t Count = 0;
    std::uint8_t Bits = 0;
    std::array<std::uint8_t, kMaxFollowers> Bytes{};
  };
  std::array<TFollowerSet, 256> sets;
  for (int i = 255; i >= 0; --i) {
    TFollowerSet& set = sets[static_cast<std::size_t>(i)];
    set.Count = static_cast<std::uint8_t>(Bits(6));
    if (set.Count > kMaxFollowers) throw EVmLegacyDataError("follower set too large");
    set.Bits = static_cast<std::uint8_t>(IndexBits(set.Count));
    for (unsigned j = 0; j < set.Count; ++j) set.Bytes[j] = static_cast<std::uint8_t>(Bits(8));
  }
  if (FInEof) return;

  enum { kLiteral, kAfterDLE, kLength, kDistance } state = kLiteral;
  std::uint8_t last = 0;
  unsigned v = 0, length = 0;
  while (!Done()) {
    const TFollowerSet& set = sets[last];
    std::uint8_t c;
    if (set.Count == 0 || Bits(1)) {
      c = static_cast<std::uint8_t>(Bits(8));
    } else {
      unsigned index = Bits(set.Bits);
      if (index >= set.Count) {
        if (FInEof) break;
        throw EVmLegacyDataError("follower index out of range");
      }
      c = set.Bytes[index];
    }
    if (FInEof) break;
    last = c;

    switch (state) {
      case kLiteral:
        if (c == kDLE)
          state = kAfterDLE;
        else
          PutByte(c);
        break;
      case kAfterDLE:
        if (c == 0) {
          PutByte(kDLE);
          state = kLiteral;
        } else {
          v = c;
          length = c & mask;
          state = length == mask ? kLength : kDistance;
        }
        break;
      case kLength:
        length += c;
        state = kDistance;
        break;
      case kDistance:
        CopyMatch((std::uint64_t{v >> (8 - factor)} << 8) + c + 1, length + 3);
        state = kLiteral;
        break;
    }
  }
}

}  // namespace tarvo::unzip
