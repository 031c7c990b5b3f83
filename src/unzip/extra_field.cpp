#include "unzip/extra_field.h"

#include "unzip/byte_order.h"

namespace tarvo::unzip {

TVmExtraField::TVmExtraField(std::vector<std::uint8_t> bytes) { Assign(std::move(bytes)); }

void TVmExtraField::Assign(std::vector<std::uint8_t> bytes) {
  FBytes = std::move(bytes);
  std::size_t pos = 0;
  while (FBytes.size() - pos >= 4) {
    std::size_t declared = GetLE16(FBytes.data() + pos + 2);
    std::size_t remaining = FBytes.size() - pos - 4;
    if (declared > remaining) {
      declared = remaining;
      FBytes[pos + 2] = static_cast<std::uint8_t>(declared & 0xFF);
      FBytes[pos + 3] = static_cast<std::uint8_t>(declared >> 8);
    }
    pos += 4 + declared;
  }
}

bool TVmExtraField::Find(std::uint16_t headerId, const std::uint8_t*& data, std::uint16_t& size) const noexcept {
  std::size_t pos = 0;
  while (FBytes.size() - pos >= 4) {
    std::uint16_t id = GetLE16(FBytes.data() + pos);
    std::uint16_t length = GetLE16(FBytes.data() + pos + 2);  // never past the end, see Assign
    if (id == headerId) {
      data = FBytes.data() + pos + 4;
      size = length;
      return true;
    }
    pos += 4 + static_cast<std::size_t>(length);
  }
  return false;
}

bool TVmExtraField::Contains(std::uint16_t headerId) const noexcept {
  const std::uint8_t* data;
  std::uint16_t size;
  return Find(headerId, data, size);
}

bool TVmExtraField::FindStream(std::uint16_t headerId, core::TMemoryStream& stream) const {
  const std::uint8_t* data;
  std::uint16_t size;
  if (!Find(headerId, data, size)) return false;
  stream.Clear();
  if (size > 0) stream.WriteBuffer(data, size);
  stream.SetPosition(0);
  return true;
}

}  // namespace tarvo::unzip
