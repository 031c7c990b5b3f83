// A gzip file (RFC 1952) holding one file or a tar (atGzip / atGzippedTar), decoded by the
// library's own Inflate as it is read.
//
// Each member's header is read (its optional fields bounded), its Deflate data inflated
// into the content, and its trailer checked: a CRC-32 that differs raises EVmGzipBadCRC
// ("Bad CRC"), a size that differs EVmGzipBadSize ("Bad File Size"). Members that follow
// one another (as concatenated files or parallel compressors make them) form one content;
// bytes after the last member that do not start another are ignored. The single file takes
// the name the first header stores, or the archive's name without ".gz". The content
// kept while opening is bounded by the size the file declares (DeclaredSize), and a file
// of one member is refused ("Bad File Size") as soon as its data runs past that size,
// unless it may be 4 GiB larger (the size is declared modulo 2^32) within Deflate's reach.
#pragma once

#include <string>

#include "unzip/stream_archive.h"

namespace tarvo::unzip {

class TVmGzipArchive final : public TVmStreamArchive {
public:
  using TVmStreamArchive::TVmStreamArchive;

  static constexpr std::size_t kMaxHeaderField = 64 * 1024;

protected:
  void Produce(core::TStream& sink) override;
  std::string SingleName() const override;
  std::int64_t SingleTime() const override;
  // ISIZE of the file's last member (its last four bytes): the size of its content modulo
  // 2^32 when it holds one member. A file ending in eight zero bytes (padding after the
  // last member, which is then ignored) declares nothing: ~0.
  std::uint64_t DeclaredSize() override;

private:
  // Reads one member header at the stream's position; false when no member starts there.
  bool ReadMemberHeader(bool first);
  // True when something that could start a member lies at or after from; the stream's
  // position is left as it was.
  bool MemberHeaderMayFollow(std::int64_t from);

  std::string FStoredName;
  std::int64_t FStoredTime = 0;
};

}  // namespace tarvo::unzip
