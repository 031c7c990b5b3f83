#include "unzip/gzip_archive.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "core/exception.h"
#include "core/scope_guard.h"
#include "unzip/archive_inflate.h"
#include "unzip/byte_order.h"
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

// Stands between the first member's Inflate and the content. The member's size is the
// declared size modulo 2^32: its Deflate data must end at one of declared + k * 2^32. It may
// run past such a point only while the next one is still within Deflate's reach of the
// file's size, or when the file may hold further members (whose sizes its end does not
// tell); otherwise it is refused there, without decoding the rest.
class TDeclaredSizeGuard final : public core::TStream {
public:
  TDeclaredSizeGuard(core::TStream& next, std::uint64_t declared, std::uint64_t reach,
                     std::function<bool()> moreMembersPossible)
      : FNext(next), FStop(declared), FReach(reach), FMoreMembers(std::move(moreMembersPossible)) {}
  std::size_t Read(void*, std::size_t) override { throw core::EReadError(); }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return static_cast<std::int64_t>(FCount); }
  std::size_t Write(const void* buffer, std::size_t count) override {
    while (FActive && count > FStop - FCount) {
      if (FStop <= FReach && (std::uint64_t{1} << 32) <= FReach - FStop) {
        FStop += std::uint64_t{1} << 32;
      } else if (FMoreMembers()) {
        FActive = false;
      } else {
        throw EVmGzipBadSize();
      }
    }
    FCount += count;
    FNext.WriteBuffer(buffer, count);
    return count;
  }

private:
  core::TStream& FNext;
  std::uint64_t FStop;
  std::uint64_t FReach;
  std::function<bool()> FMoreMembers;
  std::uint64_t FCount = 0;
  bool FActive = true;
};

bool AllZero(const std::uint8_t* p, std::size_t n) {
  return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

bool TVmGzipArchive::MemberHeaderMayFollow(std::int64_t from) {
  // A member starts with 1F 8B 08 and a flags byte without reserved bits. Compressed data
  // may hold that by chance: then the file is only taken to be of several members.
  const std::int64_t saved = FStream->Position();
  core::TScopeGuard restore([&] { FStream->SetPosition(saved); });
  FStream->SetPosition(from);
  std::uint8_t buffer[64 * 1024];
  std::size_t kept = 0;
  for (;;) {
    const std::size_t n = FStream->Read(buffer + kept, sizeof buffer - kept);
    if (n == 0) break;
    const std::size_t end = kept + n;
    for (std::size_t i = 0; i + 4 <= end; ++i) {
      const void* hit = std::memchr(buffer + i, 0x1F, end - 3 - i);
      if (!hit) break;
      i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - buffer);
      if (buffer[i + 1] == 0x8B && buffer[i + 2] == 8 && !(buffer[i + 3] & 0xE0)) return true;
    }
    kept = std::min<std::size_t>(end, 3);
    std::memmove(buffer, buffer + end - kept, kept);
  }
  restore.Run();
  return false;
}

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
  const std::uint64_t declared = DeclaredSize();
  const std::uint64_t packed = static_cast<std::uint64_t>(FStream->Size());
  const std::uint64_t reach = packed > ~std::uint64_t{0} / kMaxExpansion ? ~std::uint64_t{0} : packed * kMaxExpansion;
  FStream->SetPosition(0);
  for (bool first = true;; first = false) {
    if (!ReadMemberHeader(first)) return;
    const std::int64_t start = FStream->Position();
    TVmDeflateHelper helper;
    TDeclaredSizeGuard guard(sink, declared, reach, [this, start] { return MemberHeaderMayFollow(start); });
    const std::uint32_t crc = InflateArchiveData(*FStream, first ? static_cast<core::TStream&>(guard) : sink, &helper);
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
  std::uint8_t trailer[8];
  FStream->SetPosition(size - 8);
  FStream->ReadBuffer(trailer, sizeof trailer);
  // Eight zero bytes are the padding a blocked copy (a tape, dd conv=sync) leaves after the
  // last member far more often than the trailer of an empty one: they declare nothing.
  if (AllZero(trailer, sizeof trailer)) return ~std::uint64_t{0};
  return GetLE32(trailer + 4);
}

std::string TVmGzipArchive::SingleName() const {
  // Only the stored name's last component: it is the archive's word, not a path to follow.
  std::string name = FStoredName.substr(FStoredName.find_last_of("/\\") + 1);
  return name.empty() || name == "." || name == ".." ? NameWithoutCompressionSuffix(FArchiveName) : name;
}

std::int64_t TVmGzipArchive::SingleTime() const { return FStoredTime ? FStoredTime : FArchiveTime; }

}  // namespace tarvo::unzip
