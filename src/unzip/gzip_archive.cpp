#include "unzip/gzip_archive.h"

#include "core/exception.h"
#include "unzip/byte_order.h"
#include "unzip/inflate/inflate.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

enum : std::uint8_t { kFlagText = 1, kFlagHeaderCRC = 2, kFlagExtra = 4, kFlagName = 8, kFlagComment = 16 };

// Reads a zero-terminated header field, at most limit bytes before its terminator.
std::string ReadZeroTerminated(core::TStream& stream, std::size_t limit) {
  std::string text;
  for (;;) {
    char c;
    stream.ReadBuffer(&c, 1);
    if (c == 0) return text;
    if (text.size() == limit) throw EVmReadError();
    text.push_back(c);
  }
}

}  // namespace

bool TVmGzipArchive::ReadMemberHeader(bool first) {
  std::uint8_t head[10];
  std::size_t got = 0;
  while (got < sizeof head) {
    std::size_t n = FStream->Read(head + got, sizeof head - got);
    if (n == 0) break;
    got += n;
  }
  if (got < 2 || head[0] != 0x1F || head[1] != 0x8B) {
    if (first) throw EVmReadError();
    return false;
  }
  // Deflate is the only method; reserved flag bits mean a format this reader does not know.
  if (got < sizeof head || head[2] != 8 || (head[3] & 0xE0)) throw EVmReadError();
  const std::uint8_t flags = head[3];
  if (first) FStoredTime = GetLE32(head + 4);
  if (flags & kFlagExtra) {
    std::uint8_t length[2];
    FStream->ReadBuffer(length, 2);
    FStream->Seek(GetLE16(length), core::TSeekOrigin::soCurrent);
  }
  if (flags & kFlagName) {
    std::string name = ReadZeroTerminated(*FStream, kMaxHeaderField);
    if (first) FStoredName = name;
  }
  if (flags & kFlagComment) ReadZeroTerminated(*FStream, kMaxHeaderField);
  if (flags & kFlagHeaderCRC) FStream->Seek(2, core::TSeekOrigin::soCurrent);
  return true;
}

void TVmGzipArchive::Produce(core::TStream& sink) {
  FStream->SetPosition(0);
  for (bool first = true;; first = false) {
    if (!ReadMemberHeader(first)) return;
    const std::int64_t start = FStream->Position();
    TVmDeflateHelper helper;
    const std::uint32_t crc = Inflate(*FStream, sink, &helper);
    // Inflate reads ahead; the trailer follows the last byte the final block used.
    FStream->SetPosition(start + helper.FSizeConsumed);
    std::uint8_t trailer[8];
    FStream->ReadBuffer(trailer, sizeof trailer);
    if (GetLE32(trailer) != crc) throw EVmGzipBadCRC();
    if (GetLE32(trailer + 4) != static_cast<std::uint32_t>(helper.FSizeNormal)) throw EVmGzipBadSize();
  }
}

std::uint64_t TVmGzipArchive::DeclaredSize() {
  // A header and a trailer at least; anything shorter declares nothing (and fails to open).
  const std::int64_t size = FStream->Size();
  if (size < 18) return 0;
  std::uint8_t isize[4];
  FStream->SetPosition(size - 4);
  FStream->ReadBuffer(isize, sizeof isize);
  return GetLE32(isize);
}

std::string TVmGzipArchive::SingleName() const {
  // Only the stored name's last component: it is the archive's word, not a path to follow.
  std::string name = FStoredName.substr(FStoredName.find_last_of("/\\") + 1);
  return name.empty() || name == "." || name == ".." ? NameWithoutCompressionSuffix(FArchiveName) : name;
}

std::int64_t TVmGzipArchive::SingleTime() const { return FStoredTime ? FStoredTime : FArchiveTime; }

}  // namespace tarvo::unzip
