// The extra field of a ZIP header: a run of sub-fields, each a 16-bit header ID, a 16-bit
// data size and that many data bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "core/memory_stream.h"

namespace tarvo::unzip {

class TVmExtraField {
public:
  TVmExtraField() = default;
  explicit TVmExtraField(std::vector<std::uint8_t> bytes);

  // Replaces the content. A sub-field whose declared size runs past the end of the block
  // has its size field cut down, in the stored bytes, to what remains.
  void Assign(std::vector<std::uint8_t> bytes);

  const std::vector<std::uint8_t>& Bytes() const noexcept { return FBytes; }
  std::size_t Size() const noexcept { return FBytes.size(); }

  // The data of the first sub-field with this ID: a pointer into the block and its size.
  // A sub-field exists while at least 4 bytes remain.
  bool Find(std::uint16_t headerId, const std::uint8_t*& data, std::uint16_t& size) const noexcept;
  bool Contains(std::uint16_t headerId) const noexcept;
  // The same data as a stream holding a copy; false when there is no such sub-field.
  bool FindStream(std::uint16_t headerId, core::TMemoryStream& stream) const;

private:
  std::vector<std::uint8_t> FBytes;
};

}  // namespace tarvo::unzip
