// Text encodings of the transport: how text (UTF-8 in std::string everywhere in the program)
// becomes bytes on the wire and back. The I/O handler's text operations take an encoding;
// nullptr means the handler's DefStringEncoding, which is ASCII unless changed.
//
// The encodings returned by the functions below live for the whole process. A caller may
// implement its own; it must outlive every handler or buffer that uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/net_types.h"

namespace tarvo::net {

class INetTextEncoding {
public:
  virtual ~INetTextEncoding() = default;
  // The bytes of a UTF-8 text in this encoding; characters it cannot express become '?'.
  virtual TNetBytes GetBytes(std::string_view text) const = 0;
  // The UTF-8 text of some bytes in this encoding.
  virtual std::string GetString(const std::uint8_t* bytes, std::size_t count) const = 0;
  std::string GetString(const TNetBytes& bytes) const { return GetString(bytes.data(), bytes.size()); }
};

// Characters below 128 as themselves, everything else as '?'; bytes of 128 or more read as
// U+FFFD. The default of every text operation.
const INetTextEncoding* NetEncodingASCII() noexcept;
// Characters below 256 as one byte each (ISO 8859-1), others as '?'; every byte reads as
// the character of the same number.
const INetTextEncoding* NetEncoding8Bit() noexcept;
// UTF-8 on the wire; malformed sequences read as U+FFFD.
const INetTextEncoding* NetEncodingUTF8() noexcept;

// encoding, or ASCII when it is nullptr.
inline const INetTextEncoding* NetEncodingOrDefault(const INetTextEncoding* encoding) noexcept {
  return encoding != nullptr ? encoding : NetEncodingASCII();
}

}  // namespace tarvo::net
