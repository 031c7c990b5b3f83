#include "sha256_stream.h"

#include "core/exception.h"

namespace netget {

using tarvo::core::EStreamError;

TSha256Stream::TSha256Stream(tarvo::core::TStream& target) : FTarget(target) {}

std::size_t TSha256Stream::Read(void*, std::size_t) { throw EStreamError("The output is not for reading"); }

std::size_t TSha256Stream::Write(const void* buffer, std::size_t count) {
  if (FPosition != FHashed) throw EStreamError("The output is written out of order");
  const std::size_t written = FTarget.Write(buffer, count);
  // What the target took is in the file: it belongs to the digest even when short.
  FHash.Update(buffer, written);
  FPosition += static_cast<std::int64_t>(written);
  FHashed = FPosition;
  return written;
}

std::int64_t TSha256Stream::Seek(std::int64_t offset, tarvo::core::TSeekOrigin origin) {
  FPosition = FTarget.Seek(offset, origin);
  return FPosition;
}

void TSha256Stream::SetSize(std::int64_t newSize) {
  if (newSize != 0 && newSize != FHashed) throw EStreamError("The output cannot be cut there");
  FTarget.SetSize(newSize);
  if (newSize == 0) {
    FHash.Reset();
    FHashed = 0;
  }
  FPosition = FTarget.Position();
}

tarvo::platform::TSha256Digest TSha256Stream::Digest() { return FHash.Final(); }

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseSha256(const std::string& text, tarvo::platform::TSha256Digest& digest) {
  if (text.size() != 2 * digest.size()) return false;
  for (std::size_t i = 0; i < digest.size(); ++i) {
    const int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return true;
}

}  // namespace netget
