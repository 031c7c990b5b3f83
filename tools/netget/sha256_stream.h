// The body on its way to the output, hashed as it passes, so that a download is checked
// against the digest the user expects without reading the file a second time.
//
// The digest describes the bytes the target holds only while they were written in one run
// from its start. So a write is refused (EStreamError) unless it lands at the end of what
// was hashed, and the only cut allowed is back to nothing — what the client does when it
// throws away a redirect's body — which starts the digest again. Any other cut, or a growth
// with zero bytes, would leave the file and the digest describing different bytes; it is
// refused as well. Seeking is free: only the writes must line up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/stream.h"
#include "platform/system_crypto.h"

namespace netget {

class TSha256Stream final : public tarvo::core::TStream {
public:
  // target must be empty and at position 0; it outlives this stream. Raises
  // ESystemCryptoError when the system's SHA-256 cannot be had.
  explicit TSha256Stream(tarvo::core::TStream& target);

  // Raises EStreamError: the stream is for writing.
  std::size_t Read(void* buffer, std::size_t count) override;
  // Hashes what the target took. Raises EStreamError when the position is not the end of
  // what was hashed; the target's own errors pass through.
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, tarvo::core::TSeekOrigin origin) override;
  // 0 starts the digest again; the hashed length itself changes nothing. Raises
  // EStreamError for any other size.
  void SetSize(std::int64_t newSize) override;

  // The digest of the bytes written since the start or the last cut to 0; once, after the
  // last write (the hash starts again from nothing).
  tarvo::platform::TSha256Digest Digest();

private:
  tarvo::core::TStream& FTarget;
  tarvo::platform::TSha256 FHash;
  std::int64_t FPosition = 0;
  std::int64_t FHashed = 0;  // bytes from the start that went through FHash
};

// text as 64 hexadecimal digits of either case; false for anything else.
bool ParseSha256(const std::string& text, tarvo::platform::TSha256Digest& digest);

}  // namespace netget
